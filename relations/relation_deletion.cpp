#include "relations/relation_deletion.h"

#include "engine/dbengine.h"
#include "shell/actualiz.h"

namespace brenquil {

void DeleteRelations(Actualiz& window) {
  std::shared_ptr<Database> old = DBEngine::Instance().OpenDatabase(window.Text4.Text());

  // The first relation that cannot be deleted ends the operation; those
  // deleted before it stay deleted. The list keeps every name.
  ListBox& names = window.List9[1];
  const int count = names.ListCount();
  for (int i = 0; i < count; ++i) {
    names.SetListIndex(i);
    const std::string name = names.Text();
    old->Relations().Delete(name);
    window.Report.For(window.Text4.Text(), window.Text3.Text()).relations_deleted.push_back(name);
  }
  old->Close();
}

}  // namespace brenquil
