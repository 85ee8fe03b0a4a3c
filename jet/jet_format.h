// The layout facts of Jet 3 and Jet 4 pages that differ between the two
// versions, and little-endian reads that refuse to leave their buffer. ACE
// files (.accdb) use the Jet 4 layout. Every reader in jet/ reads through
// these, so a damaged file ends in an error, never in a read out of bounds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace brenquil::jet {

// The file's version, from byte 0x14 of its first page.
enum class Version { kJet3, kJet4, kAce12, kAce14, kAce16, kAce17 };

struct Format {
  Version version = Version::kJet4;
  bool jet3 = false;
  std::size_t page_size = 4096;
  // Table definition pages.
  std::size_t tdef_rows = 16;        // row count
  std::size_t tdef_autonumber = 20;  // the last long AutoNumber given
  std::size_t tdef_table_type = 40;
  std::size_t tdef_var_columns = 43;
  std::size_t tdef_columns = 45;
  std::size_t tdef_logical_indexes = 47;
  std::size_t tdef_real_indexes = 51;
  std::size_t tdef_owned_pages = 55;   // row pointer to the usage map
  std::size_t tdef_index_counts = 63;  // the real indexes' row counts begin here
  std::size_t index_count_size = 12;
  std::size_t column_size = 25;  // one column's definition
  std::size_t column_number = 5;
  std::size_t column_var_index = 7;
  std::size_t column_precision = 11;
  std::size_t column_scale = 12;
  std::size_t column_flags = 15;
  std::size_t column_ext_flags = 16;  // Jet 4 only
  std::size_t column_fixed_offset = 21;
  std::size_t column_length = 23;
  std::size_t name_length_size = 2;       // names are preceded by their byte length
  std::size_t real_index_skip = 4;        // unknown bytes before a real index's columns
  std::size_t real_index_flags_skip = 4;  // after its root page, before its flags
  std::size_t real_index_tail = 5;        // after its flags
  std::size_t logical_index_skip = 4;     // before and after a logical index
  // Data pages.
  std::size_t row_count = 12;             // rows on a data page
  std::size_t row_column_count_size = 2;  // the column count that opens a row

  static Format For(Version version);
};

// The name of the version as people know it ("Jet 3 (Access 97)").
std::string VersionName(Version version);

// A view of bytes whose reads check their bounds; a read outside it throws
// JetDamage.
class Bytes {
 public:
  Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::size_t size() const { return size_; }
  const std::uint8_t* data() const { return data_; }
  // Throws unless [offset, offset + length) lies inside.
  void Check(std::size_t offset, std::size_t length, const char* what) const;
  std::uint8_t U8(std::size_t offset) const;
  std::uint16_t U16(std::size_t offset) const;
  std::uint32_t U32(std::size_t offset) const;
  // Four bytes: the row number in the low byte, the page above it.
  std::uint32_t RowPointer(std::size_t offset) const { return U32(offset); }
  Bytes Slice(std::size_t offset, std::size_t length) const;

 private:
  const std::uint8_t* data_;
  std::size_t size_;
};

inline std::uint32_t PageOf(std::uint32_t row_pointer) { return row_pointer >> 8; }
inline std::uint32_t RowOf(std::uint32_t row_pointer) { return row_pointer & 0xFF; }

}  // namespace brenquil::jet
