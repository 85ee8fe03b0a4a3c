// Whether a batch left a file as it found it: what the batch's open
// transaction reads against what another connection reads of the file as last
// committed. A batch that deleted rows and wrote the same rows back (the
// catalogues, rewritten whole by each listing step of an up-to-date run) is
// then rolled back instead of committed: the file keeps every byte it had and
// no commit has to wait for the disk.
#include <sqlite3.h>
#include <sys/stat.h>

#include <string>
#include <string_view>

#include "engine/connection.h"
#include "engine/sql_text.h"

namespace brenquil::detail {

namespace {

// Larger files are committed without comparing: reading them twice would cost
// more than the commit saves.
constexpr long long kComparedAtMost = 8ll << 20;

// A prepared statement finalised on every way out.
struct Prepared {
  sqlite3_stmt* st = nullptr;
  Prepared(sqlite3* db, const std::string& sql) {
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
      sqlite3_finalize(st);
      st = nullptr;
    }
  }
  ~Prepared() { sqlite3_finalize(st); }
  Prepared(const Prepared&) = delete;
  Prepared& operator=(const Prepared&) = delete;
};

bool SameValue(sqlite3_stmt* a, sqlite3_stmt* b, int column) {
  const int type = sqlite3_column_type(a, column);
  if (type != sqlite3_column_type(b, column)) return false;
  switch (type) {
    case SQLITE_NULL: return true;
    case SQLITE_INTEGER: return sqlite3_column_int64(a, column) == sqlite3_column_int64(b, column);
    case SQLITE_FLOAT: {
      // Compared as stored: the same bits, so -0.0 differs from 0.0.
      const double x = sqlite3_column_double(a, column), y = sqlite3_column_double(b, column);
      return std::string_view(reinterpret_cast<const char*>(&x), sizeof x) ==
             std::string_view(reinterpret_cast<const char*>(&y), sizeof y);
    }
    default: {
      const void* x = type == SQLITE_TEXT ? static_cast<const void*>(sqlite3_column_text(a, column))
                                          : sqlite3_column_blob(a, column);
      const int nx = sqlite3_column_bytes(a, column);
      const void* y = type == SQLITE_TEXT ? static_cast<const void*>(sqlite3_column_text(b, column))
                                          : sqlite3_column_blob(b, column);
      const int ny = sqlite3_column_bytes(b, column);
      return nx == ny && (nx == 0 || std::string_view(static_cast<const char*>(x), static_cast<size_t>(nx)) ==
                                         std::string_view(static_cast<const char*>(y), static_cast<size_t>(ny)));
    }
  }
}

// Steps `sql` on both connections together: the same rows, values and types,
// in the same order. False when either cannot run it.
bool SameRows(sqlite3* a, sqlite3* b, const std::string& sql) {
  Prepared x(a, sql), y(b, sql);
  if (!x.st || !y.st || sqlite3_column_count(x.st) != sqlite3_column_count(y.st)) return false;
  const int columns = sqlite3_column_count(x.st);
  while (true) {
    const int rx = sqlite3_step(x.st), ry = sqlite3_step(y.st);
    if (rx != ry) return false;
    if (rx == SQLITE_DONE) return true;
    if (rx != SQLITE_ROW) return false;
    for (int c = 0; c < columns; ++c)
      if (!SameValue(x.st, y.st, c)) return false;
  }
}

// The selection of table `name`'s rows: with their rowids, in rowid order,
// or, for a table without rowid, in the order of its key. The rowid is read
// by the first of its names no column takes (an R*Tree's tables have a column
// "rowid"); empty when columns take all three: rows moved to other rowids
// would not show, so the table is not compared and the file is taken as
// changed.
std::string RowSelection(sqlite3* db, const std::string& name) {
  Prepared st(db, "SELECT * FROM " + QuoteId(name));
  if (!st.st) return {};
  for (const char* alias : {"rowid", "oid", "_rowid_"}) {
    bool taken = false;
    for (int c = 0; c < sqlite3_column_count(st.st) && !taken; ++c) {
      const char* column = sqlite3_column_name(st.st, c);
      taken = column && IEquals(column, alias);
    }
    if (taken) continue;
    const std::string with_rowid =
        std::string("SELECT ") + alias + ", * FROM " + QuoteId(name) + " ORDER BY " + alias;
    Prepared rowid(db, with_rowid);
    return rowid.st ? with_rowid : "SELECT * FROM " + QuoteId(name);
  }
  return {};
}

// The schema version is the caller's to compare: it tells a changed schema
// without a second connection.
bool SameContent(sqlite3* mine, sqlite3* committed) {
  // The header's own values, then every schema row, then the rows of every
  // table that holds its own (a virtual table's are in its shadow tables).
  for (const char* pragma : {"PRAGMA user_version", "PRAGMA application_id"})
    if (!SameRows(mine, committed, pragma)) return false;
  if (!SameRows(mine, committed, "SELECT type, name, tbl_name, rootpage, sql FROM sqlite_master ORDER BY rowid"))
    return false;
  Prepared tables(mine, "SELECT name FROM sqlite_master WHERE type = 'table' AND sql NOT LIKE 'CREATE VIRTUAL%'");
  if (!tables.st) return false;
  int rc;
  while ((rc = sqlite3_step(tables.st)) == SQLITE_ROW) {
    const unsigned char* text = sqlite3_column_text(tables.st, 0);
    const std::string name = text ? reinterpret_cast<const char*>(text) : "";
    const std::string sql = RowSelection(mine, name);
    if (sql.empty() || !SameRows(mine, committed, sql)) return false;
  }
  return rc == SQLITE_DONE;
}

}  // namespace

bool Connection::BatchLeftFileAsItWas() {
  if (batch_schema_version_ < 0) return false;
  struct stat st {};
  if (::stat(path_.c_str(), &st) != 0 || st.st_size > kComparedAtMost) return false;
  // A change of the schema shows in its version: nothing more to read. The
  // batch holds the file's write lock, so the committed file still has the
  // version the batch began with.
  if (SchemaVersion() != batch_schema_version_) return false;
  // The file as committed, through a connection of its own. It must not wait:
  // a batch that had to write into the file (a cache too small for its
  // changes) holds it, and is simply committed.
  sqlite3* other = nullptr;
  bool same = false;
  if (sqlite3_open_v2(path_.c_str(), &other, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) == SQLITE_OK &&
      sqlite3_exec(other, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK) {
    same = SameContent(db_, other);
    sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
  }
  sqlite3_close_v2(other);
  return same;
}

}  // namespace brenquil::detail
