#include "shell/run_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "engine/error.h"
#include "shell/paths.h"

namespace brenquil {

std::string RunLock::LockFile(const std::string& home) {
  return Paths::Join(Paths(home).Home(), ".brenquil-transformando");
}

RunLock::RunLock(const std::string& home) {
  const std::string path = LockFile(home);
  // The file stays between runs: removing it could let two runs lock two
  // different files of the same name. A home the user may only read still
  // locks through an existing file.
  fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd_ < 0) fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0)
    throw MakeError(err::kFileAccess, "no se pudo abrir el cerrojo de la instalación '" + home +
                                          "' ('" + path + "'): " + std::strerror(errno));
  int rc;
  do rc = ::flock(fd_, LOCK_EX | LOCK_NB);
  while (rc != 0 && errno == EINTR);
  if (rc == 0) return;
  int reason = errno;
  ::close(fd_);
  if (reason == EWOULDBLOCK)
    throw MakeError(err::kFileInUse, "la instalación '" + home +
                                         "' está transformando sus bases en otra ejecución; "
                                         "espere a que termine e inténtelo de nuevo");
  throw MakeError(err::kFileAccess, "no se pudo bloquear la instalación '" + home + "' ('" +
                                        path + "'): " + std::strerror(reason));
}

RunLock::~RunLock() { ::close(fd_); }

}  // namespace brenquil
