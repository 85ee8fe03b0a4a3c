#include "jet/table_definition.h"

#include <algorithm>
#include <set>

#include "jet/jet_damage.h"
#include "jet/text_decoder.h"

namespace brenquil::jet {

namespace {

constexpr std::size_t kKeysPerIndex = 10;
constexpr std::uint16_t kNoColumn = 0xFFFF;
// A definition longer than this many pages is a loop in a damaged file.
constexpr std::size_t kMaxDefinitionPages = 1024;

// The definition's pages joined: the first whole, each next one without its
// 8-byte header (type, unknown, free space, next page).
std::vector<std::uint8_t> JoinedPages(JetFile& file, std::uint32_t page) {
  auto first = file.Read(page);
  if ((*first)[0] != 0x02)
    throw JetDamage("la página " + std::to_string(page) + " no es la definición de una tabla");
  std::vector<std::uint8_t> joined(first->begin(), first->end());
  std::set<std::uint32_t> seen{page};
  std::uint32_t next = Bytes(first->data(), first->size()).U32(4);
  while (next != 0) {
    if (!seen.insert(next).second || seen.size() > kMaxDefinitionPages)
      throw JetDamage("la definición de la tabla de la página " + std::to_string(page) +
                      " vuelve sobre sí misma");
    auto more = file.Read(next);
    if ((*more)[0] != 0x02)
      throw JetDamage("la página " + std::to_string(next) + " no sigue la definición de su tabla");
    joined.insert(joined.end(), more->begin() + 8, more->end());
    next = Bytes(more->data(), more->size()).U32(4);
  }
  return joined;
}

class Cursor {
 public:
  Cursor(const Bytes& bytes, std::size_t at) : bytes_(bytes), at_(at) {}
  std::uint8_t U8() { return bytes_.U8(Advance(1)); }
  std::uint16_t U16() { return bytes_.U16(Advance(2)); }
  std::uint32_t U32() { return bytes_.U32(Advance(4)); }
  void Skip(std::size_t n) { Advance(n); }
  std::size_t At() const { return at_; }
  Bytes Take(std::size_t n) { return bytes_.Slice(Advance(n), n); }

 private:
  std::size_t Advance(std::size_t n) {
    std::size_t was = at_;
    at_ += n;
    return was;
  }
  Bytes bytes_;
  std::size_t at_;
};

std::string ReadName(Cursor& c, const Format& f, TextDecoder& text) {
  std::size_t length = f.name_length_size == 1 ? c.U8() : c.U16();
  Bytes name = c.Take(length);
  return text.Decode(name.data(), name.size(), false);
}

}  // namespace

const JetColumn* TableDefinition::ColumnNumbered(std::uint16_t number) const {
  for (const auto& c : columns)
    if (c.number == number) return &c;
  return nullptr;
}

TableDefinition ReadTableDefinition(JetFile& file, std::uint32_t page) {
  const Format& f = file.Fmt();
  std::vector<std::uint8_t> joined = JoinedPages(file, page);
  Bytes b(joined.data(), joined.size());
  TableDefinition t;
  t.page = page;
  t.row_count = b.U32(f.tdef_rows);
  t.last_autonumber = b.U32(f.tdef_autonumber);
  t.table_type = b.U8(f.tdef_table_type);
  t.variable_columns = b.U16(f.tdef_var_columns);
  const std::uint16_t column_count = b.U16(f.tdef_columns);
  const std::uint32_t logical_count = b.U32(f.tdef_logical_indexes);
  const std::uint32_t real_count = b.U32(f.tdef_real_indexes);
  t.owned_pages = b.U32(f.tdef_owned_pages);
  // Jet allows 255 columns and 32 indexes a table; far more is a damaged definition.
  if (column_count == 0 || column_count > 256 || real_count > 256 || logical_count > 256)
    throw JetDamage("la definición de la tabla de la página " + std::to_string(page) + " dice " +
                    std::to_string(column_count) + " columnas y " + std::to_string(logical_count) +
                    " índices");

  TextDecoder names(file.Jet3(), file.CodePage());
  Cursor c(b, f.tdef_index_counts + real_count * f.index_count_size);
  for (std::uint16_t i = 0; i < column_count; ++i) {
    Bytes def = c.Take(f.column_size);
    JetColumn col;
    col.type = def.U8(0);
    col.number = def.U16(f.column_number);
    col.var_index = def.U16(f.column_var_index);
    col.precision = def.U8(f.column_precision);
    col.scale = def.U8(f.column_scale);
    col.flags = def.U8(f.column_flags);
    col.ext_flags = f.jet3 ? 0 : def.U8(f.column_ext_flags);
    col.fixed_offset = def.U16(f.column_fixed_offset);
    col.length = def.U16(f.column_length);
    t.columns.push_back(col);
  }
  for (auto& col : t.columns) col.name = ReadName(c, f, names);
  // The table's order is the columns' numbers (which count deleted columns).
  std::stable_sort(t.columns.begin(), t.columns.end(),
                   [](const JetColumn& a, const JetColumn& b) { return a.number < b.number; });
  for (std::size_t i = 1; i < t.columns.size(); ++i)
    if (t.columns[i].number == t.columns[i - 1].number)
      throw JetDamage("dos columnas de la tabla de la página " + std::to_string(page) +
                      " tienen el número " + std::to_string(t.columns[i].number));

  for (std::uint32_t i = 0; i < real_count; ++i) {
    RealIndex index;
    c.Skip(f.real_index_skip);
    for (std::size_t k = 0; k < kKeysPerIndex; ++k) {
      std::uint16_t number = c.U16();
      std::uint8_t order = c.U8();
      if (number != kNoColumn) index.keys.push_back({number, (order & 0x01) != 0});
    }
    c.Skip(4);  // the index's usage map
    c.Skip(4);  // its root page
    c.Skip(f.real_index_flags_skip);
    index.flags = c.U8();
    c.Skip(f.real_index_tail);
    t.real_indexes.push_back(std::move(index));
  }
  for (std::uint32_t i = 0; i < logical_count; ++i) {
    LogicalIndex index;
    c.Skip(f.logical_index_skip);
    index.number = c.U32();
    index.real_index = static_cast<std::int32_t>(c.U32());
    c.Skip(1);  // the other table's kind in a relationship
    c.Skip(4);  // the other table's index
    c.Skip(4);  // the other table's definition page
    c.Skip(2);  // cascades: MSysRelationships says them for every relationship
    index.type = c.U8();
    c.Skip(f.logical_index_skip);
    t.logical_indexes.push_back(std::move(index));
  }
  for (auto& index : t.logical_indexes) index.name = ReadName(c, f, names);
  return t;
}

}  // namespace brenquil::jet
