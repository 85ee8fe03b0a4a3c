// The way back of a run: just before a run first changes an old database, a
// copy of it goes into a folder of its own under the folder the operator
// chose, named after the moment the run took its first copy
// (yyyymmdd-hhmmss). Only the databases the run changes are copied, so a run
// that changes nothing leaves no copy and no folder. Each copy keeps its
// database's file name, so restoring is copying it back into the data
// folder. Owned by the run that takes the copies.
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
  const std::string& Folder() const { return folder_; }

  // Makes the chosen folder, and the folders above it, when missing. Error 75
  // naming it when it cannot be made or is not a folder; both front ends call
  // it before a run starts, so a folder that cannot be made refuses the run
  // before anything changes.
  void Prepare() const;

  // Copies the committed content of `database` (see CopyDatabase) into the
  // run's folder, made at the first copy, and returns the copy's path. A
  // database already copied by this run keeps its first copy. Prepare's
  // errors, 75 when the run's folder cannot be made, and CopyDatabase's
  // errors; on failure no copy is left.
  std::string Copy(const std::string& database);

  // A run shared among processes takes its copies into one folder: the
  // parent makes it (MakeRunFolder) and each worker is given it
  // (UseRunFolder). A folder left empty is removed by RemoveRunFolderIfEmpty.
  std::string MakeRunFolder() { return RunFolder(); }
  void UseRunFolder(std::string folder) { run_folder_ = std::move(folder); }
  void RemoveRunFolderIfEmpty();

 private:
  std::string RunFolder();

  std::string folder_;
  std::string run_folder_;
  std::set<std::string> copied_;
};

}  // namespace brenquil
