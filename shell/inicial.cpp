#include "shell/inicial.h"

#include <sys/stat.h>
#include <unistd.h>

#include <set>

namespace brenquil {

namespace {

bool Writable(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && (st.st_mode & S_IWUSR) && ::access(path.c_str(), W_OK) == 0;
}

}  // namespace

Inicial::Inicial(Actualiz& main) : main_(main) { List1.SetVisible(false); }

void Inicial::Form_Activate() {
  // During a run the main window's lists and folder belong to the run; the
  // activation waits for the next time the form is activated.
  if (main_.Busy()) return;
  const Paths& paths = main_.Installation();
  for (const auto& name : SearchDatabases(paths.ModelsFolder())) List1.AddItem(name);
  // A catalogue write-protected until now was opened read-only by its data
  // control when the window was made; it is opened again once writable, or
  // every step that writes it would meet the read-only connection.
  std::set<std::string> reopen;
  for (const std::string& catalogue : {paths.QueryCatalog(), paths.IndexCatalog(), paths.RelationCatalog()}) {
    if (!Writable(catalogue)) reopen.insert(catalogue);
    if (ResetsAttributes) {
      ResetAttributes(catalogue);
    } else {
      struct stat st {};
      if (::stat(catalogue.c_str(), &st) != 0) throw MakeError(err::kFileMissing, "'" + catalogue + "'");
    }
  }
  int count = List1.ListCount();
  for (int i = 0; ResetsAttributes && i < count; ++i) {
    List1.SetListIndex(i);
    ResetAttributes(paths.ModelPath(List1.Text()));
  }
  // A catalogue left closed at creation (it was missing until now) opens now
  // that it is in place.
  for (DataControl* data : {&main_.Data3, &main_.Data4, &main_.Data5}) {
    if (data->HasRecordset() && !reopen.count(data->DatabaseName())) continue;
    data->Close();
    data->Refresh();
  }
  if (ShowMain) ShowMain();
}

}  // namespace brenquil
