// A new file made under a hidden temporary name beside its final one and
// renamed into place only when complete: the final name never holds half a
// file, and an existing file under it is never replaced (the rename refuses
// to). Until Publish, destroying the object removes the temporary file and
// the journal files SQLite may have left beside it.
#pragma once

#include <string>

namespace brenquil::jet {

class PendingFile {
 public:
  // Error 3204 when `final_path` exists, 76 when its folder does not.
  explicit PendingFile(const std::string& final_path);
  ~PendingFile();
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  const std::string& TempPath() const { return temp_; }
  const std::string& FinalPath() const { return final_; }
  // Flushes the temporary file to disk and renames it to the final name,
  // then flushes the folder. Error 3204 (the temporary file removed) when a
  // file appeared under the final name meanwhile.
  void Publish();

 private:
  void Remove();
  std::string final_;
  std::string folder_;
  std::string temp_;
  bool published_ = false;
};

}  // namespace brenquil::jet
