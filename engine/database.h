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

  // Relation `name`, stored as a FOREIGN KEY clause alone (Relation::ClauseOnly),
  // gains the engine's part: its record and, when enforced and not deferred,
  // the triggers that hold every writer to it; the clause stays as written.
  // False when it had it already. Error 3201, nothing stored, when old rows
  // break it.
  bool CompleteRelation(const std::string& name);

  // The user's triggers, in the order the file stores them.
  std::vector<TriggerDef> Triggers();
  // Stores `trigger` as its statement declares it, in place of a trigger of
  // the same name; on failure the file keeps what it had.
  void PutTrigger(const TriggerDef& trigger);

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
