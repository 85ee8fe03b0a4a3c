#include "engine/database_copy.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <string_view>

#include "engine/connection.h"
#include "engine/dbengine.h"
#include "engine/error.h"
#include "engine/foreign_messages.h"

namespace brenquil {

namespace fs = std::filesystem;

namespace {

// ".<name>.brenquil-copia-<pid>": hidden, so no folder search lists it, and
// distinct enough that cleaning never touches a file of the user's.
constexpr std::string_view kTag = ".brenquil-copia-";
// What SQLite may keep beside a file while it is open.
constexpr const char* kSideFiles[] = {"-journal", "-wal", "-shm"};

// The temporary copy's own name when `name` is a temporary copy or one of its
// side files.
std::optional<std::string> CopyNamed(const std::string& name) {
  if (name.size() < 2 || name[0] != '.') return std::nullopt;
  auto at = name.rfind(kTag);
  if (at == std::string::npos || at == 0) return std::nullopt;
  size_t digits = at + kTag.size();
  size_t end = digits;
  while (end < name.size() && std::isdigit(static_cast<unsigned char>(name[end]))) ++end;
  if (end == digits) return std::nullopt;
  std::string_view rest(name.data() + end, name.size() - end);
  if (rest.empty()) return name;
  for (const char* side : kSideFiles)
    if (rest == side) return name.substr(0, end);
  return std::nullopt;
}

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int Get() const { return fd_; }
  bool Valid() const { return fd_ >= 0; }

 private:
  int fd_;
};

Error SystemError(int number, const std::string& what, const std::string& path) {
  return MakeError(number, what + " '" + path + "': " + SpanishErrno(errno));
}

// Removes the file and the side files SQLite may have left beside it; the
// first removal that failed, if any.
std::optional<Error> RemoveWithSideFiles(const std::string& path) {
  std::optional<Error> failed;
  std::string names[] = {path, path + kSideFiles[0], path + kSideFiles[1], path + kSideFiles[2]};
  for (const std::string& name : names)
    if (::unlink(name.c_str()) != 0 && errno != ENOENT && !failed)
      failed = SystemError(err::kFileAccess, "no se pudo borrar la copia a medias", name);
  return failed;
}

// A new hidden file beside the target, held under an flock while it is
// written so that another run's cleaning leaves it alone. It goes, with
// whatever SQLite left beside it, when the object goes: after the copy is
// linked into place, or on failure.
class TemporaryCopy {
 public:
  explicit TemporaryCopy(const fs::path& target)
      : path_((target.parent_path() / ("." + target.filename().string() + std::string(kTag) +
                                        std::to_string(::getpid()))).string()),
        fd_(::open(path_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644)) {
    if (!fd_.Valid()) throw SystemError(err::kFileAccess, "no se pudo crear la copia", path_);
    if (::flock(fd_.Get(), LOCK_EX | LOCK_NB) != 0) {
      Error error = SystemError(err::kFileAccess, "no se pudo bloquear la copia", path_);
      ::unlink(path_.c_str());
      throw error;
    }
  }
  ~TemporaryCopy() { RemoveWithSideFiles(path_); }
  TemporaryCopy(const TemporaryCopy&) = delete;
  TemporaryCopy& operator=(const TemporaryCopy&) = delete;

  const std::string& Path() const { return path_; }
  int Fd() const { return fd_.Get(); }

