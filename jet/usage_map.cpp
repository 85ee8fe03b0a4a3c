#include "jet/usage_map.h"

#include <algorithm>

#include "jet/jet_damage.h"

namespace brenquil::jet {

namespace {

constexpr std::uint16_t kOffsetMask = 0x1FFF;
constexpr std::uint16_t kDeletedFlag = 0x8000;
constexpr std::uint16_t kOverflowFlag = 0x4000;
constexpr std::uint8_t kUsageMapPage = 0x05;

void AddBits(const Bytes& bitmap, std::size_t from, std::size_t to, std::uint32_t first_page,
             std::uint32_t page_count, std::vector<std::uint32_t>& pages) {
  for (std::size_t i = from; i < to; ++i) {
    std::uint8_t byte = bitmap.U8(i);
    for (int bit = 0; byte != 0 && bit < 8; ++bit) {
      if ((byte & (1u << bit)) == 0) continue;
      std::uint64_t page =
          first_page + static_cast<std::uint64_t>(i - from) * 8 + static_cast<unsigned>(bit);
      // A page past the end of the file: the file was cut short.
      if (page >= page_count)
        throw JetDamage("una tabla ocupa la página " + std::to_string(page) +
                        ", que no está en el archivo (tiene " + std::to_string(page_count) + ")");
      pages.push_back(static_cast<std::uint32_t>(page));
    }
  }
}

}  // namespace

std::uint16_t RowsOn(const Format& format, const Page& page) {
  return Bytes(page.data(), page.size()).U16(format.row_count);
}

RowSlot SlotOf(const Format& format, const Page& page, std::uint32_t row) {
  Bytes b(page.data(), page.size());
  const std::uint16_t rows = b.U16(format.row_count);
  if (row >= rows) throw JetDamage("la fila " + std::to_string(row) + " no está en su página");
  const std::size_t table_end = format.row_count + 2 + 2 * static_cast<std::size_t>(rows);
  const std::uint16_t raw = b.U16(format.row_count + 2 + 2 * row);
  RowSlot slot;
  slot.start = raw & kOffsetMask;
  slot.end = row == 0 ? page.size() : (b.U16(format.row_count + 2 * row) & kOffsetMask);
  slot.deleted = (raw & kDeletedFlag) != 0;
  slot.overflow = (raw & kOverflowFlag) != 0;
  // A deleted row may have given its space back: its bounds no longer matter.
  if (!slot.deleted && (slot.start < table_end || slot.start > slot.end || slot.end > page.size()))
    throw JetDamage("la fila " + std::to_string(row) + " sale de su página");
  return slot;
}

std::vector<std::uint32_t> OwnedPages(JetFile& file, std::uint32_t row_pointer) {
  const Format& f = file.Fmt();
  auto holder = file.Read(PageOf(row_pointer));
  RowSlot slot = SlotOf(f, *holder, RowOf(row_pointer));
  Bytes map(holder->data() + slot.start, slot.end - slot.start);
  std::vector<std::uint32_t> pages;
  const std::uint8_t type = map.U8(0);
  if (type == 0) {
    AddBits(map, 5, map.size(), map.U32(1), file.PageCount(), pages);
  } else if (type == 1) {
    const std::size_t per_map_page = (f.page_size - 4) * 8;
    for (std::size_t i = 0; 1 + 4 * i + 4 <= map.size(); ++i) {
      std::uint32_t map_page = map.U32(1 + 4 * i);
      if (map_page == 0) continue;
      auto bits = file.Read(map_page);
      if ((*bits)[0] != kUsageMapPage)
        throw JetDamage("la página " + std::to_string(map_page) + " no es un mapa de páginas");
      Bytes bitmap(bits->data(), bits->size());
      AddBits(bitmap, 4, bitmap.size(), static_cast<std::uint32_t>(i * per_map_page),
              file.PageCount(), pages);
    }
  } else {
    throw JetDamage("mapa de páginas de tipo " + std::to_string(type) + " desconocido");
  }
  std::sort(pages.begin(), pages.end());
  return pages;
}

}  // namespace brenquil::jet
