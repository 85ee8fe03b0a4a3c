// What the four operations of the index step share: the catalogue's texts and
// selections, the database an operation holds open, and the rule that leaves an
// old index in place when deleting it and building the model's would change nothing.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/database.h"
#include "engine/error.h"
#include "engine/index.h"
#include "engine/row_checks.h"

namespace brenquil {

class Actualiz;

namespace index_step {

// The table of indices.mdb, and the texts of its column `unico`. Only exactly
// kUniqueText is read back as unique.
inline constexpr const char* kCatalogueTable = "indices";
inline constexpr const char* kUniqueText = "Verdadero";
inline constexpr const char* kNotUniqueText = "Falso";

// "Select * from indices where tabla = '<table>'", apostrophes of the name doubled.
std::string CatalogueSelection(const std::string& table);

// Points Data3 at the catalogue rows of `table` and runs the selection.
void SelectCatalogueRows(Actualiz& window, const std::string& table);

// A database opened by path for one operation, closed when the operation ends
// (Close, or the destructor on the way out of a failure).
class HeldDatabase {
 public:
  HeldDatabase() = default;
  // `read_only` as DBEngine::OpenDatabase takes it (a model).
  explicit HeldDatabase(const std::string& path, bool read_only = false);
  ~HeldDatabase();
  HeldDatabase(const HeldDatabase&) = delete;
  HeldDatabase& operator=(const HeldDatabase&) = delete;
  HeldDatabase(HeldDatabase&& other) noexcept = default;
  HeldDatabase& operator=(HeldDatabase&& other) noexcept;

  explicit operator bool() const { return db_ != nullptr; }
  Database* operator->() const { return db_.get(); }
  Database& operator*() const { return *db_; }
  // Closes and releases the database; a failure to close passes on.
  void Close();

 private:
  std::shared_ptr<Database> db_;
};

// True when deleting `old` and building the model's index of that name would
// leave the table as it is: `old` is the model's index itself (the same fields
// in the same order and sort, the same unique and primary flags), or it is what
// the copy builds from the model's catalogue rows (those fields in order,
// ascending, the model's unique flag, not primary).
bool WouldComeBackTheSame(Index& old, Index& model);

// The field names of `index`, in order.
std::vector<std::string> FieldNames(Index& index);

// The rows of the old table that the index to be built would refuse: the
// index `declaration` as SQLite judges it (see RowsRefusingIndex) when the
// index is built from one, otherwise a unique index over `fields` (none for
// an index that is not unique). An Error when the table cannot take the
// declared index at all.
BlockingRows RowsAgainst(Database& old, const std::string& table, bool unique,
                         const std::vector<std::string>& fields, const std::string& declaration = {});

// The model database (Text3) read to decide which old indexes stay. Opened on
// first use, kept open until Close or the end of the operation; a model that
// does not open keeps the error and leaves nothing in place.
class ModelIndexes {
 public:
  explicit ModelIndexes(std::string path) : path_(std::move(path)) {}

  // Opens the model when not tried yet; false when it does not open.
  bool Open();
  // The error of the failed open, if it failed.
  const std::optional<Error>& Failure() const { return failure_; }
  // True when the model's table `table` has an index named like `old` that
  // would come back the same (WouldComeBackTheSame). False when the model does
  // not open or lacks the table or the index. The copy builds the model's index
  // from its declaration when it has one and the catalogue rows are its fields.
  bool Keeps(const std::string& table, Index& old);
  // True when the model has table `table` (in any letter case). False when
  // the model does not open.
  bool HasTable(const std::string& table);
  // The model's index `name` of table `table`, or null.
  std::shared_ptr<Index> Find(const std::string& table, const std::string& name);
  void Close() {
    tables_.clear();
    db_.Close();
  }

 private:
  // The model's table `table` (Find), or null; the model must be open.
  std::shared_ptr<TableDef> ModelTable(const std::string& table);

  std::string path_;
  bool tried_ = false;
  HeldDatabase db_;
  std::optional<Error> failure_;
  std::map<std::string, std::shared_ptr<TableDef>> tables_;  // by the name asked for
};

}  // namespace index_step
}  // namespace brenquil
