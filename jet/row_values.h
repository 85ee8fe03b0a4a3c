// One Jet field bound as an SQLite statement parameter, as the column that
// receives it stores it: Yes/No as 1 or 0, whole numbers as integers,
// Currency and Decimal exactly (integers, or the double whose 15 digits are
// the value; more digits than SQLite keeps are counted), Single as its
// shortest decimal, dates and GUIDs as text, Text and Memo decoded whole,
// Binary as a blob. An OLE Object is bound whole when small; a large one is
// bound as zeros of its length, to be written in pieces once its row exists
// (WriteLongValue), so memory does not grow with it.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <vector>

#include "jet/jet_file.h"
#include "jet/row_cursor.h"
#include "jet/table_plan.h"
#include "jet/text_decoder.h"

namespace brenquil::jet {

// What a column's values met on the way, counted.
struct ValueIssues {
  long long rounded = 0;   // numbers with more significant digits than SQLite keeps
  long long undated = 0;   // dates outside the years 100 to 9999, kept as their number
  long long replaced = 0;  // text with bytes that do not decode (U+FFFD in their place)
};

class ValueBinder {
 public:
  // OLE values up to this size are bound whole.
  static constexpr std::uint32_t kWholeLimit = 1 << 20;

  ValueBinder(JetFile& file, const TableDefinition& table, const TablePlan& plan);

  // Binds the field of `plan.fields[k]` in the cursor's row to parameter
  // `parameter`. True when it bound zeros for a large OLE Object that
  // WriteLongValue must fill. JetDamage when the value's pages are damaged.
  bool Bind(sqlite3_stmt* statement, int parameter, std::size_t k, const RowCursor& row,
            ValueIssues& issues);

  // Writes the long value of `plan.fields[k]` in the cursor's row into the
  // blob of `column` in row `rowid` of `table`, piece by piece.
  void WriteLongValue(sqlite3* db, const std::string& table, std::size_t k, const RowCursor& row,
                      sqlite3_int64 rowid);

 private:
  JetFile& file_;
  const TablePlan& plan_;
  const TableDefinition& table_;
  TextDecoder text_;
  std::vector<std::string> buffers_;  // one per field, alive until the statement runs
};

}  // namespace brenquil::jet
