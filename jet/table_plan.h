// How one Jet table becomes an engine table: each column's DAO type and size
// (Jet's on-disk type numbers are not DAO's: Decimal is 16 on disk and 20 in
// DAO), Required, AllowZeroLength, DefaultValue and ValidationRule as SQLite
// clauses where SQLite means the same, the AutoNumber as the engine's
// counter (the table's rowid when it is the whole primary key), and the
// CREATE TABLE text that declares it all. The constraints the file's own
// rows break are dropped before the table is made (see row_scan.h).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "jet/import_report.h"
#include "jet/properties.h"
#include "jet/table_definition.h"

namespace brenquil::jet {

// How a column's values are stored.
enum class Storage {
  kBoolean,
  kInteger,
  kSingle,
  kDouble,
  kMoney,
  kDecimal,
  kDate,
  kGuid,
  kText,
  kMemo,
  kBinary,
  kOle
};

struct FieldPlan {
  std::size_t column = 0;  // into TableDefinition::columns
  std::string name;
  Storage storage = Storage::kText;
  int dao_type = 0;
  long size = 0;
  std::string sql_type;       // the declared type: "VARCHAR(50)", "DECIMAL(18,4)"
  bool counter = false;       // AutoNumber: the engine's counter attribute
  bool rowid_key = false;     // INTEGER PRIMARY KEY AUTOINCREMENT: the table's primary key
  bool required = false;      // NOT NULL
  bool refuse_empty = false;  // text that may not be '' (AllowZeroLength off)
  std::string default_sql;    // the DEFAULT value, or empty
  std::string rule_sql;       // the CHECK expression of its ValidationRule, or empty
  std::string rule_eval_sql;  // the same over parameters (?N: the Nth column), to test rows
  std::string rule_name;      // its ValidationText, the constraint's name
};

struct TablePlan {
  std::string name;
  std::uint32_t last_autonumber = 0;
  std::vector<FieldPlan> fields;  // the columns that arrive, in order
  std::string rule_sql;           // the table's ValidationRule, or empty
  std::string rule_eval_sql;
  std::string rule_name;

  // The CREATE TABLE statement of the plan as it stands.
  std::string Declaration() const;
  const FieldPlan* FieldFor(std::size_t column) const;
  const FieldPlan* FieldNamed(const std::string& name) const;
};

// The plan for table `name`. What cannot arrive (a column of a type SQLite
// cannot hold, a default or rule with no exact equivalent) goes to the
// report's left_out; what Jet keeps for its windows only, to its notes.
TablePlan PlanTable(const std::string& name, const TableDefinition& table,
                    const PropertyMaps& properties, bool jet3, ImportReport& report);

}  // namespace brenquil::jet
