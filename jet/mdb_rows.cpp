// libmdb keeps the catalogue in the handle and frees it whenever it is read
// again (mdb_read_table_by_name does so), which would leave the caller's
// table definitions pointing at freed entries: the table is found in the
// catalogue as it stands instead. libmdb writes every bound value with the
// handle's bind size, so every buffer has that size while our rows are read.
#include "jet/mdb_rows.h"

#include <cstdlib>
#include <cstring>

namespace brenquil::jet {

MdbRows::MdbRows(MdbHandle* mdb, const std::string& table, const std::vector<std::string>& columns,
                 size_t value_size)
    : mdb_(mdb), saved_bind_size_(mdb->bind_size) {
  if (!mdb->catalog && !mdb_read_catalog(mdb, MDB_ANY)) return;
  MdbCatalogEntry* entry = nullptr;
  for (guint i = 0; i < mdb->catalog->len; ++i) {
    auto* e = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
    if (e->object_type == MDB_TABLE && g_ascii_strcasecmp(e->object_name, table.c_str()) == 0)
      entry = e;
  }
  if (!entry) return;
  table_ = mdb_read_table(entry);
  if (!table_) return;
  if (!mdb_read_columns(table_)) {
    mdb_free_tabledef(table_);
    table_ = nullptr;
    return;
  }
  if (value_size + 1 > mdb->bind_size) mdb_set_bind_size(mdb, value_size + 1);
  for (const std::string& name : columns) {
    MdbColumn* found = nullptr;
    int number = 0;  // libmdb numbers the columns from 1
    for (guint i = 0; i < table_->num_cols; ++i) {
      auto* c = static_cast<MdbColumn*>(g_ptr_array_index(table_->columns, i));
      if (g_ascii_strcasecmp(c->name, name.c_str()) == 0) {
        found = c;
        number = static_cast<int>(i) + 1;
      }
    }
    buffers_.emplace_back(found ? mdb->bind_size : 1, '\0');
    if (found) mdb_bind_column(table_, number, buffers_.back().data(), nullptr);
    columns_.push_back(found);
  }
  mdb_rewind_table(table_);
}

MdbRows::~MdbRows() {
  if (table_) mdb_free_tabledef(table_);
  mdb_set_bind_size(mdb_, saved_bind_size_);
}

bool MdbRows::Next() { return table_ && mdb_fetch_row(table_); }

std::optional<std::string> MdbRows::Text(size_t i) const {
  const MdbColumn* c = columns_[i];
  if (!c || c->cur_value_len == 0) return std::nullopt;
  const char* text = buffers_[i].data();
  if (*text == '\0') return std::nullopt;
  return std::string(text);
}

std::optional<long> MdbRows::Number(size_t i) const {
  std::optional<std::string> text = Text(i);
  if (!text) return std::nullopt;
  char* end = nullptr;
  const long value = std::strtol(text->c_str(), &end, 10);
  if (end == text->c_str() || *end != '\0') return std::nullopt;
  return value;
}

bool MdbRows::Cut(size_t i) const {
  return columns_[i] && std::strlen(buffers_[i].data()) + 1 >= buffers_[i].size();
}

}  // namespace brenquil::jet
