#include "shell/paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "engine/error.h"
#include "engine/foreign_messages.h"

namespace brenquil {

namespace fs = std::filesystem;

namespace {
std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

bool EndsWithMdb(const std::string& name) {
  return name.size() >= 4 && Lower(name.substr(name.size() - 4)) == ".mdb";
}
}  // namespace

Paths::Paths(std::string home) : home_(std::move(home)) {
  while (home_.size() > 1 && home_.back() == '/') home_.pop_back();
}

std::string Paths::ModelsFolder() const { return Join(home_, "modelos"); }
std::string Paths::ModelPath(const std::string& name) const { return Join(ModelsFolder(), name); }
std::string Paths::CatalogPath(const std::string& file) const { return Join(home_, file); }

std::string Paths::DefaultDataFolder() {
#ifdef _WIN32
  return "c:\\archivos de programa\\zorv 2000\\bases";
#else
  return "/archivos de programa/zorv 2000/bases";
#endif
}

std::string Paths::FallbackDataFolder() {
#ifdef _WIN32
  return "c:\\";
#else
  return "/";
#endif
}

std::string Paths::CheckedDataFolder(const std::optional<std::string>& given) {
  std::error_code ec;
  if (given) {
    if (!fs::is_directory(*given, ec))
      throw MakeError(err::kPathNotFound, "la carpeta de datos '" + *given +
                                              "' indicada con --data no existe o no es una carpeta.");
    return *given;
  }
  const std::string folder = DefaultDataFolder();
  if (!fs::is_directory(folder, ec))
    throw MakeError(err::kPathNotFound, "la carpeta de datos por omisión '" + folder +
                                            "' no existe; indique la carpeta de las bases viejas con "
                                            "--data CARPETA.");
  return folder;
}

std::string Paths::Join(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

std::vector<std::string> SearchDatabases(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (auto it = fs::directory_iterator(folder, ec); !ec && it != fs::directory_iterator();
       it.increment(ec)) {
    std::string name = it->path().filename().string();
    if (name.empty() || name[0] == '.') continue;  // hidden, "." and ".."
    if (EndsWithMdb(name)) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

void ResetAttributes(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0)
    throw MakeError(err::kFileMissing, "'" + path + "'");
  mode_t wanted = st.st_mode | S_IWUSR;
  if (S_ISDIR(st.st_mode)) wanted |= S_IXUSR | S_IRUSR;
  if (wanted != st.st_mode && ::chmod(path.c_str(), wanted & 07777) != 0)
    throw MakeError(err::kFileAccess, "'" + path + "': " + SpanishErrno(errno));
}

bool FolderWritable(const std::string& folder) {
  struct stat st {};
  return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_IWUSR) &&
         ::access(folder.c_str(), W_OK) == 0;
}

std::string ProgramFolder() {
  std::error_code ec;
  auto exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return fs::current_path().string();
  return exe.parent_path().string();
}

bool NameTakenInFolder(const std::string& folder, const std::string& name) {
  std::string wanted = Lower(name);
  std::error_code ec;
  for (auto it = fs::directory_iterator(folder, ec); !ec && it != fs::directory_iterator();
       it.increment(ec)) {
    std::string entry = it->path().filename().string();
    std::string bare = !entry.empty() && entry[0] == '.' ? entry.substr(1) : entry;
    if (Lower(entry) == wanted || Lower(bare) == wanted) return true;
  }
  return false;
}

}  // namespace brenquil
