#include "shell/run_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "engine/error.h"
#include "engine/foreign_messages.h"
#include "shell/paths.h"

namespace brenquil {

namespace {

// Locks `fd` at once, or closes it and throws.
void LockOrRefuse(int fd, const std::string& home, const std::string& path) {
  int rc;
  do rc = ::flock(fd, LOCK_EX | LOCK_NB);
  while (rc != 0 && errno == EINTR);
  if (rc == 0) return;
  int reason = errno;
  ::close(fd);
  if (reason == EWOULDBLOCK)
    throw MakeError(err::kFileInUse, "la instalación '" + home +
                                         "' está transformando sus bases en otra ejecución; "
                                         "espere a que termine e inténtelo de nuevo");
  throw MakeError(err::kFileAccess, "no se pudo bloquear la instalación '" + home + "' ('" +
                                        path + "'): " + SpanishErrno(reason));
}

}  // namespace

std::string RunLock::LockFile(const std::string& home) {
  return Paths::Join(Paths(home).Home(), ".brenquil-transformando");
}

RunLock::RunLock(const std::string& home, bool plan) {
  const std::string folder = Paths(home).Home();
  if (!plan) {
    const std::string path = LockFile(home);
    // The file stays between runs: removing it could let two runs lock two
    // different files of the same name. A home the user may only read still
    // locks through an existing file.
    file_fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (file_fd_ < 0) file_fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (file_fd_ < 0)
      throw MakeError(err::kFileAccess, "no se pudo abrir el cerrojo de la instalación '" + home +
                                            "' ('" + path + "'): " + SpanishErrno(errno));
    LockOrRefuse(file_fd_, home, path);
  }
  // The folder itself is locked by runs and plans alike: a plan writes into
  // the catalogues (and takes that back), which a run must not meet.
  folder_fd_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder_fd_ < 0) {
    Error error = MakeError(err::kFileAccess, "no se pudo abrir la carpeta de la instalación '" +
                                                  home + "': " + SpanishErrno(errno));
    if (file_fd_ >= 0) ::close(file_fd_);
    throw error;
  }
  try {
    LockOrRefuse(folder_fd_, home, folder);
  } catch (...) {
    if (file_fd_ >= 0) ::close(file_fd_);
    throw;
  }
}

RunLock::~RunLock() {
  ::close(folder_fd_);
  if (file_fd_ >= 0) ::close(file_fd_);
}

}  // namespace brenquil
