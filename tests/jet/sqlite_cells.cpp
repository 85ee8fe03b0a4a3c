#include "tests/jet/sqlite_cells.h"

#include <stdexcept>

namespace brenquil::test {

std::vector<std::vector<Cell>> Cells(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    throw std::runtime_error("no se pudo abrir " + path);
  }
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
    std::string message = sqlite3_errmsg(db);
    sqlite3_close(db);
    throw std::runtime_error(sql + ": " + message);
  }
  std::vector<std::vector<Cell>> rows;
  while (sqlite3_step(st) == SQLITE_ROW) {
    std::vector<Cell> row;
    for (int i = 0; i < sqlite3_column_count(st); ++i) {
      Cell c;
      c.type = sqlite3_column_type(st, i);
      if (c.type == SQLITE_BLOB) {
        const auto* p = static_cast<const unsigned char*>(sqlite3_column_blob(st, i));
        static const char kHex[] = "0123456789ABCDEF";
        for (int k = 0; k < sqlite3_column_bytes(st, i); ++k) {
          c.text += kHex[p[k] >> 4];
          c.text += kHex[p[k] & 15];
        }
      } else if (c.type != SQLITE_NULL) {
        const auto* t = sqlite3_column_text(st, i);
        c.text.assign(reinterpret_cast<const char*>(t),
                      static_cast<std::size_t>(sqlite3_column_bytes(st, i)));
        c.number = sqlite3_column_double(st, i);
      }
      row.push_back(std::move(c));
    }
    rows.push_back(std::move(row));
  }
  sqlite3_finalize(st);
  sqlite3_close(db);
  return rows;
}

Cell OneCell(const std::string& path, const std::string& sql) {
  auto rows = Cells(path, sql);
  if (rows.size() != 1 || rows[0].size() != 1)
    throw std::runtime_error(sql + ": no da un solo valor");
  return rows[0][0];
}

}  // namespace brenquil::test
