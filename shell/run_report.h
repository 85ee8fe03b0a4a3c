// What the operations changed, per old database: the report that the front
// ends show at the end of a run. The steps record each change as the engine
// accepts it; nothing is recorded for a change that failed, and when a file's
// commit fails its entry is emptied (Discard), so the report holds only what
// is in the files afterwards. After a plan it holds what a run would change,
// though no file changed (Plan). Owned by the window.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace brenquil {

// An index of the report: the table it is on and its name there, as the step
// that dealt with it knew them (a table or index name may hold a dot).
struct IndexEntry {
  std::string table;
  std::string name;
  // "tabla.indice", as the lists of the text report show it.
  std::string Qualified() const { return table + "." + name; }
  bool operator==(const IndexEntry&) const = default;
};

struct DatabaseChanges {
  std::string old;    // the old database's path (Text4)
  std::string model;  // the model's path (Text3)
  std::vector<std::string> tables_created;
  // table name, then the fields added to it in order.
  std::vector<std::pair<std::string, std::vector<std::string>>> fields_added;
  std::vector<IndexEntry> indexes_deleted;
  std::vector<IndexEntry> indexes_created;
  std::vector<IndexEntry> indexes_kept;  // already equal to the model's
  std::vector<std::string> relations_deleted;
  std::vector<std::string> relations_created;
  std::vector<std::string> relations_kept;   // already equal to the model's
  // Kept, and brought to the engine's form (an earlier version's record and
  // row triggers become a FOREIGN KEY clause).
  std::vector<std::string> relations_changed;
  std::vector<std::string> queries_deleted;
  std::vector<std::string> queries_created;
  std::vector<std::string> queries_kept;     // already equal to the model's
  // The model's triggers that the old database lacked, and those that took
  // the place of an old trigger of the same name (another text, or on
  // another table). The engine's own triggers are never listed.
  std::vector<std::string> triggers_created;
  std::vector<std::string> triggers_replaced;
  // The copy of the old database taken before the run changed it, or empty.
  std::string backup;
  // True when the file's changes were rolled back (a failed commit): the
  // lists above were emptied, the journal says why.
  bool rolled_back = false;
};

class RunReport {
 public:
  // The entry for the old database at `old`, made on first use.
  DatabaseChanges& For(const std::string& old, const std::string& model);
  void FieldAdded(const std::string& old, const std::string& model,
                  const std::string& table, const std::string& field);
  // The changes recorded for `old` did not reach the file: they are dropped.
  void Discard(const std::string& old);
  void NewDatabase(const std::string& path) { new_databases_.push_back(path); }
  // An old database of the data folder that has no model: left untouched.
  void Skipped(const std::string& path) { skipped_.push_back(path); }
  // The run was stopped before it came to this database (an old one, or a
  // model it would have copied to `path`): left untouched.
  void NotReached(const std::string& path) { not_reached_.push_back(path); }
  // The run was asked to stop and stopped after the database in hand.
  void Stop() { stopped_ = true; }
  bool Stopped() const { return stopped_; }
  // Empties the report for a new run, a plan when `plan`.
  void Clear(bool plan = false);
  bool Plan() const { return plan_; }

  const std::vector<DatabaseChanges>& Databases() const { return databases_; }
  const std::vector<std::string>& NewDatabases() const { return new_databases_; }
  const std::vector<std::string>& SkippedDatabases() const { return skipped_; }
  const std::vector<std::string>& NotReachedDatabases() const { return not_reached_; }

 private:
  std::vector<DatabaseChanges> databases_;
  std::vector<std::string> new_databases_;
  std::vector<std::string> skipped_;
  std::vector<std::string> not_reached_;
  bool plan_ = false;
  bool stopped_ = false;
};

}  // namespace brenquil
