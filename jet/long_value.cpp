#include "jet/long_value.h"

#include <cstring>

#include "jet/jet_damage.h"
#include "jet/usage_map.h"

namespace brenquil::jet {

namespace {

constexpr std::size_t kHeaderSize = 12;
constexpr std::uint8_t kInRow = 0x80;
constexpr std::uint8_t kOneRow = 0x40;
constexpr std::uint8_t kChain = 0x00;

// The row `pointer` names on a long-value page.
Bytes LongValueRow(JetFile& file, std::uint32_t pointer, std::shared_ptr<const Page>& holder) {
  holder = file.Read(PageOf(pointer));
  const Page& page = *holder;
  if (page[0] != 0x01 || std::memcmp(page.data() + 4, "LVAL", 4) != 0)
    throw JetDamage("la página " + std::to_string(PageOf(pointer)) + " no guarda valores largos");
  RowSlot slot = SlotOf(file.Fmt(), page, RowOf(pointer));
  if (slot.start > slot.end || slot.end > page.size())
    throw JetDamage("un valor largo sale de la página " + std::to_string(PageOf(pointer)));
  return Bytes(page.data() + slot.start, slot.end - slot.start);
}

}  // namespace

LongValue::LongValue(JetFile& file, Bytes field) : file_(file), field_(field) {
  if (field.size() < kHeaderSize) throw JetDamage("un valor largo sin su cabecera");
  std::uint32_t word = field.U32(0);
  length_ = word & 0x3FFFFFFF;
  kind_ = static_cast<std::uint8_t>((word >> 24) & 0xC0);
  if (kind_ != kInRow && kind_ != kOneRow && kind_ != kChain)
    throw JetDamage("un valor largo de tipo desconocido");
  if (kind_ == kInRow && field.size() - kHeaderSize < length_)
    throw JetDamage("un valor largo más corto que su longitud");
}

void LongValue::Read(const std::function<void(const std::uint8_t*, std::size_t)>& piece) const {
  if (length_ == 0) return;
  if (kind_ == kInRow) {
    piece(field_.data() + kHeaderSize, length_);
    return;
  }
  std::shared_ptr<const Page> holder;
  std::uint32_t pointer = field_.U32(4);
  if (kind_ == kOneRow) {
    Bytes row = LongValueRow(file_, pointer, holder);
    if (row.size() < length_) throw JetDamage("un valor largo más corto que su longitud");
    piece(row.data(), length_);
    return;
  }
  std::uint32_t left = length_;
  while (left > 0) {
    if (pointer == 0) throw JetDamage("la cadena de un valor largo termina antes de tiempo");
    Bytes row = LongValueRow(file_, pointer, holder);
    // Each link gives at least a byte, so a chain that loops ends here.
    if (row.size() <= 4) throw JetDamage("un eslabón vacío en la cadena de un valor largo");
    std::size_t take = row.size() - 4;
    if (take > left) take = left;
    pointer = row.U32(0);
    piece(row.data() + 4, take);
    left -= static_cast<std::uint32_t>(take);
  }
}

}  // namespace brenquil::jet
