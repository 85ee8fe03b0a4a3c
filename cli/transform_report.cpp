#include "cli/transform_report.h"

#include <algorithm>
#include <string>
#include <vector>

#include "engine/error.h"
#include "shell/actualiz.h"
#include "shell/run_details.h"
#include "shell/run_summary.h"
#include "shell/step_names.h"

namespace brenquil {

namespace {

using Json = nlohmann::ordered_json;

Json IndexList(const std::vector<IndexEntry>& indexes) {
  Json list = Json::array();
  for (const auto& index : indexes) list.push_back({{"table", index.table}, {"name", index.name}});
  return list;
}

Json Counts(const DatabaseChanges& c, int errors) {
  size_t fields = 0;
  for (const auto& [table, names] : c.fields_added) fields += names.size();
  return Json{{"tablesCreated", c.tables_created.size()},
              {"fieldsAdded", fields},
              {"indexesDeleted", c.indexes_deleted.size()},
              {"indexesCreated", c.indexes_created.size()},
              {"indexesKept", c.indexes_kept.size()},
              {"relationsDeleted", c.relations_deleted.size()},
              {"relationsCreated", c.relations_created.size()},
              {"relationsKept", c.relations_kept.size()},
              {"relationsChanged", c.relations_changed.size()},
              {"queriesDeleted", c.queries_deleted.size()},
              {"queriesCreated", c.queries_created.size()},
              {"queriesKept", c.queries_kept.size()},
              {"triggersCreated", c.triggers_created.size()},
              {"triggersReplaced", c.triggers_replaced.size()},
              {"errors", errors}};
}

Json DatabaseJson(const Actualiz& window, const DatabaseResult& r) {
  const bool plan = window.Report.Plan();
  DatabaseChanges none;
  const DatabaseChanges* found = nullptr;
  for (const auto& c : window.Report.Databases())
    if (c.old == r.path) found = &c;
  const DatabaseChanges& c = found ? *found : none;
  std::string model = c.model;
  if (!found && r.outcome == Outcome::kCopied) model = window.Installation().ModelPath(FileNameOf(r.path));
  Json fields = Json::array();
  for (const auto& [table, names] : c.fields_added) fields.push_back({{"table", table}, {"fields", names}});
  Json errors = Json::array();
  for (const auto& e : window.Journal.Entries())
    if (e.old == r.path)
      errors.push_back(
          {{"step", StepName(e.operation)}, {"operation", e.operation}, {"number", e.number}, {"text", e.text}});
  return Json{{"old", r.path},
              {"model", model},
              {"status", StatusWord(r.outcome, plan)},
              {"outcome", OutcomeText(r, plan)},
              {"counts", Counts(c, r.errors)},
              {"tablesCreated", c.tables_created},
              {"fieldsAdded", std::move(fields)},
              {"indexesDeleted", IndexList(c.indexes_deleted)},
              {"indexesCreated", IndexList(c.indexes_created)},
              {"indexesKept", IndexList(c.indexes_kept)},
              {"relationsDeleted", c.relations_deleted},
              {"relationsCreated", c.relations_created},
              {"relationsKept", c.relations_kept},
              {"relationsChanged", c.relations_changed},
              {"queriesDeleted", c.queries_deleted},
              {"queriesCreated", c.queries_created},
              {"queriesKept", c.queries_kept},
              {"triggersCreated", c.triggers_created},
              {"triggersReplaced", c.triggers_replaced},
              {"backup", c.backup},
              {"rolledBack", c.rolled_back},
              {"errors", std::move(errors)}};
}

}  // namespace

Json TransformReportJson(const Actualiz& window) {
  const auto results = Results(window.Report, window.Journal);
  Json databases = Json::array();
  for (const auto& r : results) databases.push_back(DatabaseJson(window, r));
  Json journal = Json::array();
  for (const auto& e : window.Journal.Entries())
    journal.push_back({{"step", StepName(e.operation)},
                       {"operation", e.operation},
                       {"model", e.model},
                       {"old", e.old},
                       {"number", e.number},
                       {"text", e.text}});
  return Json{{"version", 2},
              {"status", window.Label4.Caption()},
              {"plan", window.Report.Plan()},
              {"stopped", window.Report.Stopped()},
              {"summary", SummaryLine(results, window.Journal.Entries().size(), window.Report.Plan())},
              {"databases", std::move(databases)},
              {"skipped", window.Report.SkippedDatabases()},
              {"newDatabases", window.Report.NewDatabases()},
              {"notReached", window.Report.NotReachedDatabases()},
              {"errors", std::move(journal)}};
}

void PrintTransformReport(const Actualiz& window, std::ostream& out) {
  const auto results = Results(window.Report, window.Journal);
  const bool plan = window.Report.Plan();
  if (plan)
    out << "\nPlan: no se ha cambiado ningún archivo; esto es lo que haría \"Transformar\" y "
           "lo que se rechazaría (en el diario)\n";
  for (const auto& r : results) {
    // The database's errors are in the journal on the error stream.
    out << "\n";
    for (const auto& line : DatabaseDetails(window.Report, ErrorJournal{}, r)) out << line << "\n";
  }
  out << "\nEstado: " << window.Label4.Caption() << "\n"
      << SummaryLine(results, window.Journal.Entries().size(), plan) << "\n";
}

void PrintJournal(const Actualiz& window, std::ostream& out) {
  const auto& journal = window.Journal.Entries();
  if (journal.empty()) return;
  out << "Errores (" << journal.size() << "):\n";
  for (const auto& e : journal) {
    out << "  ";
    if (!e.old.empty()) out << FileNameOf(e.old) << " ";
    out << EntryLine(e) << "\n";
  }
}

}  // namespace brenquil
