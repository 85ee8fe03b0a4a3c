// The objects a Jet file lists in its catalogue (MSysObjects, whose definition
// is always page 2) and its relationships (MSysRelationships, one row per
// field pair). libmdb reads neither whole: it has no relationship reader, and
// its catalogue names lose text outside the Basic Multilingual Plane.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "jet/jet_file.h"

namespace brenquil::jet {

struct CatalogObject {
  std::int32_t id = 0;
  std::int32_t parent_id = 0;
  std::string name;
  std::int16_t type = 0;  // 1 table, 4 and 6 linked tables, 5 query, 8 relationship, ...
  std::uint32_t flags = 0;
  std::string properties;  // the LvProp blob, whole
  std::uint32_t DefinitionPage() const { return static_cast<std::uint32_t>(id) & 0x00FFFFFF; }
  bool Table() const { return type == 1; }
  bool LinkedTable() const { return type == 4 || type == 6; }
  bool Query() const { return type == 5; }
  // Jet's system objects (MSys* tables and the like) carry one of these flags.
  bool System() const { return (flags & 0x80000002u) != 0; }
};

// In the catalogue's order (the order Jet made them in, mostly).
std::vector<CatalogObject> ReadCatalog(JetFile& file);

struct Relationship {
  std::string name;
  std::string table;                 // the primary table (szReferencedObject)
  std::string foreign_table;         // the table holding the foreign key (szObject)
  std::uint32_t flags = 0;           // grbit: DAO's relation attributes
  std::int32_t declared_fields = 0;  // ccolumn
  std::vector<std::pair<std::string, std::string>>
      fields;  // primary field, foreign field, in order
};

// Every relationship, in the order of its first row. Empty when the file has
// no MSysRelationships.
std::vector<Relationship> ReadRelationships(JetFile& file,
                                            const std::vector<CatalogObject>& catalog);

}  // namespace brenquil::jet
