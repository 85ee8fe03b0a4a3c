// The fuzz test's generator: a small valid installation (models, old
// databases, catalogues), and damage done to its files from a seed — bit
// flips, truncations, swapped pages and random schema text. The same seed
// always gives the same files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace brenquil::fuzz {

// The files of the valid installation, as bytes, relative to the case folder:
// "home/indices.mdb", "home/modelos/base.mdb", "datos/base.mdb", ...
struct FileImage {
  std::string path;
  std::string bytes;
};

// Made once per process (through the engine and through SQLite alone).
const std::vector<FileImage>& ValidInstallation();

// Writes the installation into `folder` (home/ and datos/ under it), damages
// it as `seed` says (the models and old databases mostly, now and then a
// catalogue), and returns what was done, one line per change, so a failure
// can be read and replayed.
std::string MakeCase(std::uint64_t seed, const std::string& folder);

// Writes the installation into `folder` undamaged and gives, as `seed` says,
// models and old databases objects with names SQLite accepts and programs
// seldom meet: the empty name, blanks only, a name of thousands of letters,
// the engine's own table names in any letter case, control characters. Each
// is a table (with fields of such names), an index, a view or a trigger, the
// same name now and then in a model and its old database. Returns what was
// added, one line per object.
std::string MakeNamesCase(std::uint64_t seed, const std::string& folder);

// Makes `count` entries named like databases in the folder `data`, none of
// them a database an old one pairs with: empty files, files that are no
// database, folders. Returns how many it made.
int AddUnpairedEntries(const std::string& data, int count);

}  // namespace brenquil::fuzz
