#include "engine/dbengine.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <algorithm>
#include <chrono>
#include <mutex>
#include <cstring>
#include <optional>
#include <filesystem>
#include <fstream>

#include "engine/connection.h"
#include "engine/foreign_messages.h"

namespace brenquil {

namespace fs = std::filesystem;

namespace {

std::string FolderOf(const std::string& path) {
  std::string folder = fs::path(path).parent_path().string();
  return folder.empty() ? "." : folder;
}

// SQLite keeps a file's log and shared memory (-wal, -shm, -journal) beside
// it: a folder this process may not write or search refuses them, and the
// file then fails to open for its folder's sake, not its own.
bool FolderRefusesWorkFiles(const std::string& path) {
  return ::access(FolderOf(path).c_str(), W_OK | X_OK) != 0;
}

unsigned long Big(const unsigned char* p, int n) {
  unsigned long v = 0;
  for (int i = 0; i < n; ++i) v = (v << 8) | p[i];
  return v;
}

// What a file that is not a regular one is, in words.
std::string SpecialFileKind(mode_t mode) {
  if (S_ISFIFO(mode)) return "es una tubería con nombre";
  if (S_ISSOCK(mode)) return "es un socket";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "es un dispositivo";
  return "es un archivo especial";
}

// What a look at the file itself tells, before SQLite touches it. Throws for
// a path that is certainly no SQLite file (missing, a folder, empty, shorter
// than a header or without SQLite's): SQLite itself would take an empty file
// for a new database and write to it. Returns the error of a damaged file
// when the header disagrees with itself or with the file's size. That is only
// a suspicion: the look takes no lock, and another program's checkpoint or
// commit writes the first page, with the new page count, before the pages
// that make the file that long. ConfirmDamage decides it.
std::optional<Error> LookAtFile(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    if (errno == EACCES)
      throw MakeError(err::kFileAccess, "'" + path + "': la carpeta '" + FolderOf(path) +
                                            "' no da permiso para entrar en ella");
    throw MakeError(err::kFileNotFound, "'" + path + "'");
  }
  if (S_ISDIR(st.st_mode))
    throw MakeError(err::kUnrecognisedFormat, "'" + path + "' es una carpeta, no una base de datos");
  // Opening a named pipe waits for a writer, and a device may never answer:
  // neither is read.
  if (!S_ISREG(st.st_mode))
    throw MakeError(err::kUnrecognisedFormat, "'" + path + "' no es un archivo normal (" + SpecialFileKind(st.st_mode) +
                                                  "), no una base de datos");
  if (st.st_size == 0)
    throw MakeError(err::kUnrecognisedFormat, "'" + path + "' está vacío");
  unsigned char header[100] = {};
  std::ifstream in(path, std::ios::binary);
  if (!in && errno == EACCES)
    throw MakeError(err::kFileAccess, "'" + path + "': no hay permiso para leer el archivo");
  if (!in) throw MakeError(err::kFileInUse, "'" + path + "': " + SpanishErrno(errno));
  in.read(reinterpret_cast<char*>(header), sizeof header);
  if (in.gcount() < static_cast<std::streamsize>(sizeof header) ||
      std::memcmp(header, "SQLite format 3", 16) != 0)
    throw MakeError(err::kUnrecognisedFormat, "'" + path + "' no es una base de datos");
  unsigned long page = Big(header + 16, 2);
  if (page == 1) page = 65536;
  unsigned long pages = Big(header + 28, 4);
  bool pages_valid = Big(header + 24, 4) == Big(header + 92, 4) && pages > 0;
  unsigned long long size = static_cast<unsigned long long>(st.st_size);
  // Incremental vacuum without auto-vacuum is a header SQLite cannot have
  // written; the first change would make the damage show.
  bool vacuum_mismatch = Big(header + 64, 4) != 0 && Big(header + 52, 4) == 0;
  if (page < 512 || (page & (page - 1)) != 0 || size % page != 0 || vacuum_mismatch ||
      (pages_valid && static_cast<unsigned long long>(pages) * page > size))
    return MakeError(err::kCannotOpen, "'" + path + "' está incompleto o dañado");
  return std::nullopt;
}

Error InUse(const std::string& path) {
  return MakeError(err::kFileInUse, "'" + path + "' está bloqueado por otro proceso; vuelva a intentarlo "
                                                 "cuando lo suelte");
}

std::string CanonicalKey(const std::string& path) {
  std::error_code ec;
  auto canonical = fs::weakly_canonical(path, ec);
  return ec ? path : canonical.string();
}

// The name SQLite opens a file by for reading only: with a shared-memory
// index of its log beside it, a URI that has SQLite read that index without
// writing it (the path's bytes percent-encoded but for letters, digits and
// "/._-~").
std::string ReadOnlyName(const std::string& path, int& flags) {
  std::error_code ec;
  if (!fs::exists(path + "-shm", ec)) return path;
  flags |= SQLITE_OPEN_URI;
  std::string uri = "file:";
  static const char kHex[] = "0123456789ABCDEF";
  for (unsigned char c : path) {
    if (std::isalnum(c) || c == '/' || c == '.' || c == '_' || c == '-' || c == '~') {
      uri += static_cast<char>(c);
    } else {
      uri += '%';
      uri += kHex[c >> 4];
      uri += kHex[c & 15];
    }
  }
  return uri + "?readonly_shm=1";
}

std::shared_ptr<detail::Connection> OpenConnection(const std::string& path, bool create, bool read_only_wanted = false) {
  // Read-only is the lack of the owner's write bit (root included), or a
  // file this process may not write.
  struct stat st {};
  bool read_only = !create && (read_only_wanted || ::stat(path.c_str(), &st) != 0 || (st.st_mode & S_IWUSR) == 0 ||
                               ::access(path.c_str(), W_OK) != 0);
  int flags = (read_only ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOMUTEX;
  if (create) flags |= SQLITE_OPEN_CREATE;
  const std::string name = read_only_wanted ? ReadOnlyName(path, flags) : path;
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(name.c_str(), &db, flags, nullptr);
  auto connection = std::make_shared<detail::Connection>(db, path, read_only);
  if (rc != SQLITE_OK) throw connection->Fail(rc, "al abrir");
  sqlite3_extended_result_codes(db, 1);
  sqlite3_busy_timeout(db, 1000);
  // A transformation prepares thousands of statements and reads schemas
  // again and again; SQLite's small allocations for them come from the
  // connection's own lookaside slots, far more of them than its default
  // hundred, instead of the heap.
  if (db) sqlite3_db_config(db, SQLITE_DBCONFIG_LOOKASIDE, nullptr, 1200, 400);
  // Reading the schema is what finds a damaged file or another process's lock.
  try {
    connection->Exec("SELECT count(*) FROM sqlite_master");
  } catch (const Error& e) {
    if (e.Number() == err::kLocked) throw InUse(path);
    if (read_only_wanted && sqlite3_extended_errcode(db) == SQLITE_READONLY_ROLLBACK)
      throw MakeError(err::kCannotOpen, "'" + path + "' tiene a medias una escritura interrumpida (su -journal), "
                                            "que solo se deshace escribiendo en él, y aquí solo se lee");
    if (e.Number() == err::kUnrecognisedFormat || e.Number() == err::kCannotOpen) throw;
    if ((e.Number() == err::kReadOnly || e.Number() == err::kDiskError) && FolderRefusesWorkFiles(path))
      throw MakeError(err::kFileAccess, "'" + path + "': la carpeta '" + FolderOf(path) +
                                            "' no da permiso para crear los archivos de trabajo "
                                            "de la base de datos (-wal, -shm)");
    throw MakeError(err::kCannotOpen, "'" + path + "': " + e.Text());
  }
  // Read-only is also a folder that is: SQLite could not make the file's
  // journal there, and a plan, whose journal stays in memory, would else
  // promise a change that the run is refused.
  const std::string folder = FolderOf(path);
  struct stat folder_st {};
  if (!create && !read_only &&
      (::stat(folder.c_str(), &folder_st) != 0 || (folder_st.st_mode & S_IWUSR) == 0 ||
       ::access(folder.c_str(), W_OK | X_OK) != 0))
    connection->RefuseChanges("no se puede cambiar: su carpeta '" + folder + "' es de sólo lectura.");
  // The journal mode is left alone until the first change (see
  // Connection::PrepareWrite), so a file that is only read is never written.
  sqlite3_exec(db, DBEngine::Instance().InScratchFolder(path) ? "PRAGMA synchronous = OFF" : "PRAGMA synchronous = NORMAL",
               nullptr, nullptr, nullptr);
  sqlite3_exec(db, "PRAGMA foreign_keys = ON", nullptr, nullptr, nullptr);
  return connection;
}

// Decides the suspicion LookAtFile raised, on the connection just opened to
// the file, inside one read transaction. Taking its read lock, SQLite checks
// the header's page count against what the file (or its log) holds, and
// refuses a file it cannot read. In rollback-journal mode the read lock keeps
// every writer out of the file, so the file looked at again is the file as
// it is. In WAL mode another program's checkpoint may still be writing into
// the file, which alone is not the database: SQLite's integrity check of
// what the transaction reads decides. Throws the damage found (3049 or
// 3343), Error 3045 when another process holds the file longer than the
// busy timeout.
void ConfirmDamage(detail::Connection& connection) {
  std::optional<Error> damage;
  try {
    connection.Exec("BEGIN");
    connection.Exec("SELECT count(*) FROM sqlite_master");
    damage = LookAtFile(connection.Path());
    if (damage) {
      detail::Statement mode(connection, "PRAGMA journal_mode");
      if (mode.Step() && mode.Text(0).value_or("") == "wal") {
        detail::Statement check(connection, "PRAGMA integrity_check(1)");
        if (check.Step() && check.Text(0).value_or("") == "ok") damage.reset();
      }
    }
  } catch (const Error& error) {
    sqlite3_exec(connection.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
    if (error.Number() == err::kLocked) throw InUse(connection.Path());
    throw;
  }
  // The transaction only read.
  sqlite3_exec(connection.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
  if (damage) throw *damage;
}

// Opens an existing file for Connect, after a look at it (LookAtFile); a
// file that looks damaged is only called so once ConfirmDamage agrees, and
// then with the look's own words.
std::shared_ptr<detail::Connection> OpenLookedAt(const std::string& path, bool read_only_wanted) {
  const std::optional<Error> suspicion = LookAtFile(path);
  if (!suspicion) return OpenConnection(path, false, read_only_wanted);
  try {
    auto connection = OpenConnection(path, false, read_only_wanted);
    ConfirmDamage(*connection);
    return connection;
  } catch (const Error& error) {
    if (error.Number() == err::kCannotOpen || error.Number() == err::kUnrecognisedFormat) throw *suspicion;
    throw;
  }
}

}  // namespace

namespace {

// The first line of PRAGMA integrity_check on a read-only connection of its
// own ("ok" when the file is sound), or nullopt when the check could not run
// or was stopped.
std::optional<std::string> IntegrityOf(const std::string& path, std::shared_ptr<DBEngine::AheadCheck> check) {
  std::optional<std::string> result;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) == SQLITE_OK) {
    sqlite3_busy_timeout(db, 1000);
    // The check reads every page and looks up every row in each of its
    // table's indexes. A file of up to 32 MiB is read through a memory map
    // (a third faster than copying each page into SQLite's cache). In a
    // larger file the inner pages of the tables and indexes no longer fit
    // SQLite's default cache of 2 MiB, and the check would read them again
    // and again (12 s instead of 1 s for 150 MB): a cache of a sixteenth of
    // the file, at most 16 MiB, holds them.
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    if (!error && size <= 32u << 20) {
      sqlite3_exec(db, ("PRAGMA mmap_size = " + std::to_string(size)).c_str(), nullptr, nullptr, nullptr);
    } else if (!error && size / 16 > 2u << 20) {
      const auto kib = std::min<std::uintmax_t>(size / 16, 16u << 20) >> 10;
      sqlite3_exec(db, ("PRAGMA cache_size = -" + std::to_string(kib)).c_str(), nullptr, nullptr, nullptr);
    }
    bool stopped = false;
    {
      std::lock_guard<std::mutex> lock(check->mutex);
      stopped = check->stopped;
      if (!stopped) check->db = db;
    }
    // One read transaction holds the file from the look at its journal mode
    // to the end of the check. In rollback-journal mode its shared lock keeps
    // every writer out of the file, so the pages SQLite reads, through the map
    // or not, are one committed state of it, whatever other programs commit
    // meanwhile. A file another program has put in WAL mode since the check
    // was asked for is left to the connection that changes it, which checks
    // it itself.
    auto first_line = [db](const char* sql) -> std::optional<std::string> {
      std::optional<std::string> line;
      sqlite3_stmt* st = nullptr;
      if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW) {
        const unsigned char* text = sqlite3_column_text(st, 0);
        line = text ? reinterpret_cast<const char*>(text) : "";
      }
      sqlite3_finalize(st);
      return line;
    };
    if (!stopped &&
        sqlite3_exec(db, "BEGIN; SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr) == SQLITE_OK &&
        first_line("PRAGMA journal_mode").value_or("wal") != "wal")
      result = first_line("PRAGMA integrity_check(1)");
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    std::lock_guard<std::mutex> lock(check->mutex);
    check->db = nullptr;
    // A check stopped midway says nothing of the file.
    if (check->stopped) result.reset();
  }
  sqlite3_close_v2(db);
  return result;
}

// A file in rollback-journal mode (both version bytes of the header 1) with
// neither a journal nor a log beside it: reading it writes nothing. Looked at
// without a lock, only to spare a read-only connection a file in WAL mode;
// IntegrityOf decides again under its read lock.
bool ReadsWithoutWriting(const std::string& path) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) return false;
  std::ifstream in(path, std::ios::binary);
  char header[20] = {};
  if (!in.read(header, sizeof header)) return false;
  if (header[18] != 1 || header[19] != 1) return false;
  return !fs::exists(path + "-journal", ec) && !fs::exists(path + "-wal", ec);
}

}  // namespace

