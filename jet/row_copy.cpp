#include "jet/row_copy.h"

#include <memory>
#include <vector>

#include "engine/error.h"
#include "jet/jet_expressions.h"
#include "jet/row_cursor.h"
#include "jet/row_values.h"

namespace brenquil::jet {

namespace {

struct Finalize {
  void operator()(sqlite3_stmt* st) const { sqlite3_finalize(st); }
};

void Exec(sqlite3* db, const std::string& sql, const std::string& table) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    std::string text = message ? message : sqlite3_errmsg(db);
    sqlite3_free(message);
    throw MakeError(err::kEngine, "al copiar las filas de la tabla '" + table + "': " + text);
  }
}

std::string Count(long long n, const std::string& one, const std::string& many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

long long CopyRows(JetFile& file, const TableDefinition& table, const TablePlan& plan, sqlite3* db,
                   ImportReport& report) {
  if (plan.fields.empty()) return 0;
  std::string columns, parameters;
  for (std::size_t k = 0; k < plan.fields.size(); ++k) {
    columns += (k ? ", " : "") + QuoteName(plan.fields[k].name);
    parameters += (k ? ", ?" : "?") + std::to_string(k + 1);
  }
  const std::string sql =
      "INSERT INTO " + QuoteName(plan.name) + " (" + columns + ") VALUES (" + parameters + ")";
  Exec(db, "BEGIN", plan.name);
  long long count = 0;
  std::vector<ValueIssues> issues(plan.fields.size());
  try {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK)
      throw MakeError(err::kEngine,
                      "al copiar las filas de la tabla '" + plan.name + "': " + sqlite3_errmsg(db));
    std::unique_ptr<sqlite3_stmt, Finalize> insert(raw);
    ValueBinder binder(file, table, plan);
    RowCursor rows(file, table);
    std::vector<std::size_t> pending;
    while (rows.Next()) {
      pending.clear();
      for (std::size_t k = 0; k < plan.fields.size(); ++k)
        if (binder.Bind(insert.get(), static_cast<int>(k + 1), k, rows, issues[k]))
          pending.push_back(k);
      int rc = sqlite3_step(insert.get());
      if (rc != SQLITE_DONE)
        throw MakeError(rc == SQLITE_FULL ? err::kDiskError : err::kEngine,
                        "SQLite no admite la fila " + std::to_string(rows.RowNumber()) +
                            " de la página " + std::to_string(rows.PageNumber()) +
                            " de la tabla '" + plan.name + "': " + sqlite3_errmsg(db));
      sqlite3_reset(insert.get());
      if (!pending.empty()) {
        sqlite3_int64 rowid = sqlite3_last_insert_rowid(db);
        for (std::size_t k : pending) binder.WriteLongValue(db, plan.name, k, rows, rowid);
      }
      ++count;
    }
    // Jet's counter never gives a number twice, even one whose row is gone:
    // SQLite's sequence goes on from the last number Jet gave.
    for (const auto& f : plan.fields) {
      if (!f.rowid_key || plan.last_autonumber == 0) continue;
      const std::string last = std::to_string(plan.last_autonumber), name = QuoteText(plan.name);
      Exec(db, "UPDATE sqlite_sequence SET seq = max(seq, " + last + ") WHERE name = " + name,
           plan.name);
      // A table left empty has no sequence yet, but Jet's numbers were given.
      Exec(db,
           "INSERT INTO sqlite_sequence (name, seq) SELECT " + name + ", " + last +
               " WHERE NOT EXISTS (SELECT 1 FROM sqlite_sequence WHERE name = " + name + ")",
           plan.name);
    }
    Exec(db, "COMMIT", plan.name);
  } catch (...) {
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
  for (std::size_t k = 0; k < plan.fields.size(); ++k) {
    const std::string where = plan.name + "." + plan.fields[k].name;
    const ValueIssues& i = issues[k];
    if (i.rounded)
      report.LeaveOut(
          "valores", where,
          Count(i.rounded, "valor tiene", "valores tienen") +
              " más cifras significativas que las 15 que SQLite guarda en un número: llega" +
              (i.rounded == 1 ? "" : "n") + " redondeado" + (i.rounded == 1 ? "" : "s"));
    if (i.undated)
      report.LeaveOut("valores", where,
                      Count(i.undated, "fecha cae", "fechas caen") +
                          " fuera de los años 100 a 9999: llega" + (i.undated == 1 ? "" : "n") +
                          " como el número de días que Jet guarda");
    if (i.replaced)
      report.LeaveOut("valores", where,
                      Count(i.replaced, "texto tenía", "textos tenían") +
                          " bytes que no forman caracteres: llega" + (i.replaced == 1 ? "" : "n") +
                          " con U+FFFD en su lugar");
  }
  return count;
}

}  // namespace brenquil::jet
