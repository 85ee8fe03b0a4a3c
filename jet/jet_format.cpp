#include "jet/jet_format.h"

#include "jet/jet_damage.h"

namespace brenquil::jet {

Format Format::For(Version version) {
  Format f;
  f.version = version;
  if (version != Version::kJet3) return f;
  f.jet3 = true;
  f.page_size = 2048;
  f.tdef_rows = 12;
  f.tdef_autonumber = 16;
  f.tdef_table_type = 20;
  f.tdef_var_columns = 23;
  f.tdef_columns = 25;
  f.tdef_logical_indexes = 27;
  f.tdef_real_indexes = 31;
  f.tdef_owned_pages = 35;
  f.tdef_index_counts = 43;
  f.index_count_size = 8;
  f.column_size = 18;
  f.column_number = 1;
  f.column_var_index = 3;
  f.column_precision = 11;
  f.column_scale = 12;
  f.column_flags = 13;
  f.column_ext_flags = 0;
  f.column_fixed_offset = 14;
  f.column_length = 16;
  f.name_length_size = 1;
  f.real_index_skip = 0;
  f.real_index_flags_skip = 0;
  f.real_index_tail = 0;
  f.logical_index_skip = 0;
  f.row_count = 8;
  f.row_column_count_size = 1;
  return f;
}

std::string VersionName(Version version) {
  switch (version) {
    case Version::kJet3: return "Jet 3 (Access 97)";
    case Version::kJet4: return "Jet 4 (Access 2000-2003)";
    case Version::kAce12: return "ACE 12 (Access 2007)";
    case Version::kAce14: return "ACE 14 (Access 2010)";
    case Version::kAce16: return "ACE 16 (Access 2013-2016)";
    case Version::kAce17: return "ACE 17 (Access 2019)";
  }
  return "Jet";
}

void Bytes::Check(std::size_t offset, std::size_t length, const char* what) const {
  if (offset > size_ || length > size_ - offset)
    throw JetDamage(std::string(what) + " fuera de su página");
}

std::uint8_t Bytes::U8(std::size_t offset) const {
  Check(offset, 1, "un byte");
  return data_[offset];
}

std::uint16_t Bytes::U16(std::size_t offset) const {
  Check(offset, 2, "un entero");
  return static_cast<std::uint16_t>(data_[offset] | (data_[offset + 1] << 8));
}

std::uint32_t Bytes::U32(std::size_t offset) const {
  Check(offset, 4, "un entero");
  return static_cast<std::uint32_t>(data_[offset]) |
         (static_cast<std::uint32_t>(data_[offset + 1]) << 8) |
         (static_cast<std::uint32_t>(data_[offset + 2]) << 16) |
         (static_cast<std::uint32_t>(data_[offset + 3]) << 24);
}

Bytes Bytes::Slice(std::size_t offset, std::size_t length) const {
  Check(offset, length, "un valor");
  return Bytes(data_ + offset, length);
}

}  // namespace brenquil::jet
