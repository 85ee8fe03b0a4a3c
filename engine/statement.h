// Internal to the engine. A prepared statement of a Connection, finalised
// when it goes; a failed step becomes an Error through Connection::Fail.
#pragma once

#include <sqlite3.h>

#include <optional>
#include <string>
#include <string_view>

namespace brenquil::detail {

class Connection;

class Statement {
 public:
  Statement(Connection& connection, const std::string& sql);
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& Bind(int index, std::string_view text);
  Statement& Bind(int index, long long value);
  Statement& BindNull(int index);
  // True while there is a row; throws on failure.
  bool Step();
  void Reset();
  int ColumnCount() const;
  std::optional<std::string> Text(int column) const;
  long long Int(int column) const;
  bool IsNull(int column) const;
  sqlite3_stmt* Handle() const { return stmt_; }

 private:
  Connection& connection_;
  sqlite3_stmt* stmt_ = nullptr;
  std::string sql_;
};

}  // namespace brenquil::detail
