#include "jet/installation_import.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>

#include "engine/dbengine.h"
#include "engine/error.h"
#include "jet/jet_file.h"
#include "jet/jet_import.h"

namespace brenquil::jet {

namespace fs = std::filesystem;

namespace {

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

std::string Join(const std::string& folder, const std::string& name) {
  return (fs::path(folder) / name).string();
}

bool Exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

std::string Stamp() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
  return text;
}

// One stamp for the whole run, whose folder of originals exists in none of
// the folders yet: a second run in the same second gets "-2", and no
// original is ever put where another run's lies.
std::string RunStamp(const std::vector<InstallationFolder>& folders) {
  const std::string base = Stamp();
  for (int n = 1;; ++n) {
    std::string stamp = n == 1 ? base : base + "-" + std::to_string(n);
    bool free = std::none_of(folders.begin(), folders.end(), [&](const InstallationFolder& f) {
      return Exists(Join(Join(f.path, kOriginalsFolder), stamp));
    });
    if (free) return stamp;
  }
}

bool SqliteFile(const std::string& path) {
  char header[16] = {};
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) return false;  // a named pipe would wait for a writer
  std::ifstream in(path, std::ios::binary);
  in.read(header, sizeof header);
  return in.gcount() == sizeof header && std::memcmp(header, "SQLite format 3", 16) == 0;
}

// Why a file that is not a Jet file is left as it is.
std::string WhyLeftAlone(const std::string& path) {
  std::error_code ec;
  if (fs::is_directory(path, ec)) return "es una carpeta, no una base de datos";
  if (SqliteFile(path)) return "ya es una base de datos del motor";
  return "no es una base de datos Jet; no se toca";
}

void SyncFolder(const std::string& folder) {
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// Renames `from` to `to`, never over a file there. errno on failure.
int RenameNoReplace(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  int e = errno;
  if (e != EINVAL && e != ENOSYS) return e;
  // A file system without the exchange-free rename: a hard link refuses too.
  if (::link(from.c_str(), to.c_str()) != 0) return errno;
  ::unlink(from.c_str());
  return 0;
}

// A hidden name, free, beside `path`, for its conversion.
std::string TemporaryName(const std::string& path) {
  fs::path p(path);
  std::random_device random;
  for (;;) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, "%08x", random());
    std::string candidate =
        (p.parent_path() / ("." + p.filename().string() + ".jet-" + suffix)).string();
    if (!Exists(candidate)) return candidate;
  }
}

// Converts one Jet file in place; see the header for the order of things.
void ConvertInto(InstallationFile& file, const std::string& originals) {
  const fs::path path(file.path);
  // The folder is made before the long work: a folder where it cannot be
  // made refuses the file at once.
  std::error_code ec;
  fs::create_directories(originals, ec);
  if (ec)
    throw MakeError(err::kFileAccess, "no se pudo crear la carpeta " + Quoted(originals) +
                                          " para guardar el original: " + ec.message());
  const std::string original = Join(originals, path.filename().string());
  const std::string temporary = TemporaryName(file.path);
  file.report = ImportJet(file.path, temporary);
  DBEngine::Instance().CloseIdle();
  struct RemoveTemporary {
    const std::string& path;
    bool keep = false;
    ~RemoveTemporary() {
      if (!keep) ::unlink(path.c_str());
    }
  } remove_temporary{temporary};
  if (int e = RenameNoReplace(file.path, original))
    throw MakeError(err::kFileAccess, "no se pudo llevar " + Quoted(file.path) + " a " +
                                          Quoted(original) + ": " + std::strerror(e));
  if (int e = RenameNoReplace(temporary, file.path)) {
    // The original goes back to its place.
    RenameNoReplace(original, file.path);
    throw MakeError(e == EEXIST ? err::kDatabaseExists : err::kFileAccess,
                    "no se pudo dar el nombre " + Quoted(file.path) +
                        " a la base convertida: " + std::strerror(e));
  }
  remove_temporary.keep = true;
  SyncFolder(originals);
  SyncFolder(path.parent_path().string());
  file.report.output = file.path;
  file.original = original;
  file.outcome = FileOutcome::kConverted;
}

void Convert(InstallationFile& file, const std::string& stamp) {
  const fs::path path(file.path);
  const fs::path keep = fs::path(path.parent_path()) / kOriginalsFolder;
  try {
    ConvertInto(file, (keep / stamp).string());
  } catch (...) {
    // A failed file leaves no empty folder of originals behind (remove
    // takes only an empty folder).
    std::error_code ec;
    fs::remove(keep / stamp, ec);
    fs::remove(keep, ec);
    throw;
  }
}

}  // namespace

int InstallationImport::Count(FileOutcome outcome) const {
  return static_cast<int>(std::count_if(files.begin(), files.end(),
                                        [&](const InstallationFile& f) { return f.outcome == outcome; }));
}

bool InstallationImport::Complete() const {
  return std::all_of(files.begin(), files.end(), [](const InstallationFile& f) {
    return f.outcome == FileOutcome::kLeftAlone ||
           (f.outcome == FileOutcome::kConverted && f.report.Complete());
  });
}

std::vector<std::string> DatabaseNames(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::string name = it->path().filename().string();
    if (name.empty() || name[0] == '.' || name.size() < 4) continue;
    std::string tail = name.substr(name.size() - 4);
    std::transform(tail.begin(), tail.end(), tail.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (tail == ".mdb") names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool AnyJetFile(const std::vector<std::string>& folders) {
  for (const auto& folder : folders)
    for (const auto& name : DatabaseNames(folder))
      if (IsJetFile(Join(folder, name))) return true;
  return false;
}

InstallationImport ImportInstallation(const std::vector<InstallationFolder>& folders,
                                      const ImportProgress& progress) {
  std::vector<InstallationFolder> unique;
  for (const auto& folder : folders) {
    std::error_code ec;
    if (!fs::is_directory(folder.path, ec))
      throw MakeError(err::kPathNotFound, Quoted(folder.path) + " (la carpeta de " + folder.role +
                                              "s no existe)");
    bool seen = std::any_of(unique.begin(), unique.end(), [&](const InstallationFolder& u) {
      std::error_code same;
      return fs::equivalent(u.path, folder.path, same);
    });
    if (!seen) unique.push_back(folder);
  }
  InstallationImport run;
  run.stamp = RunStamp(unique);
  for (const auto& folder : unique)
    for (const auto& name : DatabaseNames(folder.path)) {
      InstallationFile file;
      file.path = Join(folder.path, name);
      file.role = folder.role;
      run.files.push_back(std::move(file));
    }
  for (std::size_t i = 0; i < run.files.size(); ++i) {
    InstallationFile& file = run.files[i];
    if (progress) progress(file.path, i + 1, run.files.size());
    if (!IsJetFile(file.path)) {
      file.why = WhyLeftAlone(file.path);
      continue;
    }
    try {
      Convert(file, run.stamp);
    } catch (const Error& error) {
      file.outcome = FileOutcome::kFailed;
      file.error = error.Number();
      file.why = error.Text();
      file.report = ImportReport{};
    }
  }
  return run;
}

}  // namespace brenquil::jet
