#include "shell/run_summary.h"

#include <algorithm>
#include <unordered_map>

namespace brenquil {

namespace {

std::string Count(size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

void Append(std::string& text, const std::string& part) {
  if (!text.empty()) text += ", ";
  text += part;
}

size_t FieldCount(const DatabaseChanges& c) {
  size_t n = 0;
  for (const auto& [table, fields] : c.fields_added) n += fields.size();
  return n;
}

std::string Gains(const DatabaseChanges& c, bool plan) {
  std::string gained;
  if (!c.tables_created.empty()) Append(gained, Count(c.tables_created.size(), "tabla", "tablas"));
  if (size_t fields = FieldCount(c)) Append(gained, Count(fields, "campo", "campos"));
  if (!c.indexes_created.empty())
    Append(gained, Count(c.indexes_created.size(), "índice", "índices"));
  if (!c.relations_created.empty())
    Append(gained, Count(c.relations_created.size(), "relación", "relaciones"));
  if (!c.queries_created.empty())
    Append(gained, Count(c.queries_created.size(), "consulta", "consultas"));
  if (!c.triggers_created.empty())
    Append(gained, Count(c.triggers_created.size(), "desencadenador", "desencadenadores"));
  std::string changed;
  if (!c.relations_changed.empty())
    Append(changed, Count(c.relations_changed.size(), "relación", "relaciones"));
  if (!c.triggers_replaced.empty())
    Append(changed, Count(c.triggers_replaced.size(), "desencadenador", "desencadenadores"));
  if (!changed.empty()) gained = gained.empty() ? "cambia " + changed : gained + "; cambia " + changed;
  std::string lost;
  if (!c.indexes_deleted.empty()) Append(lost, Count(c.indexes_deleted.size(), "índice", "índices"));
  if (!c.relations_deleted.empty())
    Append(lost, Count(c.relations_deleted.size(), "relación", "relaciones"));
  if (!c.queries_deleted.empty())
    Append(lost, Count(c.queries_deleted.size(), "consulta", "consultas"));
  if (lost.empty()) return gained;
  const std::string takes = plan ? "quitaría " : "quita ";
  return gained.empty() ? takes + lost : gained + "; " + takes + lost;
}

}  // namespace

bool Changed(const DatabaseChanges& c) {
  return !c.tables_created.empty() || !c.fields_added.empty() || !c.indexes_deleted.empty() ||
         !c.indexes_created.empty() || !c.relations_deleted.empty() ||
         !c.relations_created.empty() || !c.queries_deleted.empty() ||
         !c.queries_created.empty() || !c.triggers_created.empty() || !c.relations_changed.empty() ||
         !c.triggers_replaced.empty();
}

std::string FileNameOf(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::vector<DatabaseResult> Results(const RunReport& report, const ErrorJournal& journal) {
  std::vector<DatabaseResult> results;
  // Each database's place in `results`, so that a folder of tens of
  // thousands of databases is not searched once per database.
  std::unordered_map<std::string, size_t> places;
  auto find = [&](const std::string& path) {
    auto place = places.find(path);
    return place == places.end() ? results.end() : results.begin() + static_cast<std::ptrdiff_t>(place->second);
  };
  auto add = [&](DatabaseResult result) {
    places.emplace(result.path, results.size());
    results.push_back(std::move(result));
  };
  for (const auto& c : report.Databases()) {
    if (find(c.old) != results.end()) continue;
    DatabaseResult r;
    r.path = c.old;
    r.rolled_back = c.rolled_back;
    if (Changed(c)) {
      r.outcome = Outcome::kUpdated;
      r.changes = Gains(c, report.Plan());
    }
    add(std::move(r));
  }
  for (const auto& path : report.SkippedDatabases())
    if (find(path) == results.end()) add({path, Outcome::kSkipped, {}, 0, false});
  for (const auto& path : report.NewDatabases())
    if (find(path) == results.end()) add({path, Outcome::kCopied, {}, 0, false});
  for (const auto& path : report.NotReachedDatabases())
    if (find(path) == results.end()) add({path, Outcome::kNotReached, {}, 0, false});
  for (const auto& entry : journal.Entries()) {
    if (entry.old.empty()) continue;
    auto it = find(entry.old);
    if (it == results.end()) {
      add({entry.old, Outcome::kFailed, {}, 0, false});
      it = std::prev(results.end());
    }
    ++it->errors;
  }
  for (auto& r : results)
    if (r.errors > 0 && r.outcome == Outcome::kUnchanged) r.outcome = Outcome::kFailed;
  return results;
}

std::string OutcomeText(const DatabaseResult& r, bool plan) {
  std::string errors = Count(static_cast<size_t>(r.errors), "error", "errores");
  if (r.rolled_back) errors += " (cambios deshechos)";
  std::string text;
  switch (r.outcome) {
    case Outcome::kUpdated: text = (plan ? "se actualizaría: " : "actualizada: ") + r.changes; break;
    case Outcome::kUnchanged: text = plan ? "quedaría sin cambios" : "sin cambios"; break;
    case Outcome::kSkipped: text = plan ? "se omitiría: sin modelo" : "omitida: sin modelo"; break;
    case Outcome::kCopied: text = plan ? "se copiaría" : "copiada"; break;
    case Outcome::kNotReached:
      text = plan ? "sin tratar: el plan se detuvo antes de llegar a ella"
                  : "sin tratar: la transformación se detuvo antes de llegar a ella";
      break;
    case Outcome::kFailed: return plan ? "se rechazaría: " + errors : errors;
  }
  if (r.errors > 0) text += "; " + errors;
  return text;
}

const char* StatusWord(Outcome outcome, bool plan) {
  switch (outcome) {
    case Outcome::kUpdated: return plan ? "wouldUpdate" : "updated";
    case Outcome::kUnchanged: return plan ? "wouldBeUnchanged" : "unchanged";
    case Outcome::kSkipped: return plan ? "wouldSkip" : "skipped";
    case Outcome::kCopied: return plan ? "wouldCopy" : "copied";
    case Outcome::kFailed: return plan ? "wouldFail" : "failed";
    case Outcome::kNotReached: return "notReached";
  }
  return "failed";
}

std::string SummaryLine(const std::vector<DatabaseResult>& results, size_t journal_entries, bool plan) {
  size_t counts[6] = {};
  for (const auto& r : results) ++counts[static_cast<int>(r.outcome)];
  struct Part {
    Outcome outcome;
    const char* one;
    const char* many;
  };
  constexpr Part kRun[] = {{Outcome::kUpdated, "actualizada", "actualizadas"},
                           {Outcome::kUnchanged, "sin cambios", "sin cambios"},
                           {Outcome::kCopied, "copiada", "copiadas"},
                           {Outcome::kSkipped, "omitida", "omitidas"},
                           {Outcome::kFailed, "con errores", "con errores"},
                           {Outcome::kNotReached, "sin tratar", "sin tratar"}};
  constexpr Part kPlan[] = {{Outcome::kUpdated, "se actualizaría", "se actualizarían"},
                            {Outcome::kUnchanged, "sin cambios", "sin cambios"},
                            {Outcome::kCopied, "se copiaría", "se copiarían"},
                            {Outcome::kSkipped, "se omitiría", "se omitirían"},
                            {Outcome::kFailed, "con errores", "con errores"},
                            {Outcome::kNotReached, "sin tratar", "sin tratar"}};
  std::string line;
  for (const auto& part : plan ? kPlan : kRun)
    if (size_t n = counts[static_cast<int>(part.outcome)]) Append(line, Count(n, part.one, part.many));
  if (line.empty()) line = "ninguna base";
  Append(line, Count(journal_entries, "error", "errores"));
  return line;
}

}  // namespace brenquil
