// RunLock: one transformation at a time per installation. While it lives it
// holds an exclusive lock on a hidden file of the home folder; the lock goes
// with the object, or with the process however it ends, so a crashed run
// never blocks the next one.
#pragma once

#include <string>

namespace brenquil {

class RunLock {
 public:
  // Takes the installation `home` at once or refuses: Error 3045 naming the
  // installation when another run holds it, Error 75 when the lock file can
  // neither be made nor opened. Waits for nothing.
  explicit RunLock(const std::string& home);
  ~RunLock();
  RunLock(const RunLock&) = delete;
  RunLock& operator=(const RunLock&) = delete;

  // The hidden lock file of the installation `home`.
  static std::string LockFile(const std::string& home);

 private:
  int fd_;
};

}  // namespace brenquil
