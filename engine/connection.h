// Internal to the engine. A Connection is the one SQLite handle that every
// Database, collection and record set open on a file shares. It reads the
// stored object model (cached until something changes; what it hands out are
// snapshots that stay valid while held, whatever another process commits) and
// makes every stored change, each in one transaction. SQLite failures become
// Errors here only.
//
// Where its members live:
//   connection.cpp      the handle, transactions, batches, staleness, the
//                       integrity check, the journal mode the file had
//   schema_reader.cpp   reading tables, fields, indexes, relations, queries
//   schema_changes.cpp  creating and deleting tables, fields, indexes,
//                       relations and queries
//   table_rebuild.cpp   changing a table's declaration: the in-place edit and
//                       the rebuild that keeps rows, rowids, sequence,
//                       triggers, indexes and the table's place
//   relation_sql.cpp    the conditions joining a relation's rows; the row
//                       triggers earlier versions enforced relations with
//   declared_changes.cpp   creating tables, fields, indexes and views as a
//                       model declares them
//   fields_together.cpp    several new fields of a table added in one edit of
//                       its declaration
//   declarations_read_back.cpp   declarations edited inside a batch that
//                       SQLite reads back once, when something needs them
//   row_lookup.cpp      the rows of a table holding one text in a field,
//                       from one pass over the table
//   same_content.cpp    whether a batch left its file as it found it, so
//                       that it is rolled back rather than committed
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "engine/error.h"
#include "engine/schema_info.h"
#include "engine/sql_text.h"
#include "engine/statement.h"
#include "engine/type_inference.h"

namespace brenquil {
class Field;
class Index;
class Relation;
class QueryDef;
class TableDef;
}  // namespace brenquil

namespace brenquil::detail {

struct TableDeclaration;

class Connection {
 public:
  Connection(sqlite3* db, std::string path, bool read_only);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  sqlite3* Handle() const { return db_; }
  const std::string& Path() const { return path_; }
  bool ReadOnly() const { return read_only_; }
  // Makes a file that could be written read-only for the engine, saying why
  // (its folder takes no journal): every change is refused with Error 3027.
  void RefuseChanges(std::string why) {
    read_only_ = true;
    read_only_why_ = std::move(why);
  }

  // An Error for SQLite result `rc`, with SQLite's message and the file; a
  // busy answer, inside a batch, also marks the file held (see
  // HeldByAnotherProcess).
  Error Fail(int rc, const std::string& context) const;
  void Exec(const std::string& sql);
  // sqlite3_prepare_v2 on the handle, after SQLite has read back every
  // declaration the statement needs (see ReadBackDeclarations): every
  // statement of the connection is prepared here. Returns SQLite's code.
  int Prepare(const char* sql, int bytes, sqlite3_stmt** statement, const char** tail);

  // Changes whenever the stored object model may have changed, through this
  // connection or another process. Inside a batch, while the file is held,
  // the first call also opens a read transaction that lasts until the next
  // step (EndRead), the first change or the last holder's release: every
  // read of the step then sees one state of the file and takes no lock of
  // its own.
  std::uint64_t Stamp();
  // Ends the read transaction Stamp opened, if one is open.
  void EndRead();
  // DBEngine::NextStep: EndRead, unless the connection is read-only and
  // keeps its read across steps (see Database::KeepReadAcrossSteps).
  void EndStepRead() {
    if (!keep_read_across_steps_) EndRead();
  }
  void KeepReadAcrossSteps(bool keep) {
    keep_read_across_steps_ = keep && read_only_;
    if (!keep_read_across_steps_) EndRead();
  }

  // ---- Reading (cached until the stamp changes). Names are found without
  // regard to letter case; what is returned stays valid while it is held.
  using Names = std::shared_ptr<const std::vector<std::string>>;
  Names TableNames();
  // The stored name of the table called `name` in any letter case, or
  // nothing when there is none (the empty name is a name like any other).
  std::optional<std::string> StoredTableName(std::string_view name);
  bool IsTable(std::string_view name) { return StoredTableName(name).has_value(); }
  bool IsView(std::string_view name);
  // Error 3011 when there is no such table.
  std::shared_ptr<const TableInfo> Table(std::string_view name);
  std::shared_ptr<const std::vector<RelationInfo>> Relations();
  std::shared_ptr<const std::vector<QueryInfo>> Queries();
  // The CREATE statement of table or view `name` as stored, or empty.
  std::string Declaration(std::string_view name);
  // The stored CREATE statements of the triggers on `table` (or view).
  std::vector<std::pair<std::string, std::string>> TriggersOn(std::string_view table);
  // The views and triggers whose statements name the table or view `name`
  // ("la consulta 'v'", "el desencadenador 't'"): without it they would fail.
  // A trigger on `name` itself goes with it and is not one of them.
  std::vector<std::string> UsersOf(std::string_view name);

