#include "jet/row_cursor.h"

#include "jet/jet_damage.h"
#include "jet/usage_map.h"

namespace brenquil::jet {

namespace {

constexpr int kMaxMoves = 16;  // a moved row that keeps moving is a loop

// The bytes a fixed column takes in a row.
std::size_t FixedSize(const JetColumn& c) {
  switch (c.type) {
    case kJetBoolean: return 0;
    case kJetByte: return 1;
    case kJetInteger: return 2;
    case kJetLong:
    case kJetSingle: return 4;
    case kJetMoney:
    case kJetDouble:
    case kJetDateTime:
    case kJetBigInt: return 8;
    case kJetGuid: return 16;
    case kJetNumeric: return 17;
    default: return c.length;
  }
}

bool IsDataPageOf(const Page& page, std::uint32_t table_page) {
  return page[0] == 0x01 && Bytes(page.data(), page.size()).U32(4) == table_page;
}

}  // namespace

RowCursor::RowCursor(JetFile& file, const TableDefinition& table)
    : file_(file), table_(table), pages_(OwnedPages(file, table.owned_pages)) {}

bool RowCursor::Next() {
  const Format& f = file_.Fmt();
  for (;;) {
    while (!page_ || slot_ >= slots_) {
      if (page_at_ >= pages_.size()) return false;
      auto candidate = file_.Read(pages_[page_at_++]);
      if (!IsDataPageOf(*candidate, table_.page)) continue;  // its long values, its map
      page_ = candidate;
      slots_ = RowsOn(f, *page_);
      slot_ = 0;
    }
    const std::uint32_t row = slot_++;
    RowSlot slot = SlotOf(f, *page_, row);
    if (slot.deleted) continue;
    std::shared_ptr<const Page> holder = page_;
    std::uint32_t page_number = pages_[page_at_ - 1];
    std::uint32_t row_number = row;
    for (int moves = 0; slot.overflow; ++moves) {
      if (moves == kMaxMoves || slot.end - slot.start < 4)
        throw JetDamage("la fila " + std::to_string(row_number) + " de la página " +
                        std::to_string(page_number) + " apunta a otra que no se encuentra");
      std::uint32_t pointer = Bytes(holder->data(), holder->size()).U32(slot.start);
      page_number = PageOf(pointer);
      row_number = RowOf(pointer);
      holder = file_.Read(page_number);
      if (!IsDataPageOf(*holder, table_.page))
        throw JetDamage("una fila movida a la página " + std::to_string(page_number) +
                        " no está en su tabla");
      slot = SlotOf(f, *holder,
                    row_number);  // the moved copy is flagged deleted: its flag is not its state
      if (slot.start > slot.end || slot.end > holder->size())
        throw JetDamage("la fila " + std::to_string(row_number) + " sale de la página " +
                        std::to_string(page_number));
    }
    row_page_holder_ = holder;
    row_page_ = page_number;
    row_number_ = row_number;
    start_ = slot.start;
    end_ = slot.end;
    Crack();
    ++count_;
    return true;
  }
}

void RowCursor::Crack() {
  const bool jet3 = file_.Jet3();
  Bytes row(row_page_holder_->data() + start_, end_ - start_);
  const std::size_t size = row.size();
  const std::size_t count_size = jet3 ? 1 : 2;
  if (size < count_size)
    throw JetDamage("una fila vacía en la página " + std::to_string(row_page_));
  columns_in_row_ = jet3 ? row.U8(0) : row.U16(0);
  const std::size_t mask_size = (columns_in_row_ + 7u) / 8u;
  if (size < count_size + mask_size)
    throw JetDamage("la fila " + std::to_string(row_number_) + " de la página " +
                    std::to_string(row_page_) + " es más corta que su máscara de nulos");
  mask_at_ = size - mask_size;
  var_offsets_.clear();
  if (table_.variable_columns == 0) return;
  if (!jet3) {
    const std::size_t var_count = row.U16(mask_at_ - 2);
    if (4 + 2 * var_count > mask_at_)
      throw JetDamage("la tabla de valores de una fila sale de la fila");
    for (std::size_t i = 0; i <= var_count; ++i)
      var_offsets_.push_back(row.U16(mask_at_ - 4 - 2 * i));
    return;
  }
  // Jet 3 keeps one byte per offset, and a jump table says where each next
  // 256 bytes begin: the numbers of the first value past each boundary.
  const long long last = static_cast<long long>(size) - 1;
  const std::size_t var_count = row.U8(static_cast<std::size_t>(last) - mask_size);
  long long jumps = (static_cast<long long>(size) - 1) / 256;
  const long long first_offset = last - static_cast<long long>(mask_size) - jumps - 1;
  if (jumps > 0 && (first_offset - static_cast<long long>(var_count)) / 256 < jumps)
    --jumps;  // a dummy last jump
  if (first_offset - static_cast<long long>(var_count) < static_cast<long long>(count_size))
    throw JetDamage("la tabla de valores de una fila sale de la fila");
  long long used = 0;
  for (std::size_t i = 0; i <= var_count; ++i) {
    while (used < jumps && i == row.U8(static_cast<std::size_t>(
                                    last - static_cast<long long>(mask_size) - used - 1)))
      ++used;
    var_offsets_.push_back(static_cast<std::uint16_t>(
        row.U8(static_cast<std::size_t>(first_offset - static_cast<long long>(i))) + used * 256));
  }
}

FieldValue RowCursor::Field(std::size_t index) const {
  const JetColumn& c = table_.columns.at(index);
  Bytes row(row_page_holder_->data() + start_, end_ - start_);
  FieldValue v;
  const bool in_row = c.number < columns_in_row_;
  const bool set = in_row && ((row.U8(mask_at_ + c.number / 8) >> (c.number % 8)) & 1) != 0;
  if (c.type == kJetBoolean) {  // Yes/No lives in the null mask and is never NULL
    v.null = false;
    v.flag = set;
    return v;
  }
  if (!set) return v;
  auto where = [&] {
    return "el campo '" + c.name + "' de la fila " + std::to_string(row_number_) +
           " de la página " + std::to_string(row_page_);
  };
  if (c.Fixed()) {
    const std::size_t at = (file_.Jet3() ? 1 : 2) + c.fixed_offset;
    const std::size_t size = FixedSize(c);
    if (at + size > mask_at_) throw JetDamage(where() + " sale de la fila");
    v.null = false;
    v.bytes = row.Slice(at, size);
    return v;
  }
  // A row written before the column was added has no value for it.
  if (static_cast<std::size_t>(c.var_index) + 1 >= var_offsets_.size()) return v;
  const std::size_t from = var_offsets_[c.var_index];
  const std::size_t to = var_offsets_[c.var_index + 1];
  if (from > to || to > mask_at_) throw JetDamage(where() + " sale de la fila");
  v.null = false;
  v.bytes = row.Slice(from, to - from);
  return v;
}

}  // namespace brenquil::jet
