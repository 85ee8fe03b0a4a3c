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
  const std::vector<TriggerDef> present = old->Triggers();
  auto& report = window.Report.For(window.Text4.Text(), window.Text3.Text());
  for (const auto& trigger : wanted) {
    const TriggerDef* namesake = nullptr;
    for (const auto& p : present)
      if (SameName(p.name, trigger.name)) namesake = &p;
    if (namesake && SameTriggerDeclaration(namesake->sql, trigger.sql)) continue;
    try {
      // The table or view it is on came from the model, unless an earlier
      // step was refused it (and journaled why).
      if (!old->TableDefs().Find(trigger.table) && !old->QueryDefs().Find(trigger.table))
        throw MakeError(err::kObjectNotFound, "'" + trigger.table + "', en la que está, no existe en '" +
                                                  window.Text4.Text() + "'");
      // The old trigger of that name goes with it, whatever it was on.
      old->PutTrigger(trigger);
      (namesake ? report.triggers_replaced : report.triggers_created).push_back(trigger.name);
    } catch (const Error& error) {
      JournalError(window, "CopyTriggers",
                   Error(error.Number(), "Disparador '" + trigger.name + "' no creado: " + error.Text()));
    }
  }
  old->Close();
}

}  // namespace brenquil