  // ---- Changing: each call is one transaction (a savepoint inside a batch);
  // on failure nothing is stored.
  void CreateTable(TableDef& table);
  void DeleteTable(const std::string& name);
  void AddField(const std::string& table, const Field& field);
  // Adds the leading `fields` that can go into `table` together in one edit
  // of its declaration, with what adding them one by one would leave;
  // returns how many (0: none, the caller adds them one by one).
  size_t AddFieldsTogether(const std::string& table, const std::vector<const Field*>& fields);
  void DeleteField(const std::string& table, const std::string& name);
  void CreateIndex(const std::string& table, Index& index);
  void DeleteIndex(const std::string& table, const std::string& name);
  void CreateRelation(Relation& relation);
  void DeleteRelation(const std::string& name);
  // Brings relation `name` to the engine's form: its record, and unless it
  // is not enforced its FOREIGN KEY clause (`declaration` when given, else
  // one the engine writes) and none of the row triggers earlier versions
  // made; false when it is in that form already. Error 3201 when rows break
  // it, 3219 when the parent's fields are not its key or a unique index.
  bool CompleteRelation(const std::string& name, const std::string& declaration = {});
  void CreateQuery(QueryDef& query);
  void DeleteQuery(const std::string& name);

  // Runs `change` in one transaction (nested calls join the outer one in a
  // savepoint). `only_table` names the one table a change touches, when it is so.
  // Declarations still to be read back are read back first, unless
  // `keep_pending` (the change that edits one more of them).
  void Atomically(const std::function<void()>& change, const std::string& only_table = {},
                  bool keep_pending = false);
  // Error 3027 when the file is read-only.
  void CheckWritable() const;
  // Error 3049 when SQLite's integrity check finds the file damaged. Checked once
  // per open, before the first change at the latest; a damaged file is never
  // written to. Damage is only ever reported from a check of what this
  // connection reads: a check run ahead that found any is run again here.
  void CheckIntact();
  // The check has run and found the file damaged.
  bool FoundDamaged() const { return intact_ && !*intact_; }
  // Error 3219 when a table or view of the user holds the name of one of the
  // engine's own tables in other letters (or is a view of that name): SQLite
  // would take it for the engine's table, so the engine never writes to the
  // file and reads none of its own records from it. Checked before each change.
  void CheckEngineTables();
  // During a batch, another process held the file longer than the busy
  // timeout when this connection needed it (SQLite answered busy): from then
  // on every change of the batch to it is refused at once (Error 3218).
  // Within the batch's transaction the file is this connection's to write:
  // a busy answer comes before that transaction begins, or at its commit,
  // which then keeps nothing, so the file is left as the other process has
  // it. Forgotten when the batch ends.
  bool HeldByAnotherProcess() const { return held_; }
  // Before each change: CheckWritable, the refusal of a file held during the
  // batch (see HeldByAnotherProcess) and CheckIntact; the file goes to WAL
  // mode at the first one (and back to the mode it had when it is closed);
  // during a batch (DBEngine::BeginBatch) the first change opens the
  // transaction that holds the batch's changes to this file, with foreign keys
  // off so that a table rebuild needs no commit of its own. In a plan the file
  // keeps its journal mode and its changes are held in memory (see BeginPlan).
  void PrepareWrite();
  // Ends the batch's transaction, if one is open: commits it, or rolls it back
  // when it belongs to a plan. When a commit fails everything of the batch on
  // this file is rolled back and an Error is thrown.
  void FinishBatch();
  // Users holding the connection (Database objects, record sets, objects
  // taken from them). When the last one goes, the batch's changes are
  // committed, or a plan's rolled back (a failed commit is handed to
  // DBEngine::TakeCommitFailures), and outside a plan what the log holds is
  // written into the database file.
  void Lease() { ++leases_; }
  void Unlease();
  int Leases() const { return leases_; }
  // Closing will not write into the file (it may no longer be ours).
  void Abandon();

