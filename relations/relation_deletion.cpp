#include "relations/relation_deletion.h"

#include <algorithm>

#include "engine/dbengine.h"
#include "relations/relation_compare.h"
#include "shell/actualiz.h"
#include "shell/ignore_errors.h"

namespace brenquil {

void DeleteRelations(Actualiz& window) {
  std::shared_ptr<Database> old = DBEngine::Instance().OpenDatabase(window.Text4.Text());

  // The first relation that cannot be deleted ends the operation; those
  // deleted before it stay deleted. The list keeps every name.
  // An old relation stays when the model's of that name is the same one, or
  // when the old rows would refuse the model's (the creation journals that):
  // the old database never ends with neither. A clause alone that declares
  // one of the model's relations stays for it.
  std::shared_ptr<Database> model;
  try {
    model = DBEngine::Instance().OpenDatabase(window.Text3.Text(), kReadOnly);
  } catch (const Error&) {
  }
  auto& report = window.Report.For(window.Text4.Text(), window.Text3.Text());
  // The model's relations that a clause alone of the old database declares
  // (each claims one clause), when the old database has none of their name:
  // the creation records them over those clauses.
  std::vector<std::shared_ptr<Relation>> unclaimed;
  if (model)
    for (auto& relation : model->Relations().Snapshot())
      if (relation->Name().rfind("MSys", 0) != 0 && !old->Relations().Find(relation->Name()))
        unclaimed.push_back(relation);
  ListBox& names = window.List9[1];
  const int count = names.ListCount();
  for (int i = 0; i < count; ++i) {
    names.SetListIndex(i);
    const std::string name = names.Text();
    auto current = old->Relations().Find(name);
    auto replacement = model && current ? model->Relations().Find(name) : nullptr;
    if (replacement && (SameRelation(*current, *replacement) || RowsAgainst(*old, *replacement).count > 0)) {
      if (!current->NeedsCompleting()) {
        report.relations_kept.push_back(current->Name());
      } else if (!SameRelation(*current, *replacement)) {
        // Kept because the old rows refuse the model's (the creation
        // journals them): still brought to its clause, if its own rows
        // allow. One that is the model's is brought by the creation, which
        // reports it.
        try {
          if (old->CompleteRelation(current->Name())) report.relations_changed.push_back(current->Name());
        } catch (const Error& error) {
          JournalError(window, "Command20_Click",
                       Error(error.Number(), "Relación '" + current->Name() + "' no puesta como cláusula FOREIGN KEY: " +
                                                 error.Text() + "; se conserva como estaba"));
        }
      }
      continue;
    }
    if (current) {
      auto claim = std::find_if(unclaimed.begin(), unclaimed.end(),
                                [&](const std::shared_ptr<Relation>& r) { return DeclaredBy(*r, *current); });
      if (claim != unclaimed.end()) {
        unclaimed.erase(claim);
        continue;
      }
    }
    old->Relations().Delete(name);
    report.relations_deleted.push_back(name);
  }
  if (model) model->Close();
  old->Close();
}

}  // namespace brenquil
