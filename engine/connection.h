// Internal to the engine. A Connection is the one SQLite handle that every
// Database, collection and record set open on a file shares. It reads the
// stored object model (cached until something changes) and makes every stored
// change, each in one transaction. SQLite failures become Errors here only.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/error.h"

namespace brenquil {
class Field;
class Index;
class Relation;
class QueryDef;
class TableDef;
}  // namespace brenquil

namespace brenquil::detail {

// "name" with inner quotes doubled: an identifier no text can break out of.
std::string QuoteId(std::string_view name);
// 'text' with inner apostrophes doubled.
std::string QuoteLiteral(std::string_view text);

class Connection;

// A prepared statement, finalised when it goes.
class Statement {
 public:
  Statement(Connection& connection, const std::string& sql);
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& Bind(int index, std::string_view text);
  Statement& Bind(int index, long long value);
  Statement& BindNull(int index);
  // True while there is a row; throws on failure.
  bool Step();
  void Reset();
  int ColumnCount() const;
  std::optional<std::string> Text(int column) const;
  long long Int(int column) const;
  bool IsNull(int column) const;
  sqlite3_stmt* Handle() const { return stmt_; }

 private:
  Connection& connection_;
  sqlite3_stmt* stmt_ = nullptr;
  std::string sql_;
};

struct FieldInfo {
  std::string name;
  int type = 0;
  long size = 0;
  long attributes = 0;
  bool allow_zero_length = false;
  bool required = false;
  std::string declared;  // SQLite's declared type
  int pk = 0;            // position in the table's PRIMARY KEY, 0 if none
  std::string default_value;
  bool has_default = false;
};

struct IndexInfo {
  std::string name;      // the index's name in its table
  std::string sql_name;  // SQLite's name; empty for a rowid primary key
  bool primary = false;
  bool unique = false;
  char origin = 'c';     // 'c' CREATE INDEX, 'u' UNIQUE clause, 'p' PRIMARY KEY
  std::vector<std::pair<std::string, bool>> fields;  // name, descending
};

struct TableInfo {
  std::string name;
  std::vector<FieldInfo> fields;
  std::vector<IndexInfo> indexes;
  bool without_rowid = false;
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
};

struct QueryInfo {
  std::string name;
  std::string sql;
  bool stored = true;  // false: a view the engine did not make
};

class Connection {
 public:
  Connection(sqlite3* db, std::string path, bool read_only);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  sqlite3* Handle() const { return db_; }
  const std::string& Path() const { return path_; }
  bool ReadOnly() const { return read_only_; }

  // An Error for SQLite result `rc`, with SQLite's message and the file.
  Error Fail(int rc, const std::string& context) const;
  void Exec(const std::string& sql);

  // Changes whenever the stored object model may have changed, through this
  // connection or another process.
  std::uint64_t Stamp();

  // ---- Reading (cached until the stamp changes)
  const std::vector<std::string>& TableNames();
  bool IsTable(std::string_view name);
  bool IsView(std::string_view name);
  // Error 3011 when there is no such table.
  const TableInfo& Table(std::string_view name);
  const std::vector<RelationInfo>& Relations();
  const std::vector<QueryInfo>& Queries();

  // ---- Changing: each call is one transaction; on failure nothing is stored.
  void CreateTable(TableDef& table);
  void DeleteTable(const std::string& name);
  void AddField(const std::string& table, const Field& field);
  void DeleteField(const std::string& table, const std::string& name);
  void CreateIndex(const std::string& table, Index& index);
  void DeleteIndex(const std::string& table, const std::string& name);
  void CreateRelation(Relation& relation);
  void DeleteRelation(const std::string& name);
  void CreateQuery(QueryDef& query);
  void DeleteQuery(const std::string& name);

  // Runs `change` in one transaction (nested calls join the outer one).
  // `only_table` names the one table a change touches, when it is so.
  void Atomically(const std::function<void()>& change, const std::string& only_table = {});
  // Error 3027 when the file is read-only.
  void CheckWritable() const;
  // Before each change: CheckWritable; the file goes to WAL mode at the
  // first one; during a batch (DBEngine::BeginBatch) the first change opens
  // the transaction that holds the batch's changes to this file.
  void PrepareWrite();
  // Commits the batch's transaction, if one is open. On failure everything
  // of the batch on this file is rolled back and an Error is thrown.
  void CommitBatch();
  void Touched() { ++local_changes_; Invalidate(); }
  // Users holding the connection (Database objects, record sets, objects
  // taken from them). When the last one goes, what the log holds is written
  // into the database file, so a file nobody holds is whole by itself.
  void Lease() { ++leases_; }
  void Unlease();
  int Leases() const { return leases_; }
  // Closing will not write into the file (it may no longer be ours).
  void Abandon();

  // Creates the engine's MSys tables that are missing.
  void EnsureSystemTables();

 private:
  void Invalidate();
  void LoadTableNames();
  TableInfo LoadTable(const std::string& name);
  void LoadRelations();
  void LoadQueries();
  std::string ColumnDefinition(const Field& field, bool in_create) const;
  void CreateRelationTriggers(const RelationInfo& relation);
  void DropRelationTriggers(const std::string& name);
  void CreateAutoIncrement(const std::string& table, const std::string& field);
  // Builds `table` again without the primary key (drop_primary), without the
  // UNIQUE clause behind autoindex `drop_unique`, or without FOREIGN KEY
  // clause `drop_foreign_key`; rows, indexes and triggers are kept.
  void RebuildTable(const std::string& table, bool drop_primary,
                    const std::string& drop_unique, int drop_foreign_key);
  std::string UniqueSqlName(const std::string& base);

  sqlite3* db_;
  std::string path_;
  bool read_only_;
  std::uint64_t local_changes_ = 0;
  std::int64_t data_version_ = -1;
  bool names_loaded_ = false;
  std::vector<std::string> table_names_;
  std::vector<std::string> view_names_;
  std::map<std::string, TableInfo, std::less<>> tables_;
  bool relations_loaded_ = false;
  std::vector<RelationInfo> relations_;
  bool queries_loaded_ = false;
  std::vector<QueryInfo> queries_;
  bool system_tables_ = false;
  int leases_ = 0;
  bool write_ready_ = false;
  bool batch_open_ = false;
  sqlite3_stmt* version_stmt_ = nullptr;
};

// Type code and size DAO would give a column declared as `declared`.
std::pair<int, long> InferType(std::string_view declared);
// The declared SQLite type for a DAO type code and size.
std::string DeclaredType(int type, long size);
// True when `name` starts with "MSys" (the engine's own objects).
bool IsSystemName(std::string_view name);

}  // namespace brenquil::detail