  // declarations_read_back.cpp. Inside a batch's transaction a table's
  // declaration edited in place (its new fields, see AddFieldsTogether) is
  // only stored: SQLite reads the whole schema again when the schema version
  // moves, and doing that once for all the tables a step edits instead of
  // once per table is most of what such a step costs. Until then SQLite
  // still knows the table by its old declaration, so a statement that would
  // read or change a pending table, or the schema, or ask a pragma about a
  // table other than the one LoadTable reads, reads the declarations back
  // first (an authorizer sees what each statement names; see Prepare), as do
  // every other change, Table() of a pending table and the batch's end.
  // Reading back moves the schema version on once, makes SQLite read the
  // schema and checks that each table reads as its old columns followed by
  // the new ones. If one does not, every change of the batch to the file is
  // rolled back, the failure is handed to DBEngine::TakeCommitFailures like
  // a failed commit, the rest of the batch's changes to the file are refused,
  // and the Error is thrown.
  void ReadBackDeclarations();
  bool PendingDeclaration(std::string_view table) const;

  // Creates the engine's MSys tables that are missing.
  void EnsureSystemTables();

  // Statements prepared once and run again (see Statement): a statement
  // given back is kept, reset, while nothing changes the schema; taking one
  // prepared before a change finalises it instead, since its columns are
  // those of the old schema until it is run.
  sqlite3_stmt* TakeStatement(const std::string& sql);
  void GiveBackStatement(const std::string& sql, sqlite3_stmt* statement);

  // row_lookup.cpp: the rowids, in rowid order, of the rows of `table` whose
  // field `column` holds exactly the text `value`, as "column = 'value'"
  // would find them. One pass over the table answers every value until its
  // rows change; nullopt when that cannot answer exactly or the table is too
  // big to keep, and SQLite must be asked instead.
  std::optional<std::vector<long long>> RowidsWhere(const std::string& table, const std::string& column,
                                                    const std::string& value);

