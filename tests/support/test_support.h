// Helpers shared by the test suites: a temporary folder removed at the end,
// and direct SQLite access to check files without going through the engine.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace brenquil::test {

// A fresh folder under the system's temporary folder (or under `parent`),
// removed with its contents when the object goes.
class TempDir {
 public:
  TempDir();
  explicit TempDir(const std::string& parent);
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& Path() const { return path_; }
  // Path + "/" + name.
  std::string operator/(const std::string& name) const;

 private:
  std::string path_;
};

// A folder in memory (/dev/shm) when the machine has one, else the system's
// temporary folder: for tests whose files are synced many times.
std::string MemoryFolder();

// The whole content of a file ("" when it does not exist).
std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);

// Every file under `folder`, by its path relative to it, with its whole
// content: two calls compare equal when no file was made, removed or changed.
std::map<std::string, std::string> FolderContents(const std::string& folder);

// Runs `sql` on the file (made when missing) with the SQLite library itself; throws
// std::runtime_error with SQLite's message on failure.
void RawExec(const std::string& path, const std::string& sql);
// Rows of a query, each value as text ("NULL" for Null).
std::vector<std::vector<std::string>> RawQuery(const std::string& path, const std::string& sql);
// Column names of a table, in order, as SQLite reports them.
std::vector<std::string> RawColumns(const std::string& path, const std::string& table);

// An environment variable set to `value` (unset for nullopt) while the
// object lives, then as it was.
class ScopedEnvironment {
 public:
  ScopedEnvironment(std::string name, const std::optional<std::string>& value);
  ~ScopedEnvironment();
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  std::string name_;
  std::optional<std::string> before_;
};

// Plain SQL that stores an enforced relation of one field pair as an earlier
// version of the engine did: the engine's tables, its record, and the four row
// triggers that enforced it ("MSysRel_" and the name), with no FOREIGN KEY
// clause. The attributes say the actions (cascade update 256, cascade delete
// 4096); names must need no quoting beyond double quotes.
std::string EarlierRelationSql(const std::string& name, const std::string& parent, const std::string& parent_field,
                               const std::string& child, const std::string& child_field, long attributes);

// The number of the brenquil::Error that `action` throws, 0 when it throws none.
int NumberOf(const std::function<void()>& action);

// Another process writing the database file `path` (the tests' busy_writer
// program), in journal mode `mode` ("wal" or "delete"): it commits one row
// at a time into its table "escritor", `pause_us` microseconds apart (churns:
// deleting the row 300 ids back in the same transaction, so that a file in
// auto-vacuum mode grows and shrinks all the time), or (holds) keeps one
// row's transaction, and the file's write lock, open. The constructor
// returns once its first row is committed or the lock taken; throws
// std::runtime_error when the program does not start.
class OtherWriter {
 public:
  enum class Kind { kCommits, kChurns, kHolds };
  static constexpr long kChurnKeeps = 300;
  OtherWriter(const std::string& path, const std::string& mode, Kind kind, long pause_us = 0);
  ~OtherWriter();
  OtherWriter(const OtherWriter&) = delete;
  OtherWriter& operator=(const OtherWriter&) = delete;
  // Ends the program (a holding writer commits its row first); the rows it
  // committed, whose ids are 1 to that number (the last kChurnKeeps of them
  // when it churns), or -1 when it failed.
  long Stop();
  // "" when the file at `path` passes PRAGMA integrity_check and its table
  // "escritor" holds exactly the rows `first` to `last`; else what is wrong.
  static std::string Whole(const std::string& path, long first, long last);

 private:
  int pid_ = -1;
  int to_ = -1;    // its standard input
  int from_ = -1;  // its standard output
  long committed_ = -1;
};

}  // namespace brenquil::test