 private:
  std::string path_;
  FileDescriptor fd_;
};

// A connection of our own to the temporary copy, closed when it goes.
std::unique_ptr<detail::Connection> OpenCopy(const std::string& temp, const std::string& to) {
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(temp.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
  // Errors name the file being made, not its temporary name.
  auto connection = std::make_unique<detail::Connection>(db, to, false);
  if (rc != SQLITE_OK) throw connection->Fail(rc, "al crear la copia");
  sqlite3_extended_result_codes(db, 1);
  return connection;
}

using Backup = std::unique_ptr<sqlite3_backup, decltype(&sqlite3_backup_finish)>;

// Fills the empty database of `target` with the committed pages of `source`.
void BackUp(detail::Connection& source, detail::Connection& target) {
  Backup backup(sqlite3_backup_init(target.Handle(), "main", source.Handle(), "main"), &sqlite3_backup_finish);
  if (!backup) throw target.Fail(sqlite3_extended_errcode(target.Handle()), "al copiar");
  int rc = sqlite3_backup_step(backup.get(), -1);
  // Finishing hands any error of the step to the target connection.
  backup.reset();
  if (rc != SQLITE_DONE) throw target.Fail(rc, "al copiar '" + source.Path() + "'");
}

// Writes the whole content of the file `path` to `fd`.
void CopyBytes(const std::string& path, int fd, const std::string& to) {
  FileDescriptor in(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!in.Valid()) throw SystemError(err::kFileAccess, "no se pudo leer", path);
  char buffer[1 << 16];
  for (;;) {
    ssize_t n = ::read(in.Get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw SystemError(err::kFileAccess, "no se pudo leer", path);
    if (n == 0) return;
    for (ssize_t done = 0; done < n;) {
      ssize_t w = ::write(fd, buffer + done, static_cast<size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w < 0) throw SystemError(err::kDiskError, "no se pudo escribir", to);
      done += w;
    }
  }
}

// A file that is only read cannot have its interrupted write undone, but its
// copy can: the file and its journal are copied as they are, and SQLite rolls
// the journal back in the copy when it first opens it (SettleAndCheck).
void CopyWithItsJournal(const std::string& from, const TemporaryCopy& temp, const std::string& to) {
  CopyBytes(from, temp.Fd(), to);
  const std::string journal = temp.Path() + kSideFiles[0];
  FileDescriptor out(::open(journal.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
  if (!out.Valid()) throw SystemError(err::kFileAccess, "no se pudo crear la copia", journal);
  CopyBytes(from + kSideFiles[0], out.Get(), to);
  if (::fsync(out.Get()) != 0) throw SystemError(err::kDiskError, "no se pudo escribir", to);
}

// The pages came with the model's header, which may ask for WAL mode; a fresh
// connection reads it as it is and switches the file to a rollback journal.
void SettleAndCheck(const std::string& from, const std::string& temp, const std::string& to) {
  auto target = OpenCopy(temp, to);
  {
    detail::Statement mode(*target, "PRAGMA journal_mode = DELETE");
    if (!mode.Step() || mode.Text(0).value_or("") != "delete")
      throw MakeError(err::kDiskError, "la copia '" + to + "' no pudo dejar el modo WAL");
  }
  detail::Statement check(*target, "PRAGMA integrity_check");
  std::string verdict = check.Step() ? check.Text(0).value_or("") : "";
  if (verdict != "ok")
    throw MakeError(err::kCannotOpen,
                    "la copia de '" + from + "' no pasa la comprobación de integridad: " + verdict);
}

void SyncFolder(const std::string& folder) {
  FileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  // The copy is whole already; only its name could be lost in a crash.
  if (fd.Valid()) ::fsync(fd.Get());
}

bool Exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

}  // namespace

void CopyDatabase(const std::string& from, const std::string& to, bool read_only) {
  DBEngine& engine = DBEngine::Instance();
  // An open batch of this process on `from` is committed first: the copy
  // takes what is committed.
  if (!read_only) engine.Release(from);
  std::shared_ptr<detail::Connection> source;
  try {
    source = engine.Connect(from, read_only);
  } catch (const Error&) {
    // Only read, a file whose interrupted write left a journal does not open.
    std::error_code ec;
    if (!read_only || fs::file_size(from + kSideFiles[0], ec) == 0 || ec) throw;
  }
  if (Exists(to)) throw MakeError(err::kFileAlreadyExists, "'" + to + "'");

  fs::path target(to);
  std::string folder = target.has_parent_path() ? target.parent_path().string() : ".";
  TemporaryCopy temp(target);
  if (source)
    BackUp(*source, *OpenCopy(temp.Path(), to));
  else
    CopyWithItsJournal(from, temp, to);
  SettleAndCheck(from, temp.Path(), to);
  if (::fsync(temp.Fd()) != 0) throw SystemError(err::kDiskError, "no se pudo escribir", to);

  // link() fails when `to` appeared meanwhile, so nothing is ever replaced.
  if (::link(temp.Path().c_str(), to.c_str()) != 0) {
    if (errno == EEXIST) throw MakeError(err::kFileAlreadyExists, "'" + to + "'");
    // A file system without hard links: rename, after checking again.
    if (Exists(to)) throw MakeError(err::kFileAlreadyExists, "'" + to + "'");
    if (::rename(temp.Path().c_str(), to.c_str()) != 0)
      throw SystemError(err::kFileAccess, "no se pudo poner en su sitio", to);
  }
  SyncFolder(folder);
}

void CopyScratchDatabase(const std::string& from, const std::string& to) {
  DBEngine& engine = DBEngine::Instance();
  // An open batch of this process on `from` is committed first (a plan's is
  // rolled back): the copy takes what is committed.
  engine.Release(from);
  std::shared_ptr<detail::Connection> source = engine.Connect(from, false);
  if (Exists(to)) throw MakeError(err::kFileAlreadyExists, "'" + to + "'");
  try {
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(to.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                             nullptr);
    detail::Connection target(db, to, false);
    if (rc != SQLITE_OK) throw target.Fail(rc, "al crear la copia");
    target.Exec("PRAGMA synchronous = OFF");
    target.Exec("PRAGMA journal_mode = OFF");
    BackUp(*source, target);
  } catch (const Error&) {
    RemoveWithSideFiles(to);
    throw;
  }
}

void CheckCopySource(const std::string& from) {
  try {
    DBEngine::Instance().Connect(from, kReadOnly)->CheckIntact();
  } catch (const Error&) {
    std::error_code ec;
    if (fs::file_size(from + kSideFiles[0], ec) == 0 || ec) throw;
  }
}

void RemoveStaleCopies(const std::string& folder) {
  std::set<std::string> copies;
  std::error_code ec;
  for (auto it = fs::directory_iterator(folder, ec); !ec && it != fs::directory_iterator();
       it.increment(ec))
    if (auto copy = CopyNamed(it->path().filename().string())) copies.insert(*copy);

  std::optional<Error> first;
  for (const std::string& name : copies) {
    std::string path = (fs::path(folder) / name).string();
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (fd.Valid()) {
      // A copy under way is held by its writer.
      if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) continue;
    } else if (errno != ENOENT) {
      if (!first) first = SystemError(err::kFileAccess, "no se pudo abrir la copia a medias", path);
      continue;
    }
    if (auto failed = RemoveWithSideFiles(path); failed && !first) first = failed;
  }
  if (first) throw *first;
}

}  // namespace brenquil