 private:
  friend class Rebuild;
  void Touched() { ++local_changes_; Invalidate(); }
  // A change inside table `table` only (a column or an index added or
  // removed): what was read of the other tables still holds.
  void TouchedTable(const std::string& table);
  // Reads again what rows_ holds of `table`, when a change made it stale.
  void RefreshRows(const std::string& table);
  void Invalidate();
  void AfterRollback();
  // Rolls the open transaction back, resetting any statement that keeps it open.
  void RollBackAll();
  // PRAGMA data_version and schema_version; -1 when they cannot be read.
  std::int64_t DataVersion();
  std::int64_t SchemaVersion();
  // same_content.cpp: true when the batch's open transaction reads exactly
  // what the file held when it began (same schema, header values, rows and
  // rowids), so that rolling it back loses nothing. Only for files of a few
  // MiB; false whenever it cannot tell.
  bool BatchLeftFileAsItWas();
  void LoadTableNames();
  TableInfo LoadTable(const std::string& name);
  // What LoadTable needs of sqlite_master and the engine's MSysFields and
  // MSysIndexes, read in one pass each for every table at once: found by
  // name, these tables have no index that serves the lookup, so reading them
  // table by table would scan them once per table.
  struct SchemaRows {
    struct FieldMeta { std::string name; int type; long size; long attributes; bool azl; bool required; };
    struct IndexName { std::string name; bool primary; };
    std::map<std::string, std::string, std::less<>> table_sql;  // by stored name
    std::map<std::string, std::vector<std::pair<std::string, std::string>>, std::less<>> indexes;  // upper table -> name, sql
    std::map<std::string, std::vector<FieldMeta>, std::less<>> fields;  // upper table
    std::map<std::string, std::map<std::string, IndexName>, std::less<>> index_names;  // upper table -> sql name
    // Upper table -> how its name is spelt in the rows of MSysFields and
    // MSysIndexes: a table's rows are then read again through their keys,
    // where a search in any letter case would read every row.
    std::map<std::string, std::set<std::string>, std::less<>> spellings;
    bool system_tables = false;  // the engine's tables were there to read
  };
  const SchemaRows& Rows();
  std::vector<RelationInfo> LoadRelations();
  // A copy of relation `name` as stored; Error 3265 when there is none.
  RelationInfo RelationNamed(const std::string& name);
  std::vector<QueryInfo> LoadQueries();
  std::string ColumnDefinition(const Field& field, bool in_create) const;
  // schema_changes.cpp: the parts of a stored relation. The clause the engine
  // writes when the relation brings none; error 3219 when the parent's
  // columns are not its key or a unique index (SQLite would then refuse the
  // writers that turn foreign keys on); `clause` added to the foreign table's
  // declaration, refused unless SQLite reads it as exactly this relation; the
  // relation's rows in MSysRelations and MSysRelationFields.
  std::string GeneratedClause(const RelationInfo& relation);
  void CheckParentKey(const RelationInfo& relation, const TableInfo& parent);
  void DeclareForeignKey(const RelationInfo& relation, const std::string& clause);
  void RecordRelation(const RelationInfo& relation);
  // Error 3201 when rows of the foreign table have no parent.
  void CheckRows(const RelationInfo& relation, const std::string& refused);
  // relation_sql.cpp: drops the row triggers an earlier version made for `name`.
  void DropRelationTriggers(const std::string& name);
  // The engine's counter on a column that is not the rowid; `number_rows`
  // numbers the rows already there first.
  void CreateAutoIncrement(const std::string& table, const std::string& field, bool number_rows);
  // table_rebuild.cpp: stores `edited` as the declaration of `table`. When
  // `same_format` the stored text is edited in place (nothing else of the
  // file changes); otherwise the table is built again from it, rows, rowids,
  // AUTOINCREMENT sequence, indexes, triggers and its place kept.
  void ChangeDeclaration(const std::string& table, const std::string& edited, bool same_format);
  // The in-place edit itself, inside the caller's transaction: `edited`
  // stored as the table's text by SQLite's writable_schema procedure, the
  // schema version moved on and the schema read again at once.
  void StoreDeclarationInPlace(const std::string& table, const std::string& edited);
  // The rows of `table` whose FOREIGN KEY clauses find no parent.
  long long OrphanRows(const std::string& table);
  // Removes the PRIMARY KEY clause, the UNIQUE clause behind autoindex
  // `unique_index`, or FOREIGN KEY clause `foreign_key_id` of `table`.
  void RemovePrimaryKey(const std::string& table);
  void RemoveUnique(const std::string& table, const std::string& unique_index);
  void RemoveForeignKey(const std::string& table, int foreign_key_id);
  TableDeclaration ParsedDeclaration(const std::string& table);
  // `base`, or "base_N" with the first N from 2 that no object of the file
  // holds in any letter case.
  std::string UniqueSqlName(const std::string& base);
  // `name`, just created by the engine, is taken (see sql_names_).
  void NoteSqlName(const std::string& name);
  // declared_changes.cpp: creating as a declaration says; false (nothing
  // done) when the object carries no declaration the engine can use.
  bool CreateDeclaredTable(TableDef& table);
  void AddDeclaredField(const std::string& table, const Field& field);
  bool CreateDeclaredIndex(const std::string& table, Index& index);
  std::string DeclaredView(QueryDef& query);
  // The model's column definition of `field`, without a zero-length check
  // the field does not want.
  static std::string DeclaredColumn(const Field& field);
  // An Error for a field no table can take: no name, an unknown type, a
  // size out of range.
  static void CheckField(const Field& field, const std::string& table);
  // The field's DAO properties in MSysFields.
  void RecordField(const std::string& table, const Field& field);
  void RecordDeclaredField(const std::string& table, const Field& field, bool number_rows, bool refuses_empty);
  // The same, with the column's declared type and whether it is the rowid
  // (`declared`, `rowid_alias`) given rather than read from SQLite.
  void RecordDeclaredFieldAs(const std::string& table, const Field& field, const std::string& declared,
                             bool rowid_alias, bool number_rows, bool refuses_empty);
  // table_rebuild.cpp: `edited` stored as the text of `table` in
  // sqlite_master, with nothing else done; Error when there is no such table.
  void StoreDeclarationText(const std::string& table, const std::string& edited);
  // declarations_read_back.cpp: `edited`, made by SQLite from the text of
  // `table` whose columns were `old_columns`, stored as its declaration, to
  // be read back later with `added` (the new columns' names) after them.
  void StageDeclaration(const std::string& table, const std::string& edited, std::vector<std::string> old_columns,
                        std::vector<std::string> added);
  // Error when `table` does not read as `old_columns` followed by `added`.
  void CheckReadAsMeant(const std::string& table, const std::vector<std::string>& old_columns,
                        const std::vector<std::string>& added);
  // After a rollback: forgets the staged declarations it took back.
  void ForgetRolledBackDeclarations();
  static int Authorize(void* self, int action, const char* first, const char* second, const char* database,
                       const char* inner);
  void RestoreJournalMode();
  // A plan's transaction: the pager keeps every changed page in memory (no
  // spill into the file) and a file in rollback-journal mode keeps its journal
  // in memory too, so the file and its folder are never written; EndPlan
  // rolls it back and puts both settings back.
  void BeginPlan();
  void EndPlan();

