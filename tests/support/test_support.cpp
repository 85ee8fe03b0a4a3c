#include "tests/support/test_support.h"

#include <fcntl.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

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

std::string MemoryFolder() {
  std::error_code ec;
  if (fs::is_directory("/dev/shm", ec) && ::access("/dev/shm", W_OK | X_OK) == 0) return "/dev/shm";
  return fs::temp_directory_path().string();
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

std::string EarlierRelationSql(const std::string& name, const std::string& parent, const std::string& parent_field,
                               const std::string& child, const std::string& child_field, long attributes) {
  auto q = [](const std::string& id) { return "\"" + id + "\""; };
  const std::string p = q(parent), c = q(child), pf = q(parent_field), cf = q(child_field);
  auto trigger = [&](const char* kind) { return "CREATE TRIGGER " + q("MSysRel_" + name + kind) + " "; };
  const std::string orphan = " WHEN NEW." + cf + " IS NOT NULL AND NOT EXISTS (SELECT 1 FROM " + p +
                             " AS brenquil_padre WHERE brenquil_padre." + pf + " = NEW." + cf +
                             ") BEGIN SELECT RAISE(ABORT, 'brenquil:3201:Se necesita un registro relacionado'); END;";
  const std::string children = "EXISTS (SELECT 1 FROM " + c + " AS brenquil_hijo WHERE OLD." + pf +
                               " = brenquil_hijo." + cf + ")";
  const std::string related = " BEGIN SELECT RAISE(ABORT, 'brenquil:3200:tiene registros relacionados'); END;";
  std::string sql =
      "CREATE TABLE IF NOT EXISTS MSysFields (TableName TEXT NOT NULL, FieldName TEXT NOT NULL,"
      " Type INTEGER NOT NULL, Size INTEGER NOT NULL, Attributes INTEGER NOT NULL DEFAULT 0,"
      " AllowZeroLength INTEGER NOT NULL DEFAULT 0, Required INTEGER NOT NULL DEFAULT 0,"
      " PRIMARY KEY (TableName, FieldName));"
      "CREATE TABLE IF NOT EXISTS MSysIndexes (TableName TEXT NOT NULL, IndexName TEXT NOT NULL,"
      " SqlName TEXT NOT NULL UNIQUE, IsPrimary INTEGER NOT NULL DEFAULT 0, PRIMARY KEY (TableName, IndexName));"
      "CREATE TABLE IF NOT EXISTS MSysRelations (Name TEXT PRIMARY KEY, TableName TEXT NOT NULL,"
      " ForeignTable TEXT NOT NULL, Attributes INTEGER NOT NULL, Position INTEGER NOT NULL);"
      "CREATE TABLE IF NOT EXISTS MSysRelationFields (Relation TEXT NOT NULL, Position INTEGER NOT NULL,"
      " FieldName TEXT NOT NULL, ForeignName TEXT NOT NULL, PRIMARY KEY (Relation, Position));"
      "CREATE TABLE IF NOT EXISTS MSysQueries (Name TEXT PRIMARY KEY, SqlText TEXT NOT NULL,"
      " Position INTEGER NOT NULL);";
  sql += "INSERT INTO MSysRelations VALUES ('" + name + "', '" + parent + "', '" + child + "', " +
         std::to_string(attributes) + ", (SELECT IFNULL(MAX(Position), 0) + 1 FROM MSysRelations));";
  sql += "INSERT INTO MSysRelationFields VALUES ('" + name + "', 0, '" + parent_field + "', '" + child_field + "');";
  sql += trigger("_hijo_alta") + "BEFORE INSERT ON " + c + orphan;
  sql += trigger("_hijo_cambio") + "BEFORE UPDATE OF " + cf + " ON " + c + orphan;
  if (attributes & 4096)
    sql += trigger("_padre_baja") + "AFTER DELETE ON " + p + " BEGIN DELETE FROM " + c + " WHERE " + cf + " = OLD." +
           pf + "; END;";
  else
    sql += trigger("_padre_baja") + "BEFORE DELETE ON " + p + " WHEN " + children + related;
  if (attributes & 256)
    sql += trigger("_padre_cambio") + "AFTER UPDATE OF " + pf + " ON " + p + " WHEN OLD." + pf + " IS NOT NEW." + pf +
           " BEGIN UPDATE " + c + " SET " + cf + " = NEW." + pf + " WHERE " + cf + " = OLD." + pf + "; END;";
  else
    sql += trigger("_padre_cambio") + "BEFORE UPDATE OF " + pf + " ON " + p + " WHEN (OLD." + pf + " IS NOT NEW." + pf +
           ") AND " + children + related;
  return sql;
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

namespace {
// A line of `fd`, without its end; false at the end of the stream.
bool ReadLine(int fd, std::string& line) {
  line.clear();
  for (char c; ::read(fd, &c, 1) == 1;) {
    if (c == '\n') return true;
    line += c;
  }
  return false;
}
}  // namespace

OtherWriter::OtherWriter(const std::string& path, const std::string& mode, Kind kind, long pause_us) {
  int in[2], out[2];
  if (::pipe2(in, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  if (::pipe2(out, O_CLOEXEC) != 0) {
    ::close(in[0]);
    ::close(in[1]);
    throw std::runtime_error("pipe failed");
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  const std::string program = BRENQUIL_BUSY_WRITER;
  const std::string pause = std::to_string(pause_us);
  std::vector<char*> argv = {const_cast<char*>(program.c_str()),
                             const_cast<char*>(kind == Kind::kHolds    ? "holds"
                                                 : kind == Kind::kChurns ? "churns"
                                                                         : "commits"),
                             const_cast<char*>(path.c_str()), const_cast<char*>(mode.c_str()),
                             const_cast<char*>(pause.c_str()), nullptr};
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(in[0]);
  ::close(out[1]);
  to_ = in[1];
  from_ = out[0];
  if (spawned != 0) {
    ::close(to_);
    ::close(from_);
    throw std::runtime_error("busy_writer did not start: " + program);
  }
  pid_ = pid;
  std::string line;
  if (!ReadLine(from_, line) || line != "listo") {
    Stop();
    throw std::runtime_error("busy_writer did not write to " + path);
  }
}

OtherWriter::~OtherWriter() { Stop(); }

long OtherWriter::Stop() {
  if (pid_ < 0) return committed_;
  ::close(to_);
  std::string line;
  if (ReadLine(from_, line)) committed_ = std::atol(line.c_str());
  ::close(from_);
  int status = 0;
  ::waitpid(pid_, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) committed_ = -1;
  pid_ = -1;
  return committed_;
}

std::string OtherWriter::Whole(const std::string& path, long first, long last) {
  if (last < first) return "the other program committed nothing";
  auto check = RawQuery(path, "PRAGMA integrity_check");
  if (check != std::vector<std::vector<std::string>>{{"ok"}})
    return "integrity_check: " + (check.empty() ? std::string("nothing") : check[0][0]);
  auto rows = RawQuery(path, "SELECT count(*), min(id), max(id) FROM escritor")[0];
  auto expected = std::vector<std::string>{std::to_string(last - first + 1), std::to_string(first),
                                           std::to_string(last)};
  if (rows != expected)
    return "escritor holds " + rows[0] + " rows, " + rows[1] + " to " + rows[2] + ", not " + expected[0] +
           ", " + expected[1] + " to " + expected[2];
  return "";
}

}  // namespace brenquil::test
