#include "jet/pending_file.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>

#include "engine/error.h"

namespace brenquil::jet {

namespace fs = std::filesystem;

namespace {

void Sync(const std::string& path, int flags, const std::string& what) {
  int fd = ::open(path.c_str(), flags);
  if (fd < 0 || ::fsync(fd) != 0) {
    int e = errno;
    if (fd >= 0) ::close(fd);
    throw MakeError(err::kDiskError,
                    "no se pudo llevar al disco " + what + " '" + path + "': " + std::strerror(e));
  }
  ::close(fd);
}

bool Exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

}  // namespace

PendingFile::PendingFile(const std::string& final_path) : final_(final_path) {
  if (Exists(final_))
    throw MakeError(err::kDatabaseExists,
                    "'" + final_ + "': no se reemplaza un archivo que ya existe");
  fs::path p(final_);
  folder_ = p.parent_path().empty() ? "." : p.parent_path().string();
  std::error_code ec;
  if (!fs::is_directory(folder_, ec)) throw MakeError(err::kPathNotFound, "'" + folder_ + "'");
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, "%08x", random());
    std::string hidden = ".";
    hidden.append(p.filename().string()).append(".importando-").append(suffix);
    std::string candidate = (fs::path(folder_) / hidden).string();
    if (!Exists(candidate) && !Exists(candidate + "-journal") && !Exists(candidate + "-wal")) {
      temp_ = candidate;
      return;
    }
  }
  throw MakeError(err::kFileAccess, "no se encontró un nombre temporal libre en '" + folder_ + "'");
}

PendingFile::~PendingFile() {
  if (!published_) Remove();
}

void PendingFile::Remove() {
  for (const char* tail : {"", "-journal", "-wal", "-shm"}) ::unlink((temp_ + tail).c_str());
}

void PendingFile::Publish() {
  Sync(temp_, O_RDONLY, "el archivo");
  // renameat2 with RENAME_NOREPLACE: the one step that cannot replace a file
  // that appeared under the final name since the start.
  if (::renameat2(AT_FDCWD, temp_.c_str(), AT_FDCWD, final_.c_str(), RENAME_NOREPLACE) != 0) {
    int e = errno;
    if (e == EEXIST)
      throw MakeError(err::kDatabaseExists,
                      "'" + final_ + "': apareció mientras se importaba; no se reemplaza");
    if (e != EINVAL && e != ENOSYS)
      throw MakeError(err::kFileAccess, "no se pudo dar el nombre '" + final_ +
                                            "' a la base importada: " + std::strerror(e));
    // A file system without the exchange-free rename: a hard link refuses too.
    if (::link(temp_.c_str(), final_.c_str()) != 0) {
      e = errno;
      throw MakeError(
          e == EEXIST ? err::kDatabaseExists : err::kFileAccess,
          "no se pudo dar el nombre '" + final_ + "' a la base importada: " + std::strerror(e));
    }
    ::unlink(temp_.c_str());
  }
  published_ = true;
  Remove();  // journal files the closed connections may have left
  Sync(folder_, O_RDONLY | O_DIRECTORY, "la carpeta");
}

}  // namespace brenquil::jet
