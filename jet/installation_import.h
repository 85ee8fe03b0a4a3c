// Making a whole installation ready in one step: every genuine Jet file among
// the models and the old databases becomes an engine database under its own
// name, its original kept in jet-originales/AAAAMMDD-HHMMSS/ beside it. Owns
// the files it converts while it runs; the caller owns the folders, and keeps
// every transformation away meanwhile (the command line and the window hold
// the installation's RunLock).
//
// Safety, file by file: the Jet file is only read (ImportJet), and its
// conversion is made under a hidden temporary name in its own folder, so
// while the long work goes on the original stays where it is. Only a
// complete, checked conversion moves the original into jet-originales/ and
// takes its place, by two renames in a row. A failure leaves the original at
// its place and no temporary file; a killed import leaves at most a hidden
// temporary file, never half a file under the final name, and the original
// either at its place or, once moved, whole in jet-originales/.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "jet/import_report.h"

namespace brenquil::jet {

// The folder, beside each converted file, where its Jet original is kept.
inline constexpr const char* kOriginalsFolder = "jet-originales";

// A folder of databases to look through, and what its files are to the
// operator ("modelo", "base vieja").
struct InstallationFolder {
  std::string path;
  std::string role;
};

enum class FileOutcome {
  kConverted,  // an engine database now, the Jet original in jet-originales/
  kLeftAlone,  // not a Jet file: untouched
  kFailed,     // a Jet file that could not be converted: still in its place
};

struct InstallationFile {
  std::string path;  // where the file is, before and after
  std::string role;  // its folder's role
  FileOutcome outcome = FileOutcome::kLeftAlone;
  std::string original;  // converted: the Jet original's new place
  std::string why;       // left alone or failed: why, in Spanish
  int error = 0;         // failed: the error's number
  ImportReport report;   // converted: what arrived and what did not
};

struct InstallationImport {
  std::string stamp;  // the run's AAAAMMDD-HHMMSS: one folder of originals for the run
  std::vector<InstallationFile> files;

  int Count(FileOutcome outcome) const;
  // Every Jet file converted, and nothing of any of them left out.
  bool Complete() const;
};

// The names of the databases of `folder` as the window lists them ("*.mdb"
// in any letter case, hidden entries left out), sorted; empty when the
// folder does not exist.
std::vector<std::string> DatabaseNames(const std::string& folder);

// True when some database of the folders is a genuine Jet file. Reads only
// the first bytes of each; never throws.
bool AnyJetFile(const std::vector<std::string>& folders);

// Called before each file is looked at: its path, its position from 1, and
// the number of files.
using ImportProgress = std::function<void(const std::string& path, std::size_t position, std::size_t count)>;

// Converts every genuine Jet file of `folders` as the header says. Throws
// Error 76, naming it, when a folder does not exist, before any file is
// touched; every other failure is the failed file's, in its entry, and the
// next file goes on. A folder named twice is looked through once. Must not
// be called inside an engine batch.
InstallationImport ImportInstallation(const std::vector<InstallationFolder>& folders,
                                      const ImportProgress& progress = {});

}  // namespace brenquil::jet
