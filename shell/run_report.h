// What the operations changed, per old database: the report that the command
// line prints at the end of a run. The steps record each change as the engine
// accepts it; nothing is recorded for a change that failed. Owned by the window.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace brenquil {

struct DatabaseChanges {
  std::string old;    // the old database's path (Text4)
  std::string model;  // the model's path (Text3)
  std::vector<std::string> tables_created;
  // table name, then the fields added to it in order.
  std::vector<std::pair<std::string, std::vector<std::string>>> fields_added;
  std::vector<std::string> indexes_deleted;  // "tabla.indice"
  std::vector<std::string> indexes_created;  // "tabla.indice"
  std::vector<std::string> relations_deleted;
  std::vector<std::string> relations_created;
  std::vector<std::string> queries_deleted;
  std::vector<std::string> queries_created;
};

class RunReport {
 public:
  // The entry for the old database at `old`, made on first use.
  DatabaseChanges& For(const std::string& old, const std::string& model);
  void FieldAdded(const std::string& old, const std::string& model,
                  const std::string& table, const std::string& field);
  void NewDatabase(const std::string& path) { new_databases_.push_back(path); }
  void Clear();

  const std::vector<DatabaseChanges>& Databases() const { return databases_; }
  const std::vector<std::string>& NewDatabases() const { return new_databases_; }

 private:
  std::vector<DatabaseChanges> databases_;
  std::vector<std::string> new_databases_;
};

}  // namespace brenquil
