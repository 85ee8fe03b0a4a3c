// The way back of a run: before a run changes an old database, a copy of it
// goes into a folder of its own under the folder the operator chose, named
// after the moment the run took its first copy (yyyymmdd-hhmmss). Each copy
// keeps its database's file name, so restoring is copying it back into the
// data folder. Owned by the run that takes the copies.
#pragma once

#include <set>
#include <string>
#include <utility>

namespace brenquil {

class RunBackups {
 public:
  // `folder` empty: the run takes no copies.
  explicit RunBackups(std::string folder) : folder_(std::move(folder)) {}

  bool Wanted() const { return !folder_.empty(); }

  // Copies the committed content of `database` (see CopyDatabase) into the
  // run's folder, made at the first copy, and returns the copy's path. A
  // database already copied by this run keeps its first copy. Error 76 when
  // the chosen folder does not exist, 75 when the run's folder cannot be
  // made, and CopyDatabase's errors; on failure no copy is left.
  std::string Copy(const std::string& database);

 private:
  std::string RunFolder();

  std::string folder_;
  std::string run_folder_;
  std::set<std::string> copied_;
};

}  // namespace brenquil
