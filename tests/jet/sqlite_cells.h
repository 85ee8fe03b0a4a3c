// Values read back with the sqlite3 library itself, each with its storage
// class, so that a test tells NULL from the empty text and an integer from a
// real.
#pragma once

#include <sqlite3.h>

#include <string>
#include <vector>

namespace brenquil::test {

struct Cell {
  int type = SQLITE_NULL;  // SQLITE_INTEGER, SQLITE_FLOAT, SQLITE_TEXT, SQLITE_BLOB, SQLITE_NULL
  std::string text;        // the value as SQLite prints it; a blob as upper-case hex
  double number = 0;
  bool Null() const { return type == SQLITE_NULL; }
};

// The rows of `sql` run on `path` (opened read-only); std::runtime_error on failure.
std::vector<std::vector<Cell>> Cells(const std::string& path, const std::string& sql);
// The one value of a one-row, one-column query.
Cell OneCell(const std::string& path, const std::string& sql);

}  // namespace brenquil::test
