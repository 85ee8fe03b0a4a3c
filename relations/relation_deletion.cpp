#include "relations/relation_deletion.h"

#include "engine/dbengine.h"
#include "relations/relation_compare.h"
#include "shell/actualiz.h"

namespace brenquil {

void DeleteRelations(Actualiz& window) {
  std::shared_ptr<Database> old = DBEngine::Instance().OpenDatabase(window.Text4.Text());

  // The first relation that cannot be deleted ends the operation; those
  // deleted before it stay deleted. The list keeps every name.
  // An old relation stays when the model's of that name is the same one, or
  // when the old rows would refuse the model's (the creation journals that):
  // the old database never ends with neither.
  std::shared_ptr<Database> model;
  try {
    model = DBEngine::Instance().OpenDatabase(window.Text3.Text(), kReadOnly);
  } catch (const Error&) {
  }
  auto& report = window.Report.For(window.Text4.Text(), window.Text3.Text());
  ListBox& names = window.List9[1];
  const int count = names.ListCount();
  for (int i = 0; i < count; ++i) {
    names.SetListIndex(i);
    const std::string name = names.Text();
    auto current = old->Relations().Find(name);
    auto replacement = model && current ? model->Relations().Find(name) : nullptr;
    if (replacement && (SameRelation(*current, *replacement) || RowsAgainst(*old, *replacement).count > 0)) {
      // A clause alone is completed by the creation, which reports it.
      if (!current->ClauseOnly() || !SameRelation(*current, *replacement))
        report.relations_kept.push_back(current->Name());
      continue;
    }
    old->Relations().Delete(name);
    report.relations_deleted.push_back(name);
  }
  if (model) model->Close();
  old->Close();
}

}  // namespace brenquil
