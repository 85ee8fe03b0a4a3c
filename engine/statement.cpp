// Prepared statements: bound, stepped and finalised in one place.
#include "engine/statement.h"

#include "engine/connection.h"

namespace brenquil::detail {

// ---------------------------------------------------------------- Statement

Statement::Statement(Connection& connection, const std::string& sql)
    : connection_(connection), sql_(sql) {
  stmt_ = connection.TakeStatement(sql_);
  if (stmt_) return;
  int rc = connection.Prepare(sql.c_str(), static_cast<int>(sql.size()), &stmt_, nullptr);
  if (rc != SQLITE_OK) {
    sqlite3_finalize(stmt_);
    stmt_ = nullptr;
    throw connection.Fail(rc, "");
  }
}

Statement::~Statement() { connection_.GiveBackStatement(sql_, stmt_); }

Statement& Statement::Bind(int index, std::string_view text) {
  sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  return *this;
}
Statement& Statement::Bind(int index, long long value) {
  sqlite3_bind_int64(stmt_, index, value);
  return *this;
}
Statement& Statement::BindNull(int index) {
  sqlite3_bind_null(stmt_, index);
  return *this;
}

bool Statement::Step() {
  if (!stmt_) return false;
  int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  Error error = connection_.Fail(rc, "");
  sqlite3_reset(stmt_);
  throw error;
}

void Statement::Reset() { sqlite3_reset(stmt_); }
int Statement::ColumnCount() const { return sqlite3_column_count(stmt_); }
std::optional<std::string> Statement::Text(int column) const {
  const int type = sqlite3_column_type(stmt_, column);
  if (type == SQLITE_NULL) return std::nullopt;
  if (type == SQLITE_BLOB) {
    const void* data = sqlite3_column_blob(stmt_, column);
    return std::string(static_cast<const char*>(data), static_cast<size_t>(sqlite3_column_bytes(stmt_, column)));
  }
  // A number comes as SQLite writes it as text.
  const unsigned char* text = sqlite3_column_text(stmt_, column);
  return std::string(reinterpret_cast<const char*>(text), static_cast<size_t>(sqlite3_column_bytes(stmt_, column)));
}
long long Statement::Int(int column) const { return sqlite3_column_int64(stmt_, column); }
bool Statement::IsNull(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }

}  // namespace brenquil::detail
