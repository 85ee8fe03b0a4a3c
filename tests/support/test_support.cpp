#include "tests/support/test_support.h"

#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "engine/error.h"

namespace brenquil::test {

namespace fs = std::filesystem;

TempDir::TempDir() : TempDir(fs::temp_directory_path().string()) {}

TempDir::TempDir(const std::string& parent) {
  std::string pattern = (fs::path(parent) / "brenquil-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  // Restore write bits so read-only test files can be removed.
  for (auto it = fs::recursive_directory_iterator(path_, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(path_, ec);
}

std::string TempDir::operator/(const std::string& name) const { return path_ + "/" + name; }

std::map<std::string, std::string> FolderContents(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (auto& entry : fs::recursive_directory_iterator(folder))
    if (entry.is_regular_file())
      files[fs::relative(entry.path(), folder).string()] = ReadBytes(entry.path().string());
  return files;
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

namespace {
struct RawDb {
  sqlite3* db = nullptr;
  explicit RawDb(const std::string& path, bool create = false) {
    int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
    if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) != SQLITE_OK) {
      std::string msg = db ? sqlite3_errmsg(db) : "open failed";
      sqlite3_close(db);
      throw std::runtime_error(msg);
    }
    sqlite3_busy_timeout(db, 2000);
  }
  ~RawDb() { sqlite3_close(db); }
};
}  // namespace

void RawExec(const std::string& path, const std::string& sql) {
  RawDb raw(path, true);
  char* msg = nullptr;
  if (sqlite3_exec(raw.db, sql.c_str(), nullptr, nullptr, &msg) != SQLITE_OK) {
    std::string text = msg ? msg : "error";
    sqlite3_free(msg);
    throw std::runtime_error(text);
  }
}

std::vector<std::vector<std::string>> RawQuery(const std::string& path, const std::string& sql) {
  RawDb raw(path);
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(raw.db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
    throw std::runtime_error(sqlite3_errmsg(raw.db));
  std::vector<std::vector<std::string>> rows;
  int rc;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    std::vector<std::string> row;
    for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
      auto* text = sqlite3_column_text(stmt, i);
      row.emplace_back(text ? reinterpret_cast<const char*>(text) : "NULL");
    }
    rows.push_back(std::move(row));
  }
  std::string err = rc == SQLITE_DONE ? "" : sqlite3_errmsg(raw.db);
  sqlite3_finalize(stmt);
  if (!err.empty()) throw std::runtime_error(err);
  return rows;
}

std::vector<std::string> RawColumns(const std::string& path, const std::string& table) {
  std::string literal;
  for (char c : table) literal += c == '\'' ? std::string("''") : std::string(1, c);
  std::vector<std::string> names;
  for (auto& row : RawQuery(path, "SELECT name FROM pragma_table_info('" + literal + "')"))
    names.push_back(row[0]);
  return names;
}

ScopedEnvironment::ScopedEnvironment(std::string name, const std::optional<std::string>& value)
    : name_(std::move(name)) {
  if (const char* before = std::getenv(name_.c_str())) before_ = before;
  if (value)
    ::setenv(name_.c_str(), value->c_str(), 1);
  else
    ::unsetenv(name_.c_str());
}

ScopedEnvironment::~ScopedEnvironment() {
  if (before_)
    ::setenv(name_.c_str(), before_->c_str(), 1);
  else
    ::unsetenv(name_.c_str());
}

int NumberOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const Error& e) {
    return e.Number();
  }
  return 0;
}

}  // namespace brenquil::test
