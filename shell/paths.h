// Every path of an installation, built in one place: the home folder (models,
// catalogues, sample database) and the data folder of the old databases; and
// the file-system operations the window needs (folder search, attributes).
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace brenquil {

class Paths {
 public:
  explicit Paths(std::string home);

  const std::string& Home() const { return home_; }
  std::string ModelsFolder() const;                 // home/modelos
  std::string ModelPath(const std::string& name) const;
  std::string CatalogPath(const std::string& file) const;  // home/indices.mdb ...
  std::string IndexCatalog() const { return CatalogPath("indices.mdb"); }
  std::string RelationCatalog() const { return CatalogPath("relacion.mdb"); }
  std::string QueryCatalog() const { return CatalogPath("consulta.mdb"); }
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
  std::string home_;
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

// True when an entry of that name, in any letter case or hidden, exists in
// `folder`, i.e. a copy named `name` could replace or shadow it.
bool NameTakenInFolder(const std::string& folder, const std::string& name);

}  // namespace brenquil