bool DBEngine::InScratchFolder(const std::string& path) const {
  return !scratch_folder_.empty() &&
         fs::path(FolderOf(path)).lexically_normal() == fs::path(scratch_folder_).lexically_normal();
}

void DBEngine::CheckIntegrityAhead(const std::string& path, const std::string& after) {
  check_ahead_ = path;
  check_after_ = after;
  if (after.empty()) StartCheckAhead(path);
}

void DBEngine::StartCheckAhead(const std::string& changing) {
  if (check_ahead_.empty() || (!check_after_.empty() && KeyOf(changing) != KeyOf(check_after_))) return;
  const std::string path = std::exchange(check_ahead_, {});
  check_after_.clear();
  std::string key = KeyOf(path);
  if (integrity_ahead_.count(key) || !ReadsWithoutWriting(path)) return;
  // One check at a time: a run that changes little moves on faster than
  // the checks, which would otherwise pile up, each with its own cache.
  for (auto& [other, check] : integrity_ahead_)
    if (check->result.wait_for(std::chrono::seconds(0)) != std::future_status::ready) return;
  auto check = std::make_shared<AheadCheck>();
  check->result = std::async(std::launch::async, IntegrityOf, path, check);
  integrity_ahead_[key] = std::move(check);
}

std::optional<std::string> DBEngine::TakeIntegrity(const std::string& path) {
  if (integrity_ahead_.empty()) return std::nullopt;
  auto it = integrity_ahead_.find(KeyOf(path));
  if (it == integrity_ahead_.end()) return std::nullopt;
  auto result = it->second->result.get();
  integrity_ahead_.erase(it);
  return result;
}

