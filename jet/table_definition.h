// A Jet table's definition as its definition pages (TDEF) hold it: columns
// with their on-disk types, sizes and row layout, the real indexes (the
// stored trees, with their key columns and flags) and the logical indexes
// that name them (primary, foreign key, the relationship they serve). Read
// from the pages themselves: libmdb pairs logical and real indexes by the
// wrong number and returns some Jet 4 indexes without their columns.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jet/jet_file.h"

namespace brenquil::jet {

// Jet's on-disk column types (not DAO's DataTypeEnum numbers).
enum JetType : std::uint8_t {
  kJetBoolean = 0x01,
  kJetByte = 0x02,
  kJetInteger = 0x03,
  kJetLong = 0x04,
  kJetMoney = 0x05,
  kJetSingle = 0x06,
  kJetDouble = 0x07,
  kJetDateTime = 0x08,
  kJetBinary = 0x09,
  kJetText = 0x0A,
  kJetOle = 0x0B,
  kJetMemo = 0x0C,
  kJetGuid = 0x0F,
  kJetNumeric = 0x10,
  kJetComplex = 0x12,
  kJetBigInt = 0x13,
  kJetExtDateTime = 0x14,
};

struct JetColumn {
  std::string name;
  std::uint8_t type = 0;
  std::uint16_t number = 0;     // its bit in a row's null mask; counts deleted columns
  std::uint16_t var_index = 0;  // its place in a row's table of variable values
  std::uint16_t fixed_offset = 0;
  std::uint16_t length = 0;  // bytes (Text: two a character in Jet 4)
  std::uint8_t flags = 0;
  std::uint8_t ext_flags = 0;  // Jet 4
  std::uint8_t precision = 0;  // Decimal
  std::uint8_t scale = 0;
  bool Fixed() const { return (flags & 0x01) != 0; }
  bool AutoLong() const { return (flags & 0x04) != 0; }
  bool AutoGuid() const { return (flags & 0x40) != 0; }
  bool Hyperlink() const { return (flags & 0x80) != 0; }
  // Access 2010 calculated columns: the value stored is the expression's result.
  bool Calculated() const { return (ext_flags & 0xC0) != 0; }
  bool LongValue() const { return type == kJetMemo || type == kJetOle; }
};

struct RealIndex {
  struct Key {
    std::uint16_t column_number;
    bool ascending;
  };
  std::vector<Key> keys;
  std::uint8_t flags = 0;  // 0x01 unique, 0x02 ignore nulls, 0x08 required
};

struct LogicalIndex {
  std::string name;
  std::uint32_t number = 0;
  std::int32_t real_index = 0;  // into TableDefinition::real_indexes
  std::uint8_t type = 0;        // 1 primary key, 2 foreign key (kept for a relationship)
  bool Primary() const { return type == 1; }
  bool ForeignKey() const { return type == 2; }
};

inline constexpr std::uint8_t kIndexUnique = 0x01;
inline constexpr std::uint8_t kIndexIgnoreNulls = 0x02;
inline constexpr std::uint8_t kIndexRequired = 0x08;

struct TableDefinition {
  std::uint32_t page = 0;
  std::uint32_t row_count = 0;        // as the definition says (Jet keeps it)
  std::uint32_t last_autonumber = 0;  // the last long AutoNumber given
  std::uint8_t table_type = 0;
  std::uint16_t variable_columns = 0;
  std::uint32_t owned_pages = 0;   // row pointer to the table's usage map
  std::vector<JetColumn> columns;  // in the table's order
  std::vector<RealIndex> real_indexes;
  std::vector<LogicalIndex> logical_indexes;
  const JetColumn* ColumnNumbered(std::uint16_t number) const;
};

// Reads the definition that starts at page `page` (and the pages chained to
// it). JetDamage when the pages are not a table definition or contradict it.
TableDefinition ReadTableDefinition(JetFile& file, std::uint32_t page);

}  // namespace brenquil::jet
