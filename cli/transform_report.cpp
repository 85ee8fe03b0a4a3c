#include "cli/transform_report.h"

#include <string>
#include <vector>

#include "shell/actualiz.h"

namespace brenquil {

namespace {

// One old database as the report shows it: its changes and the journal
// entries made while it was the current pair's old database.
struct DatabaseSection {
  DatabaseChanges changes;
  std::vector<const JournalEntry*> errors;
};

std::vector<DatabaseSection> Sections(const Actualiz& window) {
  std::vector<DatabaseSection> sections;
  for (const auto& changes : window.Report.Databases()) sections.push_back({changes, {}});
  for (const auto& entry : window.Journal.Entries()) {
    if (entry.old.empty()) continue;
    DatabaseSection* section = nullptr;
    for (auto& s : sections)
      if (s.changes.old == entry.old) section = &s;
    if (!section) {
      DatabaseChanges changes;
      changes.old = entry.old;
      changes.model = entry.model;
      sections.push_back({std::move(changes), {}});
      section = &sections.back();
    }
    section->errors.push_back(&entry);
  }
  return sections;
}

bool NothingChanged(const DatabaseChanges& c) {
  return c.tables_created.empty() && c.fields_added.empty() && c.indexes_deleted.empty() &&
         c.indexes_created.empty() && c.relations_deleted.empty() && c.relations_created.empty() &&
         c.queries_deleted.empty() && c.queries_created.empty() && c.triggers_created.empty();
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

}  // namespace

nlohmann::ordered_json TransformReportJson(const Actualiz& window) {
  using Json = nlohmann::ordered_json;
  Json databases = Json::array();
  for (const auto& section : Sections(window)) {
    const DatabaseChanges& c = section.changes;
    Json fields = Json::array();
    for (const auto& [table, names] : c.fields_added)
      fields.push_back({{"table", table}, {"fields", names}});
    Json errors = Json::array();
    for (const JournalEntry* e : section.errors)
      errors.push_back({{"operation", e->operation}, {"number", e->number}, {"text", e->text}});
    databases.push_back({{"old", c.old},
                         {"model", c.model},
                         {"tablesCreated", c.tables_created},
                         {"fieldsAdded", std::move(fields)},
                         {"indexesDeleted", c.indexes_deleted},
                         {"indexesCreated", c.indexes_created},
                         {"relationsDeleted", c.relations_deleted},
                         {"relationsCreated", c.relations_created},
                         {"queriesDeleted", c.queries_deleted},
                         {"queriesCreated", c.queries_created},
                         {"triggersCreated", c.triggers_created},
                         {"backup", c.backup},
                         {"errors", std::move(errors)}});
  }
  Json journal = Json::array();
  for (const auto& e : window.Journal.Entries())
    journal.push_back({{"operation", e.operation},
                       {"model", e.model},
                       {"old", e.old},
                       {"number", e.number},
                       {"text", e.text}});
  return Json{{"status", window.Label4.Caption()},
              {"plan", window.Report.Plan()},
              {"databases", std::move(databases)},
              {"newDatabases", window.Report.NewDatabases()},
              {"skippedDatabases", window.Report.SkippedDatabases()},
              {"errors", std::move(journal)}};
}

void PrintTransformReport(const Actualiz& window, std::ostream& out) {
  out << "\nEstado: " << window.Label4.Caption() << "\n";
  const bool plan = window.Report.Plan();
  if (plan)
    out << "Plan: no se ha cambiado ningún archivo; esto es lo que haría \"Transformar\" y lo que se "
           "rechazaría (en el diario)\n";
  for (const auto& section : Sections(window)) {
    const DatabaseChanges& c = section.changes;
    out << "\n" << c.old;
    if (!c.model.empty()) out << "  (modelo " << c.model << ")";
    out << "\n";
    if (NothingChanged(c)) out << "  sin cambios\n";
    PrintList(out, "tablas creadas", c.tables_created);
    if (!c.fields_added.empty()) {
      out << "  campos añadidos:\n";
      for (const auto& [table, names] : c.fields_added) {
        out << "    " << table << ":";
        const char* separator = " ";
        for (const auto& name : names) {
          out << separator << name;
          separator = ", ";
        }
        out << "\n";
      }
    }
    PrintList(out, "índices borrados", c.indexes_deleted);
    PrintList(out, "índices creados", c.indexes_created);
    PrintList(out, "relaciones borradas", c.relations_deleted);
    PrintList(out, "relaciones creadas", c.relations_created);
    PrintList(out, "consultas borradas", c.queries_deleted);
    PrintList(out, "consultas creadas", c.queries_created);
    PrintList(out, "disparadores creados", c.triggers_created);
    if (!c.backup.empty()) out << "  copia de seguridad: " << c.backup << "\n";
    if (!section.errors.empty())
      out << "  errores: " << section.errors.size() << " (en el diario, abajo)\n";
  }
  const auto& copied = window.Report.NewDatabases();
  if (!copied.empty()) {
    out << (plan ? "\nBases nuevas que se copiarían:\n" : "\nBases nuevas copiadas:\n");
    for (const auto& path : copied) out << "  " << path << "\n";
  }
  const auto& skipped = window.Report.SkippedDatabases();
  if (!skipped.empty()) {
    out << "\nBases sin modelo (no se tocan):\n";
    for (const auto& path : skipped) out << "  " << path << "\n";
  }
  const auto& journal = window.Journal.Entries();
  if (journal.empty()) {
    out << "\nErrores: ninguno\n";
  } else {
    out << "\nErrores (" << journal.size() << "):\n";
    for (const auto& entry : journal) out << "  " << FormatEntry(entry) << "\n";
  }
}

}  // namespace brenquil