void DBEngine::StopChecksAhead() {
  for (auto& [key, check] : integrity_ahead_) {
    std::lock_guard<std::mutex> lock(check->mutex);
    check->stopped = true;
    if (check->db) sqlite3_interrupt(check->db);
  }
  for (auto& [key, check] : integrity_ahead_) check->result.wait();
  integrity_ahead_.clear();
  check_ahead_.clear();
  check_after_.clear();
}

std::string DBEngine::KeyOf(const std::string& path) {
  // Within a batch a path names the same file (a file replaced under it is
  // found by its inode in Connect): its canonical form, a system call for
  // each folder on the way, is worked out once.
  if (!batch_) keys_.clear();
  auto it = keys_.find(path);
  if (it == keys_.end()) it = keys_.emplace(path, CanonicalKey(path)).first;
  return it->second;
}

DBEngine& DBEngine::Instance() {
  static DBEngine engine = [] {
    // SQLite's count of the memory it holds takes a lock around every
    // allocation; nothing here reads it. Only possible before SQLite's
    // first use, and harmless when too late.
    sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
    return DBEngine();
  }();
  return engine;
}

namespace {
constexpr size_t kMaxIdle = 6;

bool Idle(const std::shared_ptr<detail::Connection>& c) { return c->Leases() == 0; }

// What a user gets: the shared connection, counted as one lease until the
// last copy goes.
std::shared_ptr<detail::Connection> Leased(const std::shared_ptr<detail::Connection>& c) {
  struct Lease {
    std::shared_ptr<detail::Connection> connection;
    explicit Lease(std::shared_ptr<detail::Connection> c) : connection(std::move(c)) { connection->Lease(); }
    ~Lease() { connection->Unlease(); }
  };
  auto lease = std::make_shared<Lease>(c);
  return std::shared_ptr<detail::Connection>(lease, lease->connection.get());
}
}  // namespace

