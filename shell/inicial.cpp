#include "shell/inicial.h"

namespace brenquil {

Inicial::Inicial(Actualiz& main) : main_(main) { List1.SetVisible(false); }

void Inicial::Form_Activate() {
  // During a run the main window's lists and folder belong to the run; the
  // activation waits for the next time the form is activated.
  if (main_.Busy()) return;
  const Paths& paths = main_.Installation();
  for (const auto& name : SearchDatabases(paths.ModelsFolder())) List1.AddItem(name);
  ResetAttributes(paths.QueryCatalog());
  ResetAttributes(paths.IndexCatalog());
  ResetAttributes(paths.RelationCatalog());
  int count = List1.ListCount();
  for (int i = 0; i < count; ++i) {
    List1.SetListIndex(i);
    ResetAttributes(paths.ModelPath(List1.Text()));
  }
  // A catalogue left closed at creation (it was write-protected or missing
  // until now) opens now that it is in place.
  for (DataControl* data : {&main_.Data3, &main_.Data4, &main_.Data5})
    if (!data->HasRecordset()) data->Refresh();
  if (ShowMain) ShowMain();
}

}  // namespace brenquil
