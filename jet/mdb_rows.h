// Rows of one table of a Jet file read through libmdb's bound columns, each
// value as text, with Null told apart from a value where libmdb lets us (a
// fixed or short column whose stored length is 0 is Null or empty; a text
// column here never holds an empty text). Meant for the small system tables
// (MSysObjects, MSysQueries). The handle's catalogue is read only when it was
// not, so the caller's entries stay valid, and its bind size is put back.
#pragma once

// libmdb's header opens extern "C" before it includes glib.h.
#include <glib.h>
#include <mdbtools.h>

#include <optional>
#include <string>
#include <vector>

namespace brenquil::jet {

class MdbRows {
 public:
  // Opens `table` of the handle's file; Found() is false when it has none.
  // `columns` are the columns to read; those the table lacks read as Null.
  // `value_size`: the longest value expected, in bytes.
  MdbRows(MdbHandle* mdb, const std::string& table, const std::vector<std::string>& columns,
          size_t value_size);
  ~MdbRows();
  MdbRows(const MdbRows&) = delete;
  MdbRows& operator=(const MdbRows&) = delete;

  bool Found() const { return table_ != nullptr; }
  // Moves to the next row; false after the last.
  bool Next();
  // The value of the i-th column asked for; nullopt for Null (or empty).
  std::optional<std::string> Text(size_t i) const;
  std::optional<long> Number(size_t i) const;
  // True when the value filled the whole buffer and may have been cut.
  bool Cut(size_t i) const;

 private:
  MdbHandle* mdb_;
  size_t saved_bind_size_;
  MdbTableDef* table_ = nullptr;
  std::vector<std::vector<char>> buffers_;
  std::vector<MdbColumn*> columns_;  // null: the table has no such column
};

}  // namespace brenquil::jet
