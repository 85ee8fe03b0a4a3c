// Walks the live rows of a Jet table page by page, in the order the table's
// pages hold them, and cracks each row into its fields by the row's own null
// mask: a field is NULL exactly when its bit says so, so NULL and the empty
// text stay apart. A row that moved to another page (its slot flagged 0x4000)
// is read where it now lives, in its old place in the walk; the moved copy
// itself, like every deleted row, is flagged 0x8000 and skipped. Rows written
// before a column was added have no place for it: the column is NULL there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "jet/jet_file.h"
#include "jet/table_definition.h"

namespace brenquil::jet {

// One field of the current row: NULL, or its bytes. A Yes/No field has no
// bytes; its value is `flag`. The bytes stay valid until the cursor moves.
struct FieldValue {
  bool null = true;
  bool flag = false;
  Bytes bytes{nullptr, 0};
};

class RowCursor {
 public:
  RowCursor(JetFile& file, const TableDefinition& table);

  // Moves to the next live row; false after the last.
  bool Next();
  // The field of column `index` (into TableDefinition::columns) in the current row.
  FieldValue Field(std::size_t index) const;
  // Rows moved to so far.
  std::uint64_t Count() const { return count_; }
  // Where the current row lives, for messages ("página 12, fila 3").
  std::uint32_t PageNumber() const { return row_page_; }
  std::uint32_t RowNumber() const { return row_number_; }

 private:
  void Crack();

  JetFile& file_;
  const TableDefinition& table_;
  std::vector<std::uint32_t> pages_;
  std::size_t page_at_ = 0;
  std::shared_ptr<const Page> page_;  // the data page being walked
  std::uint32_t slot_ = 0;
  std::uint16_t slots_ = 0;
  std::shared_ptr<const Page> row_page_holder_;  // the page the current row lives on
  std::uint32_t row_page_ = 0;
  std::uint32_t row_number_ = 0;
  std::size_t start_ = 0, end_ = 0;
  std::uint16_t columns_in_row_ = 0;
  std::size_t mask_at_ = 0;                 // the null mask's first byte
  std::vector<std::uint16_t> var_offsets_;  // from the row's start; one past the last value
  std::uint64_t count_ = 0;
};

}  // namespace brenquil::jet
