// RunLock: one transformation at a time per installation. While it lives it
// holds an exclusive lock on the home folder itself and, for a run that may
// change files, on a hidden file of the home folder too (a plan creates no
// file, not even that one); the locks go with the object, or with the
// process however it ends, so a crashed run never blocks the next one.
#pragma once

#include <string>

namespace brenquil {

class RunLock {
 public:
  // Takes the installation `home` at once or refuses: Error 3045 naming the
  // installation when another run or plan holds it, Error 75 when the lock
  // cannot be opened. Waits for nothing. With `plan`, writes nothing.
  explicit RunLock(const std::string& home, bool plan = false);
  ~RunLock();
  RunLock(const RunLock&) = delete;
  RunLock& operator=(const RunLock&) = delete;

  // The hidden lock file of the installation `home`.
  static std::string LockFile(const std::string& home);

 private:
  int file_fd_ = -1;
  int folder_fd_ = -1;
};

}  // namespace brenquil
