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

}  // namespace brenquil::test
