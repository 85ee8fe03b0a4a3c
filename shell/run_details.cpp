#include "shell/run_details.h"

#include "shell/step_names.h"

namespace brenquil {

namespace {

// A heading as a run says it and as a plan does.
struct Heading {
  const char* run;
  const char* plan;
};

std::string Joined(const std::vector<std::string>& names) {
  std::string text;
  for (const auto& name : names) text += (text.empty() ? "" : ", ") + name;
  return text;
}

void List(std::vector<std::string>& lines, bool plan, Heading heading,
          const std::vector<std::string>& names) {
  if (names.empty()) return;
  lines.push_back(std::string("  ") + (plan ? heading.plan : heading.run) + ": " + Joined(names));
}

void List(std::vector<std::string>& lines, bool plan, Heading heading,
          const std::vector<IndexEntry>& indexes) {
  std::vector<std::string> names;
  for (const auto& index : indexes) names.push_back(index.Qualified());
  List(lines, plan, heading, names);
}

}  // namespace

std::string EntryLine(const JournalEntry& entry) {
  return "[" + StepName(entry.operation) + "] error " + std::to_string(entry.number) + ": " + entry.text;
}

std::vector<std::string> DatabaseDetails(const RunReport& report, const ErrorJournal& journal,
                                         const DatabaseResult& result) {
  const bool plan = report.Plan();
  std::vector<std::string> lines{FileNameOf(result.path) + ": " + OutcomeText(result, plan),
                                 "  " + result.path};
  for (const auto& c : report.Databases()) {
    if (c.old != result.path) continue;
    List(lines, plan, {"tablas creadas", "tablas que se crearían"}, c.tables_created);
    if (!c.fields_added.empty()) {
      lines.push_back(plan ? "  campos que se añadirían:" : "  campos añadidos:");
      for (const auto& [table, names] : c.fields_added) lines.push_back("    " + table + ": " + Joined(names));
    }
    List(lines, plan, {"índices borrados", "índices que se borrarían"}, c.indexes_deleted);
    List(lines, plan, {"índices creados", "índices que se crearían"}, c.indexes_created);
    List(lines, plan, {"índices sin cambios", "índices que quedarían sin cambios"}, c.indexes_kept);
    List(lines, plan, {"relaciones borradas", "relaciones que se borrarían"}, c.relations_deleted);
    List(lines, plan, {"relaciones creadas", "relaciones que se crearían"}, c.relations_created);
    List(lines, plan, {"relaciones sin cambios", "relaciones que quedarían sin cambios"}, c.relations_kept);
    List(lines, plan,
         {"relaciones puestas como cláusula FOREIGN KEY", "relaciones que se pondrían como cláusula FOREIGN KEY"},
         c.relations_changed);
    List(lines, plan, {"consultas borradas", "consultas que se borrarían"}, c.queries_deleted);
    List(lines, plan, {"consultas creadas", "consultas que se crearían"}, c.queries_created);
    List(lines, plan, {"consultas sin cambios", "consultas que quedarían sin cambios"}, c.queries_kept);
    List(lines, plan, {"desencadenadores creados", "desencadenadores que se crearían"}, c.triggers_created);
    List(lines, plan, {"desencadenadores sustituidos", "desencadenadores que se sustituirían"}, c.triggers_replaced);
    if (!c.backup.empty()) lines.push_back("  copia de seguridad: " + c.backup);
    break;
  }
  std::vector<std::string> errors;
  for (const auto& e : journal.Entries())
    if (e.old == result.path) errors.push_back("    " + EntryLine(e));
  if (!errors.empty()) {
    lines.push_back(plan ? "  se rechazaría:" : "  errores:");
    lines.insert(lines.end(), errors.begin(), errors.end());
  }
  return lines;
}

}  // namespace brenquil
