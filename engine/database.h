// Start here. A Database is one open database file of the engine: an SQLite
// file whose user tables are plain SQLite tables, with the rest of the object
// model (DAO types and sizes, index names, relations, stored queries) kept in
// the engine's own "MSys" tables. Every Append and Delete is stored at once,
// atomically. Several Database objects may be open on one file; they share one
// connection, so a change made through one is seen by the others.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/collection.h"
#include "engine/number.h"
#include "engine/querydef.h"
#include "engine/recordset.h"
#include "engine/relation.h"
#include "engine/tabledef.h"
#include "engine/trigger.h"
#include "engine/virtual_table.h"

namespace brenquil {

namespace detail {
class Connection;
}

class Database {
 public:
  // Use DBEngine::OpenDatabase.
  Database(std::string name, std::shared_ptr<detail::Connection> connection);
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  // The path the database was opened with.
  const std::string& Name() const { return name_; }
  // False when the file could only be opened for reading.
  bool Updatable() const;
  // Error 3049 when SQLite's integrity check finds the file damaged; a damaged
  // file is never changed. Checked once while the file stays open.
  void CheckIntact();
  // The check has run, at the first change at the latest, and found the file
  // damaged: every change since has been refused.
  bool FoundDamaged();
  // During a batch every read of a step sees one state of the file, and the
  // next step sees what other processes committed meanwhile. With `keep`,
  // the reads of a file opened read-only see one state until `keep` is
  // taken back or the file is released: a model read throughout one pair
  // takes one shared lock instead of one per step.
  void KeepReadAcrossSteps(bool keep);
  // Error 3219 when a table or view of the user holds the name of one of the
  // engine's own tables in other letters ("msysfields"): SQLite would take
  // it for the engine's, so every change to the file is refused and the
  // engine reads none of its own records from it.
  void CheckEngineTables();
  // During the operation (a batch, see DBEngine::BeginBatch) another process
  // held the file longer than the busy timeout when it was needed: every
  // change since has been refused (Error 3218), and none was made before.
  bool HeldByAnotherProcess();

  Collection<TableDef>& TableDefs();
  Collection<Relation>& Relations();
  Collection<QueryDef>& QueryDefs();

  // Factories: objects not yet stored.
  std::shared_ptr<TableDef> CreateTableDef(const std::string& name);
  std::shared_ptr<Relation> CreateRelation(const std::string& name,
                                           const std::string& table,
                                           const std::string& foreign_table,
                                           Number attributes = 0);
  std::shared_ptr<QueryDef> CreateQueryDef(const std::string& name,
                                           const std::string& sql);

  // Relation `name` is brought to the engine's full form in one transaction,
  // its rows untouched: a relation an earlier version kept as its record and
  // row triggers (Relation::NeedsCompleting) gains its clause (`declaration`
  // when given, else one the engine writes) and loses the triggers; a
  // FOREIGN KEY clause alone gains the engine's record (the clause stays as
  // written). False when it had both already. Error 3201, nothing stored,
  // when old rows break it; 3219 when the parent's fields are not its key or
  // a unique index.
  bool CompleteRelation(const std::string& name, const std::string& declaration = {});

  // The user's triggers, in the order the file stores them.
  std::vector<TriggerDef> Triggers();
  // Stores `trigger` as its statement declares it, in place of a trigger of
  // the same name; on failure the file keeps what it had.
  void PutTrigger(const TriggerDef& trigger);

  // The views and triggers that use the table or view `name` and would fail
  // without it, each as "la consulta 'v'" or "el desencadenador 't'" (a
  // trigger on `name` itself goes with it). A column or alias of that name
  // counts as a use. TableDefs.Delete refuses a table that has any (3219).
  std::vector<std::string> UsersOf(const std::string& name);

  // The virtual tables, in the order the file stores them.
  std::vector<VirtualTableDef> VirtualTables();
  // Creates `table` from its own statement. Error 3010 when a table or view
  // holds its name; error 3219, naming the module, when this SQLite lacks it.
  void CreateVirtualTable(const VirtualTableDef& table);

  // Runs a record source (see Recordset).
  std::unique_ptr<Recordset> OpenRecordset(const std::string& source);

  // Ends this use of the file. Objects taken from it fail afterwards; other
  // Database objects on the same file stay open.
  void Close();
  bool IsOpen() const { return connection_ != nullptr; }

  // Engine side.
  const std::shared_ptr<detail::Connection>& Connection() const;

 private:
  std::string name_;
  std::shared_ptr<detail::Connection> connection_;
  Collection<TableDef> tabledefs_;
  Collection<Relation> relations_;
  Collection<QueryDef> querydefs_;
};

}  // namespace brenquil
