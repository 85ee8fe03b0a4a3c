#include "cli/transform_report.h"

#include <algorithm>
#include <sstream>
#include <string>
#include <unordered_map>
#include <vector>

#include "cli/json_text.h"

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

// Each database's changes and journal entries, found once for the whole
// report: looking them up anew for every database would take time that grows
// with the square of the databases.
struct ReportIndex {
  explicit ReportIndex(const Actualiz& window) {
    // A database listed twice is reported with its last entry.
    for (const auto& c : window.Report.Databases()) changes[c.old] = &c;
    for (const auto& e : window.Journal.Entries()) entries[e.old].push_back(&e);
  }
  std::unordered_map<std::string, const DatabaseChanges*> changes;
  std::unordered_map<std::string, std::vector<const JournalEntry*>> entries;
};

Json DatabaseJson(const Actualiz& window, const ReportIndex& index, const DatabaseResult& r) {
  const bool plan = window.Report.Plan();
  DatabaseChanges none;
  const auto found = index.changes.find(r.path);
  const DatabaseChanges& c = found != index.changes.end() ? *found->second : none;
  std::string model = c.model;
  if (found == index.changes.end() && r.outcome == Outcome::kCopied)
    model = window.Installation().ModelPath(FileNameOf(r.path));
  Json fields = Json::array();
  for (const auto& [table, names] : c.fields_added) fields.push_back({{"table", table}, {"fields", names}});
  Json errors = Json::array();
  if (const auto mine = index.entries.find(r.path); mine != index.entries.end())
    for (const JournalEntry* e : mine->second)
      errors.push_back(
          {{"step", StepName(e->operation)}, {"operation", e->operation}, {"number", e->number}, {"text", e->text}});
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

void WriteTransformReportJson(const Actualiz& window, std::ostream& out) {
  const auto results = Results(window.Report, window.Journal);
  const ReportIndex index(window);
  JsonObjectWriter json(out);
  json.Member("version", 2);
  json.Member("status", window.Label4.Caption());
  json.Member("plan", window.Report.Plan());
  json.Member("stopped", window.Report.Stopped());
  json.Member("summary", SummaryLine(results, window.Journal.Entries().size(), window.Report.Plan()));
  json.BeginArray("databases");
  for (const auto& r : results) json.Item(DatabaseJson(window, index, r));
  json.EndArray();
  json.Member("skipped", window.Report.SkippedDatabases());
  json.Member("newDatabases", window.Report.NewDatabases());
  json.Member("notReached", window.Report.NotReachedDatabases());
  json.BeginArray("errors");
  for (const auto& e : window.Journal.Entries())
    json.Item({{"step", StepName(e.operation)},
               {"operation", e.operation},
               {"model", e.model},
               {"old", e.old},
               {"number", e.number},
               {"text", e.text}});
  json.EndArray();
  json.Finish();
}

Json TransformReportJson(const Actualiz& window) {
  std::ostringstream text;
  WriteTransformReportJson(window, text);
  return Json::parse(text.str());
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
