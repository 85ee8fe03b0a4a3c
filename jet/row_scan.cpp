#include "jet/row_scan.h"

#include <sqlite3.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/error.h"
#include "jet/long_value.h"
#include "jet/row_cursor.h"
#include "jet/row_values.h"

namespace brenquil::jet {

namespace {

struct CloseDb {
  void operator()(sqlite3* db) const { sqlite3_close(db); }
};
struct Finalize {
  void operator()(sqlite3_stmt* st) const { sqlite3_finalize(st); }
};

// A rule tested on the row's values: SELECT 0 only when the rule is false
// (a CHECK passes on true and on Null).
struct RuleTest {
  std::unique_ptr<sqlite3_stmt, Finalize> statement;
  long long broken = 0;
};

bool EmptyText(JetFile& file, const JetColumn& c, const FieldValue& v, TextDecoder& text) {
  if (v.null) return false;
  if (c.type == kJetMemo) {
    LongValue value(file, v.bytes);
    if (value.Length() > 2) return false;
    std::string bytes;
    value.Read([&](const std::uint8_t* p, std::size_t n) {
      bytes.append(reinterpret_cast<const char*>(p), n);
    });
    return text.Decode(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()).empty();
  }
  return v.bytes.size() <= 2 && text.Decode(v.bytes.data(), v.bytes.size()).empty();
}

// "1 fila del archivo tiene" or "3 filas del archivo tienen".
std::string Rows(long long n, const char* one, const char* many) {
  return std::to_string(n) + (n == 1 ? " fila del archivo " + std::string(one)
                                     : " filas del archivo " + std::string(many));
}

}  // namespace

void DropBrokenConstraints(JetFile& file, const TableDefinition& table, TablePlan& plan,
                           ImportReport& report) {
  bool any = !plan.rule_sql.empty();
  for (const auto& f : plan.fields)
    any = any || f.required || f.refuse_empty || !f.rule_sql.empty() || f.rowid_key;
  if (!any) return;

  sqlite3* raw = nullptr;
  if (sqlite3_open_v2(":memory:", &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
      SQLITE_OK) {
    sqlite3_close(raw);
    throw MakeError(err::kEngine, "no se pudo abrir SQLite para probar las reglas de la tabla '" +
                                      plan.name + "'");
  }
  std::unique_ptr<sqlite3, CloseDb> db(raw);
  auto prepare = [&](const std::string& rule) {
    sqlite3_stmt* st = nullptr;
    std::string sql = "SELECT ifnull((" + rule + "), 1)";
    if (sqlite3_prepare_v2(db.get(), sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
      throw MakeError(err::kEngine, "la regla de validación de la tabla '" + plan.name +
                                        "' no se pudo probar: " + sqlite3_errmsg(db.get()));
    return std::unique_ptr<sqlite3_stmt, Finalize>(st);
  };
  std::vector<RuleTest> rules(plan.fields.size() + 1);
  for (std::size_t k = 0; k < plan.fields.size(); ++k)
    if (!plan.fields[k].rule_eval_sql.empty())
      rules[k].statement = prepare(plan.fields[k].rule_eval_sql);
  if (!plan.rule_eval_sql.empty()) rules.back().statement = prepare(plan.rule_eval_sql);

  std::vector<long long> nulls(plan.fields.size(), 0), empties(plan.fields.size(), 0);
  TextDecoder text(file.Jet3(), file.CodePage());
  ValueBinder binder(file, table, plan);
  ValueIssues ignored;
  RowCursor rows(file, table);
  while (rows.Next()) {
    for (std::size_t k = 0; k < plan.fields.size(); ++k) {
      const FieldPlan& f = plan.fields[k];
      if (!f.required && !f.refuse_empty && !f.rowid_key) continue;
      const JetColumn& c = table.columns[f.column];
      FieldValue v = rows.Field(f.column);
      if (v.null && c.type != kJetBoolean) ++nulls[k];
      if (f.refuse_empty && EmptyText(file, c, v, text)) ++empties[k];
    }
    for (auto& rule : rules) {
      if (!rule.statement) continue;
      sqlite3_stmt* st = rule.statement.get();
      sqlite3_reset(st);
      sqlite3_clear_bindings(st);
      // Only the fields the rule names are its parameters (?N: field N).
      for (int i = 1; i <= sqlite3_bind_parameter_count(st); ++i) {
        const char* name = sqlite3_bind_parameter_name(st, i);
        if (!name) continue;
        std::size_t k = std::stoul(name + 1) - 1;
        if (k < plan.fields.size()) binder.Bind(st, i, k, rows, ignored);
      }
      if (sqlite3_step(st) == SQLITE_ROW && sqlite3_column_type(st, 0) != SQLITE_NULL &&
          sqlite3_column_double(st, 0) == 0.0)
        ++rule.broken;
    }
  }

  for (std::size_t k = 0; k < plan.fields.size(); ++k) {
    FieldPlan& f = plan.fields[k];
    const std::string where = plan.name + "." + f.name;
    if (f.rowid_key && nulls[k] > 0)
      f.rowid_key = false;  // a key SQLite numbers cannot keep a Null
    if (f.required && nulls[k] > 0) {
      f.required = false;
      report.LeaveOut("propiedad", where,
                      "Required: " + Rows(nulls[k], "tiene", "tienen") +
                          " el campo vacío (Null); llega sin exigirlo");
    }
    if (f.refuse_empty && empties[k] > 0) {
      f.refuse_empty = false;
      report.LeaveOut("propiedad", where,
                      "AllowZeroLength desactivado: " + Rows(empties[k], "tiene", "tienen") +
                          " un texto vacío; llega admitiéndolo");
    }
    if (rules[k].broken > 0) {
      report.LeaveOut("propiedad", where,
                      "ValidationRule: " + Rows(rules[k].broken, "no la cumple", "no la cumplen") +
                          "; llega sin ella");
      f.rule_sql.clear();
      f.rule_eval_sql.clear();
      f.rule_name.clear();
    }
  }
  if (rules.back().broken > 0) {
    report.LeaveOut("propiedad", plan.name,
                    "ValidationRule de la tabla: " +
                        Rows(rules.back().broken, "no la cumple", "no la cumplen") +
                        "; llega sin ella");
    plan.rule_sql.clear();
    plan.rule_eval_sql.clear();
    plan.rule_name.clear();
  }
}

}  // namespace brenquil::jet