  sqlite3* db_;
  std::string path_;
  bool read_only_;
  std::string read_only_why_;
  std::uint64_t local_changes_ = 0;
  std::int64_t data_version_ = -1;
  std::uint64_t checked_step_ = 0;  // DBEngine's step in which data_version_ was read
  bool read_open_ = false;          // Stamp's read transaction
  bool keep_read_across_steps_ = false;
  bool names_loaded_ = false;
  std::shared_ptr<std::vector<std::string>> table_names_;
  std::map<std::string, std::string, std::less<>> stored_names_;  // upper-case name -> stored name
  std::vector<std::string> view_names_;
  std::map<std::string, std::shared_ptr<const TableInfo>, std::less<>> tables_;  // by upper-case name
  std::shared_ptr<const std::vector<RelationInfo>> relations_;
  std::unique_ptr<SchemaRows> rows_;
  std::set<std::string> stale_rows_;  // upper-case tables whose rows_ a change made stale
  std::shared_ptr<const std::vector<QueryInfo>> queries_;
  // Triggers of a view deleted in this connection, created again when a view
  // of that name comes back (a replaced view keeps its INSTEAD OF triggers).
  std::map<std::string, std::vector<std::string>> view_triggers_;
  bool system_tables_ = false;
  std::string engine_name_taken_;  // the user's table or view holding an engine table's name; empty: none
  int leases_ = 0;
  bool write_ready_ = false;
  bool batch_open_ = false;
  bool batch_is_plan_ = false;
  std::int64_t batch_schema_version_ = -1;  // the file's at the batch's BEGIN; -1 when not read
  std::string plan_journal_mode_;  // the mode a plan moved to MEMORY, to give back
  std::optional<bool> intact_;
  std::string damage_;
  // Set by Fail, the one place SQLite's answers become Errors (see
  // HeldByAnotherProcess).
  mutable bool held_ = false;
  std::string original_journal_mode_;  // set when the engine switched the file to WAL
  bool abandoned_ = false;
  sqlite3_stmt* version_stmt_ = nullptr;
  sqlite3_stmt* begin_read_stmt_ = nullptr;  // Stamp's BEGIN and EndRead's COMMIT, prepared once
  sqlite3_stmt* end_read_stmt_ = nullptr;
  void ForgetStatements();
  std::unordered_map<std::string, std::vector<sqlite3_stmt*>> statements_;
  std::size_t pooled_ = 0;
  std::uint64_t statements_stamp_ = 0;  // the local_changes_ they were prepared under
  struct RowLookup;
  std::shared_ptr<RowLookup> row_lookup_;
  // UniqueSqlName: the upper-case names of sqlite_master as they stood at
  // schema version sql_names_version_ (-1: not read, or a rollback may have
  // taken names back).
  std::set<std::string> sql_names_;
  std::int64_t sql_names_version_ = -1;
  // declarations_read_back.cpp
  struct StagedDeclaration {
    std::string table;
    std::string text;
    std::vector<std::string> old_columns;
    std::vector<std::string> added;
  };
  std::vector<StagedDeclaration> staged_;
  bool reading_back_ = false;
  bool needs_read_back_ = false;  // set by Authorize while a statement is prepared
  bool undone_ = false;           // a read-back failed: the batch's changes to the file were rolled back
  // The table whose pragma functions (pragma_table_xinfo(?), ...) the
  // statements prepared now ask about; empty: any table.
  std::string pragma_subject_;
  long schema_format_ = 0;  // the file header's schema format, once known to be 3 or more

 public:
  // While it lives, pragma functions of the statements prepared on
  // `connection` ask about `table` only.
  class PragmaSubject {
   public:
    PragmaSubject(Connection& connection, std::string table)
        : connection_(connection), before_(std::move(connection.pragma_subject_)) {
      connection_.pragma_subject_ = std::move(table);
    }
    ~PragmaSubject() { connection_.pragma_subject_ = std::move(before_); }
    PragmaSubject(const PragmaSubject&) = delete;
    PragmaSubject& operator=(const PragmaSubject&) = delete;

   private:
    Connection& connection_;
    std::string before_;
  };
};

}  // namespace brenquil::detail