std::shared_ptr<detail::Connection> DBEngine::Connect(const std::string& path, bool read_only_wanted) {
  std::string key = KeyOf(path);
  // A connection in use is shared as it is, whatever the file looks like now.
  if (auto it = open_.find(key); it != open_.end() && !Idle(it->second.connection)) {
    it->second.last_used = ++uses_;
    return Leased(it->second.connection);
  }
  struct stat st {};
  bool exists = ::stat(path.c_str(), &st) == 0;
  bool read_only = read_only_wanted || !exists || (st.st_mode & S_IWUSR) == 0 || ::access(path.c_str(), W_OK) != 0;
  if (auto it = open_.find(key); it != open_.end()) {
    Entry& e = it->second;
    // An idle connection opened the other way is closed as it would be
    // anyway (what it wrote stays written) and the file opened again.
    if (e.read_only != read_only && exists && e.device == st.st_dev && e.inode == st.st_ino) {
      open_.erase(it);
      it = open_.end();
    }
  }
  if (auto it = open_.find(key); it != open_.end()) {
    Entry& e = it->second;
    // A connection in use is shared as it is; an idle one only while the file
    // is still the same file with the same write permission.
    bool same = exists && e.device == st.st_dev && e.inode == st.st_ino && e.read_only == read_only;
    if (same && Idle(e.connection) && !(batch_ && e.checked_step == step_)) {
      // Another program may have rewritten the file in place meanwhile; a
      // file that looks damaged is opened again and judged then.
      try {
        same = !LookAtFile(path);
        if (same) e.checked_step = step_;
      } catch (const Error&) {
        same = false;
      }
    }
    if (!Idle(e.connection) || same) {
      e.last_used = ++uses_;
      return Leased(e.connection);
    }
    e.connection->Abandon();
    open_.erase(it);
  }
  auto connection = OpenLookedAt(path, read_only_wanted);
  open_[key] = Entry{connection, st.st_dev, st.st_ino, connection->ReadOnly(), ++uses_, step_};
  auto leased = Leased(connection);
  TrimIdle();
  return leased;
}

