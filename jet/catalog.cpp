#include "jet/catalog.h"

#include <algorithm>

#include "engine/collection.h"
#include "jet/jet_damage.h"
#include "jet/long_value.h"
#include "jet/row_cursor.h"
#include "jet/table_definition.h"
#include "jet/text_decoder.h"

namespace brenquil::jet {

namespace {

constexpr std::uint32_t kCatalogPage = 2;

// The rows of a system table, read by column name.
class SystemTable {
 public:
  SystemTable(JetFile& file, std::uint32_t page)
      : file_(file),
        definition_(ReadTableDefinition(file, page)),
        rows_(file, definition_),
        text_(file.Jet3(), file.CodePage()) {}

  bool Next() { return rows_.Next(); }
  // The column's index, or -1.
  int Column(const char* name) const {
    for (std::size_t i = 0; i < definition_.columns.size(); ++i)
      if (SameName(definition_.columns[i].name, name)) return static_cast<int>(i);
    return -1;
  }
  std::string Text(int column) {
    if (column < 0) return {};
    FieldValue v = rows_.Field(static_cast<std::size_t>(column));
    if (v.null) return {};
    if (definition_.columns[static_cast<std::size_t>(column)].LongValue()) {
      std::string bytes = Blob(column);
      return text_.Decode(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
    return text_.Decode(v.bytes.data(), v.bytes.size());
  }
  long long Integer(int column) {
    if (column < 0) return 0;
    FieldValue v = rows_.Field(static_cast<std::size_t>(column));
    if (v.null) return 0;
    switch (v.bytes.size()) {
      case 1: return v.bytes.U8(0);
      case 2: return static_cast<std::int16_t>(v.bytes.U16(0));
      case 4: return static_cast<std::int32_t>(v.bytes.U32(0));
      default: return 0;
    }
  }
  std::string Blob(int column) {
    if (column < 0) return {};
    FieldValue v = rows_.Field(static_cast<std::size_t>(column));
    if (v.null) return {};
    std::string out;
    LongValue(file_, v.bytes).Read([&](const std::uint8_t* p, std::size_t n) {
      out.append(reinterpret_cast<const char*>(p), n);
    });
    return out;
  }

 private:
  JetFile& file_;
  TableDefinition definition_;
  RowCursor rows_;
  TextDecoder text_;
};

}  // namespace

std::vector<CatalogObject> ReadCatalog(JetFile& file) {
  SystemTable t(file, kCatalogPage);
  const int id = t.Column("Id"), parent = t.Column("ParentId"), name = t.Column("Name"),
            type = t.Column("Type"), flags = t.Column("Flags"), props = t.Column("LvProp");
  if (id < 0 || name < 0 || type < 0)
    throw JetDamage("el catálogo (MSysObjects) no tiene sus columnas");
  std::vector<CatalogObject> objects;
  while (t.Next()) {
    CatalogObject o;
    o.id = static_cast<std::int32_t>(t.Integer(id));
    o.parent_id = static_cast<std::int32_t>(t.Integer(parent));
    o.name = t.Text(name);
    o.type = static_cast<std::int16_t>(t.Integer(type));
    o.flags = static_cast<std::uint32_t>(t.Integer(flags));
    // Properties are read for tables only: forms and reports keep theirs elsewhere.
    if (o.Table()) o.properties = t.Blob(props);
    objects.push_back(std::move(o));
  }
  return objects;
}

std::vector<Relationship> ReadRelationships(JetFile& file,
                                            const std::vector<CatalogObject>& catalog) {
  auto found = std::find_if(catalog.begin(), catalog.end(), [](const CatalogObject& o) {
    return o.Table() && o.name == "MSysRelationships";
  });
  std::vector<Relationship> relationships;
  if (found == catalog.end()) return relationships;
  SystemTable t(file, found->DefinitionPage());
  const int count = t.Column("ccolumn"), flags = t.Column("grbit"), position = t.Column("icolumn"),
            column = t.Column("szColumn"), object = t.Column("szObject"),
            referenced = t.Column("szReferencedColumn"),
            referenced_object = t.Column("szReferencedObject"), name = t.Column("szRelationship");
  if (column < 0 || object < 0 || referenced < 0 || referenced_object < 0 || name < 0)
    throw JetDamage("MSysRelationships no tiene sus columnas");
  struct Pair {
    long long position;
    std::string primary, foreign;
  };
  std::vector<std::vector<Pair>> pairs;
  while (t.Next()) {
    std::string relation = t.Text(name);
    auto same = std::find_if(relationships.begin(), relationships.end(),
                             [&](const Relationship& r) { return SameName(r.name, relation); });
    if (same == relationships.end()) {
      Relationship r;
      r.name = relation;
      r.table = t.Text(referenced_object);
      r.foreign_table = t.Text(object);
      r.flags = static_cast<std::uint32_t>(t.Integer(flags));
      r.declared_fields = static_cast<std::int32_t>(t.Integer(count));
      relationships.push_back(std::move(r));
      pairs.emplace_back();
      same = relationships.end() - 1;
    }
    pairs[static_cast<std::size_t>(same - relationships.begin())].push_back(
        {t.Integer(position), t.Text(referenced), t.Text(column)});
  }
  for (std::size_t i = 0; i < relationships.size(); ++i) {
    std::stable_sort(pairs[i].begin(), pairs[i].end(),
                     [](const Pair& a, const Pair& b) { return a.position < b.position; });
    for (auto& p : pairs[i]) relationships[i].fields.emplace_back(p.primary, p.foreign);
  }
  return relationships;
}

}  // namespace brenquil::jet
