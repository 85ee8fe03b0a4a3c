// A Recordset is the rows of one record source: a table name, "Select * from"
// a table (optionally with a where clause), or any SELECT the engine can run.
// The record set of a table or of "Select * from" one table is updatable.
// Rows are read when first asked for; Delete and AddNew/Update change the
// table at once. Owned by whoever opened it; it keeps its database open.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/collection.h"
#include "engine/field.h"

namespace brenquil {

namespace detail {
class Connection;
class Statement;
struct TableInfo;
}

class Recordset {
 public:
  // Runs `source` on `connection`; throws when the source cannot be run.
  Recordset(std::shared_ptr<detail::Connection> connection, const std::string& source);
  ~Recordset();
  Recordset(const Recordset&) = delete;
  Recordset& operator=(const Recordset&) = delete;

  // At end, at beginning (both true: no rows).
  bool Eof() const;
  bool Bof() const;
  void MoveFirst();
  void MoveLast();
  void MoveNext();
  void MovePrevious();
  // Rows reached so far; complete after MoveLast.
  long RecordCount() const;

  // Deletes the current row from its table (Error 3021 without one).
  void Delete();
  // Begins a new row; SetValue fills it and Update stores it. The current row
  // stays where it was.
  void AddNew();
  void SetValue(const std::string& column, std::optional<std::string> value);
  void SetValue(int column, std::optional<std::string> value);
  void Update();
  void CancelUpdate();
  bool EditingNew() const { return adding_; }
  bool Updatable() const { return !table_.empty(); }

  // The columns: Name, and Type and Size of the table's field.
  Collection<Field>& Fields() { return fields_; }
  // Value of column `i` of the current row; nullopt for Null. Error 3021
  // without a current row.
  std::optional<std::string> Value(int column) const;
  std::optional<std::string> Value(const std::string& column) const;
  // The position of the column named exactly `column`, or -1.
  int ColumnIndex(const std::string& column) const;

 private:
  struct Row {
    long long rowid = 0;
    std::vector<std::optional<std::string>> values;
    bool deleted = false;
    bool read = true;  // false: a row added here, its values read when first shown
  };
  void FetchAll();
  // Reads the first row, once.
  void Start() const;
  const Row& Current() const;
  // The fields of a table as the engine knows them, without asking SQLite
  // what "SELECT *" gives.
  void FieldsOf(const detail::TableInfo& table);
  // Runs the source, or reads the rows the lookup found; up to `limit` rows
  // (all when negative).
  std::vector<Row> Read(long limit) const;
  // The values of row `rowid` as the table holds them; false when it has none.
  bool ReadRow(long long rowid, std::vector<std::optional<std::string>>& values) const;

  std::shared_ptr<detail::Connection> connection_;
  std::string sql_;        // what is run
  std::string table_;      // the table behind an updatable source, else empty
  bool has_rowid_ = false;
  // "Select * from T where F = 'text'": the rows are found by the engine's
  // lookup of F when it can answer (see Connection::RowidsWhere).
  std::string lookup_field_;
  std::string lookup_value_;
  // The source, prepared once for the record set's reads.
  mutable std::unique_ptr<detail::Statement> statement_;
  // The statements of one row, made at their first use and kept, reset, for
  // the next: "SELECT rowid, * … WHERE rowid = ?", the DELETE of a row, and
  // the INSERT of the last set of columns given values.
  detail::Statement& RowStatement() const;
  mutable std::unique_ptr<detail::Statement> row_statement_;
  std::unique_ptr<detail::Statement> delete_statement_;
  std::unique_ptr<detail::Statement> insert_statement_;
  std::vector<bool> insert_columns_;
  Collection<Field> fields_;
  // What has been read; reading is not a change, so const readers may read.
  mutable std::vector<Row> rows_;
  mutable long live_ = 0;          // rows_ not deleted
  mutable bool complete_ = false;  // every row has been read
  mutable bool started_ = false;   // the first row has been looked for
  long position_ = 0;      // -1: before first; rows_.size(): after last
  bool adding_ = false;
  std::vector<std::optional<std::string>> new_values_;
  std::vector<bool> set_;
};

}  // namespace brenquil
