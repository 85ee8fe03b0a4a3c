#include "tables/trigger_copy.h"

#include "engine/dbengine.h"
#include "shell/actualiz.h"
#include "shell/ignore_errors.h"

namespace brenquil {

void CopyTriggers(Actualiz& window) {
  auto model = DBEngine::Instance().OpenDatabase(window.Text3.Text(), kReadOnly);
  std::vector<TriggerDef> wanted = model->Triggers();
  model->Close();
  if (wanted.empty()) return;
  auto old = DBEngine::Instance().OpenDatabase(window.Text4.Text());
  std::vector<TriggerDef> present = old->Triggers();
  for (const auto& trigger : wanted) {
    bool on_shared = old->TableDefs().Find(trigger.table) || old->QueryDefs().Find(trigger.table);
    if (!on_shared) continue;
    bool same = false;
    for (const auto& p : present)
      if (SameName(p.name, trigger.name) && SameTriggerDeclaration(p.sql, trigger.sql)) same = true;
    if (same) continue;
    try {
      old->PutTrigger(trigger);
    } catch (const Error& error) {
      JournalError(window, "CopyTriggers",
                   Error(error.Number(), "Disparador '" + trigger.name + "' no creado: " + error.Text()));
    }
  }
  old->Close();
}

}  // namespace brenquil
