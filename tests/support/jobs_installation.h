// The pairs the --jobs suites of the command line and of the window share: a
// model with a table and fields its old databases lack, a unique index, a
// relation and a view, and old databases with rows.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace brenquil::test {

inline constexpr const char* kJobsModel =
    "CREATE TABLE cliente (id INTEGER PRIMARY KEY, nombre TEXT, codigo TEXT, alta TEXT);"
    "CREATE UNIQUE INDEX codigo_idx ON cliente (codigo);"
    "CREATE TABLE pedido (id INTEGER PRIMARY KEY, cliente INTEGER REFERENCES cliente (id), importe REAL);"
    "CREATE TABLE linea (id INTEGER PRIMARY KEY, pedido INTEGER, cantidad INTEGER);"
    "CREATE INDEX linea_pedido ON linea (pedido);"
    "CREATE VIEW grandes AS SELECT * FROM pedido WHERE importe > 100;";

// Old database number `n`, with `rows` rows in each table; with
// `repeated_codes`, rows the model's unique index refuses.
inline std::string JobsOldDatabase(int n, bool repeated_codes, int rows) {
  std::string sql =
      "CREATE TABLE cliente (id INTEGER PRIMARY KEY, nombre TEXT, codigo TEXT);"
      "CREATE TABLE pedido (id INTEGER PRIMARY KEY, cliente INTEGER, importe REAL);";
  for (int row = 1; row <= rows; ++row) {
    const std::string code = repeated_codes && row % 7 == 0 ? "'X'" : "'C" + std::to_string(row) + "'";
    sql += "INSERT INTO cliente VALUES (" + std::to_string(row) + ", 'nombre " + std::to_string(n) + "', " +
           code + ");";
    sql += "INSERT INTO pedido VALUES (" + std::to_string(row) + ", " + std::to_string(row) + ", " +
           std::to_string(row * 10 + n) + ");";
  }
  return sql;
}

// Every object and row of every database of the folder, after its
// integrity check, by file name.
inline std::map<std::string, std::vector<std::vector<std::string>>> DatabaseContents(const std::string& data) {
  std::map<std::string, std::vector<std::vector<std::string>>> contents;
  for (const auto& entry : std::filesystem::directory_iterator(data)) {
    if (entry.path().extension() != ".mdb") continue;
    const std::string path = entry.path().string();
    auto rows = RawQuery(path, "PRAGMA integrity_check");
    for (auto& row : RawQuery(path, "SELECT type, name, sql FROM sqlite_master ORDER BY rowid")) rows.push_back(row);
    for (const auto& table : RawQuery(path, "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY rowid"))
      for (auto& row : RawQuery(path, "SELECT * FROM \"" + table[0] + "\" ORDER BY rowid")) rows.push_back(row);
    contents[entry.path().filename().string()] = rows;
  }
  return contents;
}

// `text` with every `from` replaced by `to`: a run's output with its folder
// put as "@", so that runs in two folders compare.
inline std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
    text.replace(at, from.size(), to);
  return text;
}

}  // namespace brenquil::test
