// Internal to the engine. What a Connection reads of a file's schema: tables
// with their fields and indexes, relations and queries, as plain values. Names
// are found without regard to letter case, as SQLite finds them.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace brenquil::detail {

struct FieldInfo {
  std::string name;
  int type = 0;
  long size = 0;
  long attributes = 0;
  bool allow_zero_length = false;
  bool required = false;
  std::string declared;  // SQLite's declared type
  int pk = 0;            // position in the table's PRIMARY KEY, 0 if none
  std::string definition;  // the column's definition as its table declares it
  std::string default_text;  // the DEFAULT clause's value as written, if any
  std::string check_text;    // the CHECK clauses of the column as written, if any
};

struct IndexInfo {
  std::string name;      // the index's name in its table
  std::string sql_name;  // SQLite's name; empty for a rowid primary key
  bool primary = false;
  bool unique = false;
  char origin = 'c';     // 'c' CREATE INDEX, 'u' UNIQUE clause, 'p' PRIMARY KEY
  bool partial = false;  // has a WHERE clause
  std::string declaration;  // the CREATE INDEX statement, for an index of its own
  std::vector<std::pair<std::string, bool>> fields;  // name, descending
};

struct TableInfo {
  std::string name;
  std::vector<FieldInfo> fields;
  std::vector<IndexInfo> indexes;
  bool without_rowid = false;
  std::string declaration;  // the CREATE TABLE statement as stored
  const FieldInfo* FindField(std::string_view name) const;
  const IndexInfo* FindIndex(std::string_view name) const;
};

struct RelationInfo {
  std::string name;
  std::string table;          // primary
  std::string foreign_table;  // holds the foreign key
  long attributes = 0;
  std::vector<std::pair<std::string, std::string>> fields;  // name, foreign name
  int foreign_key_id = -1;    // >= 0: a FOREIGN KEY clause of foreign_table
  std::string declaration;    // that clause as written
  bool recorded = false;      // the engine's MSysRelations holds it
  bool legacy_triggers = false;  // an earlier version's row triggers are still there
};

struct QueryInfo {
  std::string name;
  std::string sql;
  bool stored = true;  // false: a view the engine did not make
  std::string declaration;  // the CREATE VIEW statement, for a view
};

}  // namespace brenquil::detail
