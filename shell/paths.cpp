#include "shell/paths.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
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

namespace {
std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// `inner` is `outer` or lies below it; both made absolute and normal first.
bool Within(const std::string& inner, const std::string& outer) {
  std::error_code ec;
  std::string a = fs::weakly_canonical(inner, ec).string();
  if (ec) return false;
  std::string b = fs::weakly_canonical(outer, ec).string();
  if (ec || b.empty()) return false;
  if (b.back() != '/') b += '/';
  return (a + "/").compare(0, b.size(), b) == 0;
}
}  // namespace

HomeLookup HomeLookup::FromProcess(const std::string& option) {
  HomeLookup lookup;
  lookup.option = option;
  lookup.environment = Environment("BRENQUIL_HOME");
  lookup.program_folder = ProgramFolder();
#ifdef BRENQUIL_BUILD_TREE
  lookup.build_tree = BRENQUIL_BUILD_TREE;
#endif
  lookup.xdg_data_home = Environment("XDG_DATA_HOME");
  lookup.user_home = Environment("HOME");
  if (lookup.user_home.empty())
    if (const passwd* user = ::getpwuid(::getuid()); user && user->pw_dir)
      lookup.user_home = user->pw_dir;
  return lookup;
}

HomeChoice ChooseHome(const HomeLookup& lookup) {
  if (!lookup.option.empty()) return {lookup.option, HomeSource::kOption};
  if (!lookup.environment.empty()) return {lookup.environment, HomeSource::kEnvironment};
  if (!lookup.build_tree.empty() && !lookup.program_folder.empty() &&
      Within(lookup.program_folder, lookup.build_tree))
    return {lookup.program_folder, HomeSource::kBuildTree};
  // A relative XDG_DATA_HOME is invalid and ignored, as the XDG base
  // directory rules say.
  std::string data = lookup.xdg_data_home;
  if (data.empty() || data[0] != '/') {
    if (lookup.user_home.empty())
      throw MakeError(err::kPathNotFound,
                      "no se sabe la carpeta personal del usuario para la instalación: "
                      "indique una con --home o con la variable BRENQUIL_HOME");
    data = Paths::Join(Paths::Join(lookup.user_home, ".local"), "share");
  }
  return {Paths::Join(data, "brenquil"), HomeSource::kUserData};
}

HomeChoice ChooseHome(const std::string& option) {
  return ChooseHome(HomeLookup::FromProcess(option));
}

bool InstallationAbsent(const std::string& home) {
  Paths paths(home);
  std::error_code ec;
  for (const auto& catalogue :
       {paths.IndexCatalog(), paths.RelationCatalog(), paths.QueryCatalog()})
    if (fs::exists(catalogue, ec)) return false;
  return true;
}

std::string HomeRuleText() {
  return "Instalación (la carpeta de modelos/, los catálogos indices.mdb, relacion.mdb\n"
         "y consulta.mdb y la base de ejemplo Neptuno.mdb): la carpeta de --home; sin\n"
         "--home, la de la variable BRENQUIL_HOME; sin ella, la carpeta del programa si\n"
         "este se ejecuta desde la carpeta en la que se compiló; si no,\n"
         "$XDG_DATA_HOME/brenquil (~/.local/share/brenquil si XDG_DATA_HOME no está\n"
         "definida), que crean «brenquil-cli setup» y el primer arranque de brenquil.\n";
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
