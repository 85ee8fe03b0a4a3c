// Declarations edited inside a batch's transaction and read back by SQLite
// once: what may run while SQLite still knows a table by its old
// declaration, and the reading back itself.
//
// Every statement of the connection is prepared in Prepare, with the
// authorizer below watching what it names. While declarations are staged, a
// statement is prepared as it stands only when all it names is a table or
// view that is not staged (to read, insert, update or delete), a pragma that
// reads no table's schema, a transaction or savepoint, or a function; a
// pragma function (pragma_table_xinfo(?), ...) only when the table it asks
// about is known (PragmaSubject) and not staged, since its argument is bound
// after the statement is prepared. Anything else, and any statement SQLite
// refuses (it may name a new column), makes SQLite read the declarations
// back and is prepared again. A statement that reads no column of a staged
// table (count(*) of its rows) is not seen, and needs nothing of its
// declaration.
#include <algorithm>
#include <array>
#include <cstring>

#include "engine/connection.h"
#include "engine/dbengine.h"

namespace brenquil::detail {

namespace {

// Pragmas that read no table's schema.
bool ReadsNoSchema(const char* pragma) {
  static constexpr std::array<const char*, 24> kPragmas = {
      "application_id", "auto_vacuum",   "busy_timeout",     "cache_size",    "cache_spill",
      "data_version",   "defer_foreign_keys", "encoding",     "foreign_keys",  "freelist_count",
      "journal_mode",   "legacy_alter_table", "locking_mode", "mmap_size",     "page_count",
      "page_size",      "query_only",    "recursive_triggers", "schema_version", "synchronous",
      "temp_store",     "user_version",  "wal_autocheckpoint", "writable_schema"};
  if (!pragma) return false;
  return std::any_of(kPragmas.begin(), kPragmas.end(),
                     [&](const char* name) { return sqlite3_stricmp(name, pragma) == 0; });
}

bool IsPragmaFunction(const char* table) { return table && sqlite3_strnicmp(table, "pragma_", 7) == 0; }

}  // namespace

int Connection::Authorize(void* self, int action, const char* first, const char*, const char*, const char*) {
  auto& c = *static_cast<Connection*>(self);
  if (c.staged_.empty() || c.reading_back_) return SQLITE_OK;
  bool needed = true;
  switch (action) {
    case SQLITE_SELECT:
    case SQLITE_TRANSACTION:
    case SQLITE_SAVEPOINT:
    case SQLITE_FUNCTION:
    case SQLITE_RECURSIVE:
      needed = false;
      break;
    case SQLITE_READ:
    case SQLITE_INSERT:
    case SQLITE_UPDATE:
    case SQLITE_DELETE:
      if (IsPragmaFunction(first)) {
        needed = c.pragma_subject_.empty() || c.PendingDeclaration(c.pragma_subject_);
      } else {
        needed = first && c.PendingDeclaration(first);
      }
      break;
    case SQLITE_PRAGMA:
      needed = !ReadsNoSchema(first);
      break;
    default:
      break;  // the schema changes, or something is attached, analysed or reindexed
  }
  if (needed) c.needs_read_back_ = true;
  return SQLITE_OK;
}

int Connection::Prepare(const char* sql, int bytes, sqlite3_stmt** statement, const char** tail) {
  needs_read_back_ = false;
  int rc = sqlite3_prepare_v2(db_, sql, bytes, statement, tail);
  if (staged_.empty() || reading_back_ || (!needs_read_back_ && rc == SQLITE_OK)) return rc;
  sqlite3_finalize(*statement);
  *statement = nullptr;
  ReadBackDeclarations();
  return sqlite3_prepare_v2(db_, sql, bytes, statement, tail);
}

bool Connection::PendingDeclaration(std::string_view table) const {
  return std::any_of(staged_.begin(), staged_.end(), [&](const StagedDeclaration& s) { return IEquals(s.table, table); });
}

void Connection::StageDeclaration(const std::string& table, const std::string& edited,
                                  std::vector<std::string> old_columns, std::vector<std::string> added) {
  StoreDeclarationText(table, edited);
  staged_.push_back(StagedDeclaration{table, edited, std::move(old_columns), std::move(added)});
}

void Connection::ReadBackDeclarations() {
  if (staged_.empty() || reading_back_) return;
  std::vector<StagedDeclaration> staged;
  staged.swap(staged_);
  reading_back_ = true;
  try {
    const long long version = std::max<long long>(SchemaVersion(), 0);
    Exec("PRAGMA schema_version = " + std::to_string(version + 1));
    Exec("SELECT count(*) FROM sqlite_master");
    for (const StagedDeclaration& s : staged) CheckReadAsMeant(s.table, s.old_columns, s.added);
  } catch (const Error& error) {
    reading_back_ = false;
    Error undone = MakeError(error.Number(), error.Text() + " en '" + path_ +
                                                 "'; se deshacen todos los cambios de esta operación en la base");
    RollBackAll();
    sqlite3_exec(db_, "PRAGMA foreign_keys = ON", nullptr, nullptr, nullptr);
    AfterRollback();
    undone_ = true;
    DBEngine::Instance().RecordCommitFailure(path_, undone);
    throw undone;
  }
  reading_back_ = false;
}

void Connection::CheckReadAsMeant(const std::string& table, const std::vector<std::string>& old_columns,
                                  const std::vector<std::string>& added) {
  std::vector<std::string> now;
  {
    Statement st(*this, "SELECT name FROM pragma_table_xinfo(?) ORDER BY cid");
    st.Bind(1, table);
    while (st.Step()) now.push_back(st.Text(0).value_or(""));
  }
  bool as_meant = now.size() == old_columns.size() + added.size();
  for (size_t i = 0; as_meant && i < now.size(); ++i)
    as_meant = i < old_columns.size() ? now[i] == old_columns[i] : IEquals(now[i], added[i - old_columns.size()]);
  if (!as_meant)
    throw MakeError(err::kInvalidOperation, "los campos nuevos de la tabla '" + table + "' no se leen como se escribieron");
}

void Connection::ForgetRolledBackDeclarations() {
  if (staged_.empty()) return;
  if (sqlite3_get_autocommit(db_)) {
    staged_.clear();
    return;
  }
  // A savepoint rolled back takes back the declarations staged inside it;
  // those staged before it stay stored, and still to be read back.
  const bool was_reading_back = reading_back_;
  reading_back_ = true;
  std::vector<StagedDeclaration> kept;
  for (StagedDeclaration& s : staged_) {
    Statement st(*this, "SELECT sql FROM sqlite_master WHERE type = 'table' AND name = ?");
    st.Bind(1, s.table);
    if (st.Step() && st.Text(0).value_or("") == s.text) kept.push_back(std::move(s));
  }
  staged_.swap(kept);
  reading_back_ = was_reading_back;
}

}  // namespace brenquil::detail
