#include "jet/table_plan.h"

#include <set>

#include "engine/collection.h"
#include "engine/field.h"
#include "jet/jet_expressions.h"

namespace brenquil::jet {

namespace {

// Properties Access keeps for its own windows: they change no value and no
// rule, and SQLite has no place for them. (Widths, order, controls and the
// like are left unsaid: they say nothing about the data at all.)
const char* const kPresentation[] = {"Caption", "Description", "Format", "InputMask",
                                     "DecimalPlaces"};
// DecimalPlaces 255 is "Automatic", what a field has when nobody set it.
bool PresentationSet(const PropertyMaps& properties, const std::string& column, const char* name) {
  auto p = properties.Get(column, name);
  return p && !(std::string(name) == "DecimalPlaces" && p->text == "255");
}

std::string KindOf(Storage s) {
  switch (s) {
    case Storage::kBoolean: return "boolean";
    case Storage::kText:
    case Storage::kMemo: return "text";
    case Storage::kDate: return "date";
    case Storage::kGuid: return "guid";
    case Storage::kBinary:
    case Storage::kOle: return "binary";
    default: return "number";
  }
}

// The column's storage, DAO type, size and declared type; false for a type
// SQLite cannot hold (`why` says which).
bool MapType(const JetColumn& c, bool jet3, FieldPlan& f, std::string& why) {
  auto set = [&f](Storage storage, int type, long size, std::string sql_type) {
    f.storage = storage;
    f.dao_type = type;
    f.size = size;
    f.sql_type = std::move(sql_type);
    return true;
  };
  if (c.Calculated()) {
    why = "es un campo calculado de Access, que SQLite no calcula";
    return false;
  }
  switch (c.type) {
    case kJetBoolean: return set(Storage::kBoolean, dbBoolean, 1, "BOOLEAN");
    case kJetByte: return set(Storage::kInteger, dbByte, 1, "TINYINT");
    case kJetInteger: return set(Storage::kInteger, dbInteger, 2, "SMALLINT");
    case kJetLong: return set(Storage::kInteger, dbLong, 4, "INTEGER");
    case kJetBigInt: return set(Storage::kInteger, dbBigInt, 8, "BIGINT");
    case kJetMoney: return set(Storage::kMoney, dbCurrency, 8, "CURRENCY");
    case kJetSingle: return set(Storage::kSingle, dbSingle, 4, "SINGLE");
    case kJetDouble: return set(Storage::kDouble, dbDouble, 8, "DOUBLE");
    case kJetDateTime: return set(Storage::kDate, dbDate, 8, "DATETIME");
    case kJetGuid: return set(Storage::kGuid, dbGUID, 16, "GUID");
    case kJetMemo: return set(Storage::kMemo, dbMemo, 0, "TEXT");
    case kJetOle: return set(Storage::kOle, dbLongBinary, 0, "BLOB");
    case kJetNumeric: {
      int precision = c.precision >= 1 && c.precision <= 28 ? c.precision : 18;
      int scale = c.scale <= precision ? c.scale : 0;
      return set(Storage::kDecimal, dbDecimal, 16,
                 "DECIMAL(" + std::to_string(precision) + "," + std::to_string(scale) + ")");
    }
    case kJetText: {
      long chars = jet3 ? c.length : c.length / 2;
      if (chars < 1 || chars > 255) chars = 255;
      return set(Storage::kText, dbText, chars, "VARCHAR(" + std::to_string(chars) + ")");
    }
    case kJetBinary: {
      long bytes = c.length >= 1 && c.length <= 255 ? c.length : 255;
      return set(Storage::kBinary, dbBinary, bytes, "BINARY(" + std::to_string(bytes) + ")");
    }
    case kJetComplex:
      why = "es un campo de valores múltiples o de datos adjuntos de Access, que SQLite no tiene";
      return false;
    default:
      why = "tiene el tipo de Jet " + std::to_string(c.type) + ", que este programa no conoce";
      return false;
  }
}

}  // namespace

const FieldPlan* TablePlan::FieldFor(std::size_t column) const {
  for (const auto& f : fields)
    if (f.column == column) return &f;
  return nullptr;
}

const FieldPlan* TablePlan::FieldNamed(const std::string& wanted) const {
  for (const auto& f : fields)
    if (SameName(f.name, wanted)) return &f;
  return nullptr;
}

std::string TablePlan::Declaration() const {
  std::string sql = "CREATE TABLE " + QuoteName(name) + " (";
  bool first = true;
  for (const auto& f : fields) {
    sql += first ? "\n  " : ",\n  ";
    first = false;
    sql += QuoteName(f.name) + " " +
           (f.rowid_key ? std::string("INTEGER PRIMARY KEY AUTOINCREMENT") : f.sql_type);
    if (f.required && !f.rowid_key) sql += " NOT NULL";
    if (!f.default_sql.empty()) sql += " DEFAULT " + f.default_sql;
    // The engine's name for the check that refuses the empty text.
    if (f.refuse_empty)
      sql += " CONSTRAINT " + QuoteName("MSysZLS_" + f.name) + " CHECK (" + QuoteName(f.name) +
             " <> '')";
    if (!f.rule_sql.empty())
      sql += (f.rule_name.empty() ? "" : " CONSTRAINT " + QuoteName(f.rule_name)) + " CHECK (" +
             f.rule_sql + ")";
  }
  if (!rule_sql.empty())
    sql += ",\n  " +
           (rule_name.empty() ? std::string() : "CONSTRAINT " + QuoteName(rule_name) + " ") +
           "CHECK (" + rule_sql + ")";
  return sql + "\n)";
}

TablePlan PlanTable(const std::string& name, const TableDefinition& table,
                    const PropertyMaps& properties, bool jet3, ImportReport& report) {
  TablePlan plan;
  plan.name = name;
  plan.last_autonumber = table.last_autonumber;
  auto prop = [&](const std::string& object, const char* key) -> std::string {
    auto p = properties.Get(object, key);
    return p ? p->text : std::string();
  };
  auto flag = [&](const std::string& object, const char* key, bool otherwise) {
    auto p = properties.Get(object, key);
    return p ? p->Flag() : otherwise;
  };

  // Fields an index requires (the primary key's): Jet refuses Null there.
  std::set<std::uint16_t> required_by_index;
  const LogicalIndex* primary = nullptr;
  for (const auto& index : table.logical_indexes) {
    if (index.ForeignKey() || index.real_index < 0 ||
        static_cast<std::size_t>(index.real_index) >= table.real_indexes.size())
      continue;
    const RealIndex& real = table.real_indexes[static_cast<std::size_t>(index.real_index)];
    if (index.Primary()) primary = &index;
    if (real.flags & kIndexRequired)
      for (const auto& key : real.keys) required_by_index.insert(key.column_number);
  }

  std::string presentation;
  for (std::size_t i = 0; i < table.columns.size(); ++i) {
    const JetColumn& c = table.columns[i];
    FieldPlan f;
    f.column = i;
    f.name = c.name;
    std::string why;
    if (!MapType(c, jet3, f, why)) {
      report.LeaveOut("campo", name + "." + c.name, "el campo " + why);
      continue;
    }
    f.column = i;
    f.name = c.name;
    f.required = flag(c.name, "Required", false) || required_by_index.count(c.number) != 0;
    if (f.storage == Storage::kText || f.storage == Storage::kMemo)
      f.refuse_empty = !flag(c.name, "AllowZeroLength", true);
    if (c.AutoLong() && c.type == kJetLong) {
      f.counter = true;
      // The whole primary key, under the name the engine gives a rowid key:
      // SQLite numbers it itself, and AUTOINCREMENT never gives a number twice, as Jet.
      if (primary && primary->name == "PrimaryKey") {
        const RealIndex& real = table.real_indexes[static_cast<std::size_t>(primary->real_index)];
        f.rowid_key = real.keys.size() == 1 && real.keys[0].column_number == c.number &&
                      real.keys[0].ascending;
      }
    }
    if (c.Hyperlink())
      report.Note("campo", name + "." + c.name,
                  "es un hipervínculo de Access: llega como su texto");
    std::string jet_default = prop(c.name, "DefaultValue");
    if (!jet_default.empty()) {
      ExpressionTranslation t = TranslateDefault(jet_default, KindOf(f.storage));
      if (t.ok())
        f.default_sql = t.sql;
      else
        report.LeaveOut("propiedad", name + "." + c.name,
                        "DefaultValue «" + jet_default + "»: " + t.reason);
    } else if (c.AutoGuid()) {
      f.default_sql = NewGuidSql();
    } else if (f.storage == Storage::kBoolean) {
      f.default_sql = "0";  // a Yes/No Jet is not given is No
    }
    std::string missing;
    for (const char* p : kPresentation)
      if (PresentationSet(properties, c.name, p))
        missing += (missing.empty() ? "" : ", ") + std::string(p);
    if (!missing.empty())
      presentation += (presentation.empty() ? "" : "; ") + c.name + " (" + missing + ")";
    plan.fields.push_back(std::move(f));
  }

  // Rules: over the plan's fields, once all are known.
  ExpressionContext context;
  context.field = [&](const std::string& wanted) -> std::optional<ExpressionContext::Field> {
    const FieldPlan* f = plan.FieldNamed(wanted);
    if (!f) return std::nullopt;
    return ExpressionContext::Field{f->name,
                                    KindOf(f->storage) == "guid" ? "other" : KindOf(f->storage)};
  };
  ExpressionContext evaluating = context;
  evaluating.reference = [&](const std::string& stored) {
    std::string reference = QuoteName(stored);
    for (std::size_t k = 0; k < plan.fields.size(); ++k)
      if (plan.fields[k].name == stored) reference = std::string("?").append(std::to_string(k + 1));
    return reference;
  };
  for (auto& f : plan.fields) {
    std::string rule = prop(f.name, "ValidationRule");
    if (rule.empty()) continue;
    ExpressionTranslation t = TranslateRule(rule, f.name, context);
    if (!t.ok()) {
      report.LeaveOut("propiedad", name + "." + f.name,
                      "ValidationRule «" + rule + "»: " + t.reason);
      continue;
    }
    f.rule_sql = t.sql;
    f.rule_eval_sql = TranslateRule(rule, f.name, evaluating).sql;
    f.rule_name = prop(f.name, "ValidationText");
  }
  std::string table_rule = prop("", "ValidationRule");
  if (!table_rule.empty()) {
    ExpressionTranslation t = TranslateRule(table_rule, "", context);
    if (t.ok()) {
      plan.rule_sql = t.sql;
      plan.rule_eval_sql = TranslateRule(table_rule, "", evaluating).sql;
      plan.rule_name = prop("", "ValidationText");
    } else {
      report.LeaveOut("propiedad", name, "ValidationRule «" + table_rule + "»: " + t.reason);
    }
  }
  if (!presentation.empty())
    report.Note("propiedad", name,
                "propiedades de presentación que Access usa en sus ventanas y SQLite no guarda: " +
                    presentation);
  return plan;
}

}  // namespace brenquil::jet
