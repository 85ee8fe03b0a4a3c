// The pages a Jet table owns, from its usage map: a row that either holds a
// bitmap of pages itself (type 0, from a start page) or lists the pages that
// hold the bitmaps (type 1, for tables that reach past the first pages).
#pragma once

#include <cstdint>
#include <vector>

#include "jet/jet_file.h"

namespace brenquil::jet {

// The owned pages in ascending order. `row_pointer` is the definition's
// pointer to the map (row number in the low byte, page above it).
std::vector<std::uint32_t> OwnedPages(JetFile& file, std::uint32_t row_pointer);

// The bounds of row `row` of a data page: [start, end) with the flags masked
// off, and the flags themselves. JetDamage when the page has no such row or
// its bounds leave the page.
struct RowSlot {
  std::size_t start = 0;
  std::size_t end = 0;
  bool deleted = false;   // 0x8000: deleted, or the far half of a moved row
  bool overflow = false;  // 0x4000: the row moved; its four bytes point to it
};
RowSlot SlotOf(const Format& format, const Page& page, std::uint32_t row);
// The number of rows a data page holds.
std::uint16_t RowsOn(const Format& format, const Page& page);

}  // namespace brenquil::jet
