// Every path of an installation, built in one place: which folder is the home
// folder (models, catalogues, sample database) when none is given, the paths
// inside it, and the data folder of the old databases; and the file-system
// operations the window needs (folder search, attributes).
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace brenquil {

class Paths {
 public:
  explicit Paths(std::string home);

  const std::string& Home() const { return home_; }
  std::string ModelsFolder() const;                 // home/modelos
  std::string ModelPath(const std::string& name) const;
  std::string CatalogPath(const std::string& file) const;  // home/indices.mdb ...
  // The three catalogues the steps work in; in the home folder unless a run
  // gave this process copies of its own elsewhere (UseCatalogueFolder).
  std::string IndexCatalog() const { return WorkingCatalog("indices.mdb"); }
  std::string RelationCatalog() const { return WorkingCatalog("relacion.mdb"); }
  std::string QueryCatalog() const { return WorkingCatalog("consulta.mdb"); }
  // A worker of a run shared among processes works in its own copies of
  // the catalogues, in `folder`, so no two processes fill one catalogue.
  void UseCatalogueFolder(std::string folder) { catalogue_folder_ = std::move(folder); }
  std::string SampleDatabase() const { return CatalogPath("Neptuno.mdb"); }
  // Where "Copia de seguridad" proposes to keep the copies: home/copias.
  std::string BackupsFolder() const { return Join(home_, "copias"); }

  // "/archivos de programa/zorv 2000/bases" (Windows: "c:\archivos de
  // programa\zorv 2000\bases"), and its fallback, the root.
  static std::string DefaultDataFolder();
  static std::string FallbackDataFolder();

  // The data folder a front end starts in: `given` (the --data option) when
  // set, otherwise the default data folder. Error 76 naming the folder, and
  // saying to choose one with --data, when it is not a folder: the fallback
  // is never chosen here, so no run copies models into a folder nobody chose.
  static std::string CheckedDataFolder(const std::optional<std::string>& given);

  // folder + separator + name, with no doubled separator at a root.
  static std::string Join(const std::string& folder, const std::string& name);

 private:
  std::string WorkingCatalog(const std::string& file) const {
    return catalogue_folder_.empty() ? CatalogPath(file) : Join(catalogue_folder_, file);
  }

  std::string home_;
  std::string catalogue_folder_;
};

// Names in `folder` matching "*.mdb" (the extension in any letter case),
// folders included, hidden entries (a leading dot) and "." and ".." left out,
// sorted by name. A missing folder gives no names.
std::vector<std::string> SearchDatabases(const std::string& folder);

// Makes `path` normal: owner-writable. Error 53 when it does not exist.
void ResetAttributes(const std::string& path);

// True when files can be made in `folder`: it exists, has its owner's write
// bit (read-only is the lack of it, for root too) and this process may write
// it. A database in a folder that is not writable cannot be changed either:
// SQLite makes its journal beside it.
bool FolderWritable(const std::string& folder);

// The folder of the running executable.
std::string ProgramFolder();

// Which folder is the installation, in this order: the folder given with
// --home; else the environment variable BRENQUIL_HOME; else, for a program
// run from the build folder it was built in, the program's own folder; else
// the folder "brenquil" in the user's data folder ($XDG_DATA_HOME, by default
// ~/.local/share), which `brenquil-cli setup` and the window's first start make.
enum class HomeSource { kOption, kEnvironment, kBuildTree, kUserData };

struct HomeChoice {
  std::string folder;
  HomeSource source;
};

// What the rule reads; FromProcess fills it from the running process.
struct HomeLookup {
  std::string option;          // --home; empty when not given
  std::string environment;     // BRENQUIL_HOME
  std::string program_folder;  // the running program's folder
  std::string build_tree;      // the build folder the program was built in
  std::string xdg_data_home;   // XDG_DATA_HOME
  std::string user_home;       // HOME, else the user's home from the password file

  static HomeLookup FromProcess(const std::string& option);
};

// Throws Error 76 when the rule ends at the user's data folder and neither
// XDG_DATA_HOME (absolute) nor the user's home folder is known.
HomeChoice ChooseHome(const HomeLookup& lookup);
HomeChoice ChooseHome(const std::string& option);  // ChooseHome(FromProcess(option))

// True when `home` holds none of the three catalogues: an installation not
// yet made, which the window makes on its first start.
bool InstallationAbsent(const std::string& home);

// The rule above in Spanish, in lines of at most 80 columns, for both
// programs' --help and their manual pages.
std::string HomeRuleText();

// True when an entry of that name, in any letter case or hidden, exists in
// `folder`, i.e. a copy named `name` could replace or shadow it.
bool NameTakenInFolder(const std::string& folder, const std::string& name);

}  // namespace brenquil
