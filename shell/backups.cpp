#include "shell/backups.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "engine/database_copy.h"
#include "engine/error.h"
#include "engine/foreign_messages.h"
#include "shell/paths.h"

namespace brenquil {

namespace {

std::string Stamp() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
  return text;
}

}  // namespace

std::string RunBackups::RunFolder() {
  if (!run_folder_.empty()) return run_folder_;
  Prepare();
  // Two runs in the same second each get a folder of their own: mkdir makes
  // a folder only when none of that name exists.
  const std::string stamp = Stamp();
  for (int n = 1; n < 100; ++n) {
    std::string path = Paths::Join(folder_, n == 1 ? stamp : stamp + "-" + std::to_string(n));
    if (::mkdir(path.c_str(), 0755) == 0) return run_folder_ = path;
    if (errno != EEXIST)
      throw MakeError(err::kFileAccess, "no se pudo crear la carpeta de copias '" + path + "' (" +
                                            SpanishErrno(errno) + ").");
  }
  throw MakeError(err::kFileAccess, "no se pudo crear una carpeta de copias nueva en '" + folder_ + "'.");
}

void RunBackups::Prepare() const {
  std::error_code ec;
  std::filesystem::create_directories(folder_, ec);
  if (ec || !std::filesystem::is_directory(folder_))
    throw MakeError(err::kFileAccess, "no se pudo crear la carpeta de las copias de seguridad '" + folder_ +
                                          "' (" + (ec ? SpanishErrno(ec.value()) : std::string("no es una carpeta")) +
                                          ").");
}

std::string RunBackups::Copy(const std::string& database) {
  const std::string name = std::filesystem::path(database).filename().string();
  const std::string to = Paths::Join(RunFolder(), name);
  if (!copied_.insert(name).second) return to;
  try {
    CopyDatabase(database, to);
  } catch (...) {
    copied_.erase(name);
    throw;
  }
  return to;
}

void RunBackups::RemoveRunFolderIfEmpty() {
  // rmdir removes only an empty folder: one holding a copy stays.
  if (!run_folder_.empty() && ::rmdir(run_folder_.c_str()) == 0) run_folder_.clear();
}

}  // namespace brenquil
