#include "cli/transform_report.h"

#include <algorithm>
#include <string>
#include <vector>

#include "engine/error.h"
#include "shell/actualiz.h"
#include "shell/run_summary.h"
#include "shell/step_names.h"

namespace brenquil {

namespace {

using Json = nlohmann::ordered_json;

const DatabaseChanges* ChangesFor(const Actualiz& window, const std::string& old) {
  for (const auto& c : window.Report.Databases())
    if (c.old == old) return &c;
  return nullptr;
}

Json IndexList(const std::vector<IndexEntry>& indexes) {
  Json list = Json::array();
  for (const auto& index : indexes) list.push_back({{"table", index.table}, {"name", index.name}});
  return list;
}

void PrintList(std::ostream& out, const char* heading, const std::vector<std::string>& names) {
  if (names.empty()) return;
  out << "  " << heading << ":";
  const char* separator = " ";
  for (const auto& name : names) {
    out << separator << name;
    separator = ", ";
  }
  out << "\n";
}

void PrintList(std::ostream& out, const char* heading, const std::vector<IndexEntry>& indexes) {
  std::vector<std::string> names;
  for (const auto& index : indexes) names.push_back(index.Qualified());
  PrintList(out, heading, names);
}

}  // namespace

Json TransformReportJson(const Actualiz& window) {
  const auto results = Results(window.Report, window.Journal);
  Json databases = Json::array();
  for (const auto& c : window.Report.Databases()) {
    Json fields = Json::array();
    for (const auto& [table, names] : c.fields_added)
      fields.push_back({{"table", table}, {"fields", names}});
    Json errors = Json::array();
    for (const auto& e : window.Journal.Entries())
      if (e.old == c.old)
        errors.push_back({{"operation", e.operation},
                          {"step", StepName(e.operation)},
                          {"number", e.number},
                          {"text", e.text}});
    std::string outcome;
    for (const auto& r : results)
      if (r.path == c.old) outcome = OutcomeText(r);
    databases.push_back({{"old", c.old},
                         {"model", c.model},
                         {"outcome", outcome},
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
                         {"errors", std::move(errors)}});
  }
  Json journal = Json::array();
  for (const auto& e : window.Journal.Entries())
    journal.push_back({{"operation", e.operation},
                       {"step", StepName(e.operation)},
                       {"model", e.model},
                       {"old", e.old},
                       {"number", e.number},
                       {"text", e.text}});
  return Json{{"version", 1},
              {"status", window.Label4.Caption()},
              {"plan", window.Report.Plan()},
              {"summary", SummaryLine(results, window.Journal.Entries().size())},
              {"databases", std::move(databases)},
              {"skipped", window.Report.SkippedDatabases()},
              {"newDatabases", window.Report.NewDatabases()},
              {"errors", std::move(journal)}};
}

void PrintTransformReport(const Actualiz& window, std::ostream& out) {
  const auto results = Results(window.Report, window.Journal);
  const bool plan = window.Report.Plan();
  if (plan)
    out << "\nPlan: no se ha cambiado ningún archivo; esto es lo que haría \"Transformar\" y "
           "lo que se rechazaría (en el diario)\n";
  for (const auto& r : results) {
    // A plan copies no model: it names the ones a run would copy.
    const std::string outcome =
        plan && r.outcome == Outcome::kCopied ? "se copiaría" : OutcomeText(r);
    out << "\n" << FileNameOf(r.path) << ": " << outcome << "\n";
    out << "  " << r.path << "\n";
    const DatabaseChanges* c = ChangesFor(window, r.path);
    if (!c) continue;
    PrintList(out, "tablas creadas", c->tables_created);
    if (!c->fields_added.empty()) {
      out << "  campos añadidos:\n";
      for (const auto& [table, names] : c->fields_added) {
        out << "    " << table << ":";
        const char* separator = " ";
        for (const auto& name : names) {
          out << separator << name;
          separator = ", ";
        }
        out << "\n";
      }
    }
    PrintList(out, "índices borrados", c->indexes_deleted);
    PrintList(out, "índices creados", c->indexes_created);
    PrintList(out, "índices sin cambios", c->indexes_kept);
    PrintList(out, "relaciones borradas", c->relations_deleted);
    PrintList(out, "relaciones creadas", c->relations_created);
    PrintList(out, "relaciones sin cambios", c->relations_kept);
    PrintList(out, "relaciones puestas como cláusula FOREIGN KEY", c->relations_changed);
    PrintList(out, "consultas borradas", c->queries_deleted);
    PrintList(out, "consultas creadas", c->queries_created);
    PrintList(out, "consultas sin cambios", c->queries_kept);
    PrintList(out, "desencadenadores creados", c->triggers_created);
    PrintList(out, "desencadenadores sustituidos", c->triggers_replaced);
    if (!c->backup.empty()) out << "  copia de seguridad: " << c->backup << "\n";
  }
  out << "\nEstado: " << window.Label4.Caption() << "\n"
      << SummaryLine(results, window.Journal.Entries().size()) << "\n";
}

void PrintJournal(const Actualiz& window, std::ostream& out) {
  const auto& journal = window.Journal.Entries();
  if (journal.empty()) return;
  out << "Errores (" << journal.size() << "):\n";
  for (const auto& e : journal) {
    out << "  ";
    if (!e.old.empty()) out << FileNameOf(e.old) << " ";
    out << "[" << StepName(e.operation) << "] error " << e.number << ": " << e.text << "\n";
  }
}

}  // namespace brenquil