void DBEngine::TrimIdle() {
  size_t idle = 0;
  for (auto& [k, e] : open_) idle += Idle(e.connection) ? 1 : 0;
  while (idle > kMaxIdle) {
    auto oldest = open_.end();
    for (auto it = open_.begin(); it != open_.end(); ++it)
      if (Idle(it->second.connection) && (oldest == open_.end() || it->second.last_used < oldest->second.last_used))
        oldest = it;
    open_.erase(oldest);
    --idle;
  }
}

void DBEngine::RecordCommitFailure(const std::string& path, const Error& error) {
  commit_failures_.emplace_back(path, error);
}

std::vector<std::pair<std::string, Error>> DBEngine::TakeCommitFailures() {
  return std::exchange(commit_failures_, {});
}

void DBEngine::NextStep() {
  ++step_;
  // What other processes committed meanwhile shows to the next step.
  for (auto& [key, e] : open_) e.connection->EndStepRead();
}

void DBEngine::EndBatch() {
  // A check started for a file the batch never changed is not wanted any more.
  StopChecksAhead();
  keys_.clear();
  batch_ = false;
  plan_ = false;
  std::optional<Error> first;
  for (auto& [key, e] : open_) {
    try {
      e.connection->FinishBatch();
    } catch (const Error& error) {
      if (!first) first = error;
    }
  }
  CloseIdle();
  if (first) throw *first;
}

void DBEngine::CloseIdle() {
  for (auto it = open_.begin(); it != open_.end();) {
    if (Idle(it->second.connection))
      it = open_.erase(it);
    else
      ++it;
  }
}

void DBEngine::Release(const std::string& path) {
  auto it = open_.find(KeyOf(path));
  if (it == open_.end()) return;
  if (Idle(it->second.connection)) {
    open_.erase(it);
  } else {
    // Still in use: write what the log holds into the file itself (a plan
    // only rolls back: it writes nothing).
    const bool plan = InPlan();
    try {
      it->second.connection->FinishBatch();
    } catch (const Error&) {
    }
    if (!plan)
      sqlite3_wal_checkpoint_v2(it->second.connection->Handle(), nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr,
                                nullptr);
  }
}

std::shared_ptr<Database> DBEngine::OpenDatabase(const std::string& path, bool read_only) {
  return std::make_shared<Database>(path, Connect(path, read_only));
}

std::shared_ptr<Database> DBEngine::CreateDatabase(const std::string& path) {
  std::error_code ec;
  if (fs::exists(path, ec)) throw MakeError(err::kDatabaseExists, "'" + path + "'");
  auto connection = OpenConnection(path, true);
  // Every new file starts with the engine's own tables.
  connection->Atomically([&] { connection->EnsureSystemTables(); });
  struct stat st {};
  ::stat(path.c_str(), &st);
  open_[KeyOf(path)] = Entry{connection, st.st_dev, st.st_ino, false, ++uses_};
  auto leased = Leased(connection);
  TrimIdle();
  return std::make_shared<Database>(path, leased);
}

}  // namespace brenquil
