// Making an installation: the home folder's sub-folder "modelos", the three
// catalogues with their fixed layouts (indices, relacion, consulta) and the
// sample database Neptuno.mdb with its table "Empleados". Never overwrites a
// file that exists.
#pragma once

#include <string>
#include <vector>

namespace brenquil {

// Creates what is missing of an installation in `home` (made if absent) and
// returns the paths it created. Throws Error when a file cannot be made.
std::vector<std::string> SetupInstallation(const std::string& home);

// The catalogue layouts, for the steps and tests that check them.
struct CatalogueLayout {
  const char* file;                  // "indices.mdb"
  const char* table;                 // "indices"
  std::vector<const char*> columns;  // in order
};
const CatalogueLayout& IndexCatalogueLayout();
const CatalogueLayout& RelationCatalogueLayout();
const CatalogueLayout& QueryCatalogueLayout();

}  // namespace brenquil
