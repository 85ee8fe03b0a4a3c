#include "engine/connection.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <set>

#include "engine/dbengine.h"
#include "engine/field.h"
#include "engine/index.h"
#include "engine/querydef.h"
#include "engine/relation.h"
#include "engine/tabledef.h"

namespace brenquil::detail {

namespace {

std::string Upper(std::string_view s) {
  std::string out(s);
  for (auto& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

bool IEquals(std::string_view a, std::string_view b) { return Upper(a) == Upper(b); }

bool Contains(std::string_view haystack, std::string_view needle) {
  return haystack.find(needle) != std::string_view::npos;
}

// Skips blanks and SQL comments from `i`.
size_t SkipBlanks(std::string_view sql, size_t i) {
  while (i < sql.size()) {
    if (std::isspace(static_cast<unsigned char>(sql[i]))) {
      ++i;
    } else if (sql.compare(i, 2, "--") == 0) {
      while (i < sql.size() && sql[i] != '\n') ++i;
    } else if (sql.compare(i, 2, "/*") == 0) {
      size_t end = sql.find("*/", i + 2);
      i = end == std::string_view::npos ? sql.size() : end + 2;
    } else {
      break;
    }
  }
  return i;
}

// The token at `i` (a word, a quoted name, or one character); `i` moves past it.
std::string NextToken(std::string_view sql, size_t& i) {
  i = SkipBlanks(sql, i);
  if (i >= sql.size()) return {};
  size_t start = i;
  char c = sql[i];
  if (c == '"' || c == '`' || c == '[' || c == '\'') {
    char close = c == '[' ? ']' : c;
    ++i;
    while (i < sql.size()) {
      if (sql[i] == close) {
        if (close != ']' && i + 1 < sql.size() && sql[i + 1] == close) {
          i += 2;
          continue;
        }
        ++i;
        break;
      }
      ++i;
    }
  } else if (std::isalnum(static_cast<unsigned char>(c)) || c == '_' ||
             static_cast<unsigned char>(c) >= 0x80) {
    while (i < sql.size() && (std::isalnum(static_cast<unsigned char>(sql[i])) || sql[i] == '_' ||
                              static_cast<unsigned char>(sql[i]) >= 0x80 || sql[i] == '$'))
      ++i;
  } else {
    ++i;
  }
  return std::string(sql.substr(start, i - start));
}

// The SELECT of "CREATE VIEW name [(columns)] AS select".
std::string ViewSelect(std::string_view create) {
  size_t i = 0;
  int depth = 0;
  while (i < create.size()) {
    std::string token = NextToken(create, i);
    if (token.empty()) break;
    if (token == "(") ++depth;
    if (token == ")") --depth;
    if (depth == 0 && IEquals(token, "AS")) {
      size_t start = i;
      while (start < create.size() && std::isspace(static_cast<unsigned char>(create[start]))) ++start;
      return std::string(create.substr(start));
    }
  }
  return std::string(create);
}

bool IsSelectText(std::string_view sql) {
  size_t i = 0;
  std::string first;
  do {
    first = NextToken(sql, i);
  } while (first == "(");
  return IEquals(first, "SELECT") || IEquals(first, "WITH") || IEquals(first, "VALUES");
}

bool OnlyBlanksLeft(std::string_view sql) {
  size_t i = 0;
  while (true) {
    i = SkipBlanks(sql, i);
    if (i < sql.size() && sql[i] == ';') {
      ++i;
      continue;
    }
    return i >= sql.size();
  }
}

}  // namespace

std::string QuoteId(std::string_view name) {
  std::string out = "\"";
  for (char c : name) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string QuoteLiteral(std::string_view text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') out += '\'';
    out += c;
  }
  return out + "'";
}

bool IsSystemName(std::string_view name) { return name.substr(0, 4) == "MSys"; }

std::pair<int, long> InferType(std::string_view declared) {
  std::string d = Upper(declared);
  long n = 0;
  if (auto open = d.find('('); open != std::string::npos) n = std::atol(d.c_str() + open + 1);
  auto has = [&](const char* word) { return Contains(d, word); };
  if (d.empty()) return {dbMemo, 0};
  if (has("BOOL") || d == "BIT" || d.rfind("BIT(", 0) == 0 || has("YESNO")) return {dbBoolean, 1};
  if (has("TINYINT") || has("BYTE")) return {dbByte, 1};
  if (has("SMALLINT") || has("SHORT")) return {dbInteger, 2};
  if (has("BIGINT")) return {dbBigInt, 8};
  if (has("INT") || has("COUNTER") || has("AUTOINCREMENT")) return {dbLong, 4};
  if (has("GUID") || has("UNIQUEIDENTIFIER")) return {dbGUID, 16};
  if (has("VARBINARY")) return {dbVarBinary, n > 0 ? n : 255};
  if (has("BINARY")) return {dbBinary, n > 0 ? n : 255};
  if (has("BLOB") || has("LONGBINARY") || has("IMAGE") || has("OLE")) return {dbLongBinary, 0};
  if (has("CHAR") || has("TEXT") || has("CLOB") || has("STRING")) {
    if (has("CHAR") && n > 0 && n <= 255) return {has("VARCHAR") || has("VARYING") ? dbText : (has("NCHAR") || d.rfind("CHAR", 0) == 0 ? dbChar : dbText), n};
    if (has("TEXT") && n > 0 && n <= 255) return {dbText, n};
    return {dbMemo, 0};
  }
  if (has("MEMO")) return {dbMemo, 0};
  if (has("CURRENCY") || has("MONEY")) return {dbCurrency, 8};
  if (has("SINGLE")) return {dbSingle, 4};
  if (has("FLOAT")) return {dbFloat, 8};
  if (has("DOUBLE") || has("REAL")) return {dbDouble, 8};
  if (has("TIMESTAMP")) return {dbTimeStamp, 8};
  if (has("DATE")) return {dbDate, 8};
  if (has("TIME")) return {dbTime, 8};
  if (has("DECIMAL")) return {dbDecimal, 16};
  if (has("NUMERIC") || has("NUMBER")) return {dbNumeric, 19};
  return {dbMemo, 0};
}

std::string DeclaredType(int type, long size) {
  switch (type) {
    case dbBoolean: return "BOOLEAN";
    case dbByte: return "TINYINT";
    case dbInteger: return "SMALLINT";
    case dbLong: return "INTEGER";
    case dbCurrency: return "CURRENCY";
    case dbSingle: return "SINGLE";
    case dbDouble: return "DOUBLE";
    case dbDate: return "DATETIME";
    case dbBinary: return "BINARY(" + std::to_string(size) + ")";
    case dbText: return "VARCHAR(" + std::to_string(size) + ")";
    case dbLongBinary: return "BLOB";
    case dbMemo: return "TEXT";
    case dbGUID: return "GUID";
    case dbBigInt: return "BIGINT";
    case dbVarBinary: return "VARBINARY(" + std::to_string(size) + ")";
    case dbChar: return "CHAR(" + std::to_string(size) + ")";
    case dbNumeric: return "NUMERIC";
    case dbDecimal: return "DECIMAL";
    case dbFloat: return "FLOAT";
    case dbTime: return "TIME";
    case dbTimeStamp: return "TIMESTAMP";
    default: return "TEXT";
  }
}

// ---------------------------------------------------------------- Statement

Statement::Statement(Connection& connection, const std::string& sql)
    : connection_(connection), sql_(sql) {
  int rc = sqlite3_prepare_v2(connection.Handle(), sql.c_str(), static_cast<int>(sql.size()),
                              &stmt_, nullptr);
  if (rc != SQLITE_OK) {
    sqlite3_finalize(stmt_);
    stmt_ = nullptr;
    throw connection.Fail(rc, "");
  }
}

Statement::~Statement() { sqlite3_finalize(stmt_); }

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
  if (sqlite3_column_type(stmt_, column) == SQLITE_NULL) return std::nullopt;
  const void* data = sqlite3_column_blob(stmt_, column);
  int size = sqlite3_column_bytes(stmt_, column);
  if (sqlite3_column_type(stmt_, column) != SQLITE_BLOB) {
    const unsigned char* text = sqlite3_column_text(stmt_, column);
    size = sqlite3_column_bytes(stmt_, column);
    return std::string(reinterpret_cast<const char*>(text), static_cast<size_t>(size));
  }
  return std::string(static_cast<const char*>(data), static_cast<size_t>(size));
}
long long Statement::Int(int column) const { return sqlite3_column_int64(stmt_, column); }
bool Statement::IsNull(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }

// ---------------------------------------------------------------- TableInfo

const FieldInfo* TableInfo::FindField(std::string_view name) const {
  for (auto& f : fields)
    if (f.name == name) return &f;
  return nullptr;
}
const IndexInfo* TableInfo::FindIndex(std::string_view name) const {
  for (auto& i : indexes)
    if (i.name == name) return &i;
  return nullptr;
}

// ---------------------------------------------------------------- Connection

Connection::Connection(sqlite3* db, std::string path, bool read_only)
    : db_(db), path_(std::move(path)), read_only_(read_only) {}

Connection::~Connection() {
  try {
    CommitBatch();
  } catch (const Error&) {
    // Rolled back: the file keeps what it had before the batch.
  }
  sqlite3_finalize(version_stmt_);
  sqlite3_close_v2(db_);
}

void Connection::Unlease() {
  if (--leases_ != 0 || read_only_) return;
  // Nobody holds the file: the batch's changes to it are committed now.
  try {
    CommitBatch();
  } catch (const Error&) {
  }
  sqlite3_wal_checkpoint_v2(db_, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
}

void Connection::CommitBatch() {
  if (!batch_open_) return;
  batch_open_ = false;
  if (sqlite3_get_autocommit(db_)) return;
  int rc = sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) {
    Error error = Fail(rc, "al confirmar los cambios");
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    Invalidate();
    throw error;
  }
}

void Connection::Abandon() { sqlite3_db_config(db_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr); }

Error Connection::Fail(int rc, const std::string& context) const {
  std::string message = db_ ? sqlite3_errmsg(db_) : "";
  int extended = db_ ? sqlite3_extended_errcode(db_) : rc;
  std::string where = " (base de datos '" + path_ + "')";
  // Our triggers raise "brenquil:NNNN:text".
  if (auto at = message.find("brenquil:"); at != std::string::npos) {
    std::string rest = message.substr(at + 9);
    int number = std::atoi(rest.c_str());
    auto colon = rest.find(':');
    std::string text = colon == std::string::npos ? rest : rest.substr(colon + 1);
    return MakeError(number ? number : err::kEngine, text + where);
  }
  std::string detail = (context.empty() ? "" : context + ": ") + message + where;
  int primary = rc & 0xff;
  switch (primary) {
    case SQLITE_CONSTRAINT:
      if (extended == SQLITE_CONSTRAINT_UNIQUE || extended == SQLITE_CONSTRAINT_PRIMARYKEY)
        return MakeError(err::kDuplicateValue, detail);
      if (extended == SQLITE_CONSTRAINT_NOTNULL) return MakeError(err::kRequired, detail);
      if (extended == SQLITE_CONSTRAINT_FOREIGNKEY)
        return MakeError(err::kRelatedRecordRequired, detail);
      if (extended == SQLITE_CONSTRAINT_CHECK && Contains(message, "MSysZLS_"))
        return MakeError(err::kZeroLength, detail);
      return MakeError(err::kValidationRule, detail);
    case SQLITE_READONLY: return MakeError(err::kReadOnly, detail);
    case SQLITE_BUSY: case SQLITE_LOCKED: return MakeError(err::kLocked, detail);
    case SQLITE_NOTADB: return MakeError(err::kUnrecognisedFormat, detail);
    case SQLITE_CORRUPT: return MakeError(err::kCannotOpen, detail);
    case SQLITE_IOERR: case SQLITE_FULL: case SQLITE_CANTOPEN:
      return MakeError(err::kDiskError, detail);
    default: break;
  }
  if (Contains(message, "no such table")) return MakeError(err::kInputNotFound, detail);
  if (Contains(message, "no such column")) return MakeError(err::kItemNotFound, detail);
  if (Contains(message, "already exists")) return MakeError(err::kObjectExists, detail);
  if (Contains(message, "duplicate column")) return MakeError(err::kFieldExists, detail);
  return MakeError(err::kInvalidSql, detail);
}

void Connection::Exec(const std::string& sql) {
  char* message = nullptr;
  int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message);
  sqlite3_free(message);
  if (rc != SQLITE_OK) throw Fail(rc, "");
}

std::uint64_t Connection::Stamp() {
  // Inside a transaction no other process's commit can show.
  if (!sqlite3_get_autocommit(db_)) return local_changes_;
  std::int64_t version = data_version_;
  if (!version_stmt_) sqlite3_prepare_v2(db_, "PRAGMA data_version", -1, &version_stmt_, nullptr);
  if (version_stmt_ && sqlite3_step(version_stmt_) == SQLITE_ROW) version = sqlite3_column_int64(version_stmt_, 0);
  sqlite3_reset(version_stmt_);
  if (version != data_version_) {
    // Another process committed: what was read may be out of date.
    data_version_ = version;
    ++local_changes_;
    Invalidate();
  }
  return local_changes_;
}

void Connection::Invalidate() {
  names_loaded_ = false;
  tables_.clear();
  relations_loaded_ = false;
  queries_loaded_ = false;
}

void Connection::CheckWritable() const {
  if (read_only_)
    throw MakeError(err::kReadOnly, "la base de datos '" + path_ + "' es de sólo lectura");
}

void Connection::PrepareWrite() {
  CheckWritable();
  if (!sqlite3_get_autocommit(db_)) return;
  if (!write_ready_) {
    // WAL: each change is still one atomic transaction and a crash leaves
    // the file valid, but a commit needs no sync of its own. A file locked by
    // another process keeps its journal mode.
    sqlite3_exec(db_, "PRAGMA journal_mode = WAL", nullptr, nullptr, nullptr);
    write_ready_ = true;
  }
  if (DBEngine::Instance().InBatch()) {
    // Each change inside runs in a savepoint of its own, so it is still
    // all or nothing; the file sees them together at the commit.
    Exec("BEGIN IMMEDIATE");
    batch_open_ = true;
  }
}

void Connection::Atomically(const std::function<void()>& change, const std::string& only_table) {
  // A change that stays inside one table forgets only what was read of it.
  auto done = [&] {
    if (only_table.empty()) {
      Touched();
    } else {
      ++local_changes_;
      tables_.erase(only_table);
      relations_loaded_ = false;
    }
  };
  PrepareWrite();
  if (!sqlite3_get_autocommit(db_)) {
    Exec("SAVEPOINT brenquil_change");
    try {
      change();
    } catch (...) {
      sqlite3_exec(db_, "ROLLBACK TO brenquil_change; RELEASE brenquil_change", nullptr, nullptr, nullptr);
      Touched();
      throw;
    }
    Exec("RELEASE brenquil_change");
    done();
    return;
  }
  Exec("BEGIN IMMEDIATE");
  try {
    change();
    Exec("COMMIT");
  } catch (...) {
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    Touched();
    throw;
  }
  done();
}

void Connection::EnsureSystemTables() {
  if (system_tables_) return;
  Exec(
      "CREATE TABLE IF NOT EXISTS MSysFields (TableName TEXT NOT NULL, FieldName TEXT NOT NULL,"
      " Type INTEGER NOT NULL, Size INTEGER NOT NULL, Attributes INTEGER NOT NULL DEFAULT 0,"
      " AllowZeroLength INTEGER NOT NULL DEFAULT 0, Required INTEGER NOT NULL DEFAULT 0,"
      " PRIMARY KEY (TableName, FieldName));"
      "CREATE TABLE IF NOT EXISTS MSysIndexes (TableName TEXT NOT NULL, IndexName TEXT NOT NULL,"
      " SqlName TEXT NOT NULL UNIQUE, IsPrimary INTEGER NOT NULL DEFAULT 0,"
      " PRIMARY KEY (TableName, IndexName));"
      "CREATE TABLE IF NOT EXISTS MSysRelations (Name TEXT PRIMARY KEY, TableName TEXT NOT NULL,"
      " ForeignTable TEXT NOT NULL, Attributes INTEGER NOT NULL, Position INTEGER NOT NULL);"
      "CREATE TABLE IF NOT EXISTS MSysRelationFields (Relation TEXT NOT NULL, Position INTEGER NOT NULL,"
      " FieldName TEXT NOT NULL, ForeignName TEXT NOT NULL, PRIMARY KEY (Relation, Position));"
      "CREATE TABLE IF NOT EXISTS MSysQueries (Name TEXT PRIMARY KEY, SqlText TEXT NOT NULL,"
      " Position INTEGER NOT NULL);");
  system_tables_ = true;
  names_loaded_ = false;
}

// ---------------------------------------------------------------- reading

void Connection::LoadTableNames() {
  table_names_.clear();
  view_names_.clear();
  Statement st(*this,
               "SELECT type, name FROM sqlite_master WHERE type IN ('table', 'view')"
               " AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY rowid");
  while (st.Step()) {
    std::string name = st.Text(1).value_or("");
    (st.Text(0) == "table" ? table_names_ : view_names_).push_back(name);
    if (name == "MSysFields") system_tables_ = true;
  }
  names_loaded_ = true;
}

const std::vector<std::string>& Connection::TableNames() {
  Stamp();
  if (!names_loaded_) LoadTableNames();
  return table_names_;
}

bool Connection::IsTable(std::string_view name) {
  auto& names = TableNames();
  return std::find(names.begin(), names.end(), name) != names.end();
}

bool Connection::IsView(std::string_view name) {
  TableNames();
  return std::find(view_names_.begin(), view_names_.end(), name) != view_names_.end();
}

const TableInfo& Connection::Table(std::string_view name) {
  if (!IsTable(name))
    throw MakeError(err::kObjectNotFound, "la tabla '" + std::string(name) + "' en '" + path_ + "'");
  auto it = tables_.find(name);
  if (it == tables_.end()) it = tables_.emplace(std::string(name), LoadTable(std::string(name))).first;
  return it->second;
}

TableInfo Connection::LoadTable(const std::string& name) {
  TableInfo info;
  info.name = name;
  {
    Statement st(*this, "SELECT sql FROM sqlite_master WHERE type = 'table' AND name = ?");
    st.Bind(1, name);
    if (st.Step()) info.without_rowid = Contains(Upper(st.Text(0).value_or("")), "WITHOUT ROWID");
  }
  struct Meta { int type; long size; long attributes; bool azl; bool required; };
  std::map<std::string, Meta> meta;
  if (system_tables_) {
    Statement st(*this,
                 "SELECT FieldName, Type, Size, Attributes, AllowZeroLength, Required"
                 " FROM MSysFields WHERE TableName = ?");
    st.Bind(1, name);
    while (st.Step())
      meta[st.Text(0).value_or("")] = Meta{static_cast<int>(st.Int(1)), static_cast<long>(st.Int(2)),
                                           static_cast<long>(st.Int(3)), st.Int(4) != 0, st.Int(5) != 0};
  }
  int pk_count = 0;
  {
    Statement st(*this, "SELECT name, type, \"notnull\", dflt_value, pk, hidden FROM pragma_table_xinfo(?)");
    st.Bind(1, name);
    while (st.Step()) {
      if (st.Int(5) != 0) continue;  // generated columns are not fields
      FieldInfo f;
      f.name = st.Text(0).value_or("");
      f.declared = st.Text(1).value_or("");
      f.required = st.Int(2) != 0;
      f.has_default = !st.IsNull(3);
      f.default_value = st.Text(3).value_or("");
      f.pk = static_cast<int>(st.Int(4));
      if (f.pk) ++pk_count;
      if (auto m = meta.find(f.name); m != meta.end()) {
        f.type = m->second.type;
        f.size = m->second.size;
        f.attributes = m->second.attributes;
        f.allow_zero_length = m->second.azl;
        f.required = m->second.required || f.required;
      } else {
        auto [type, size] = InferType(f.declared);
        f.type = type;
        f.size = size;
        f.allow_zero_length = type == dbText || type == dbMemo || type == dbChar;
      }
      info.fields.push_back(std::move(f));
    }
  }
  // A single INTEGER PRIMARY KEY is the rowid: numbered by SQLite, indexed
  // without an index of its own.
  if (pk_count == 1 && !info.without_rowid) {
    for (auto& f : info.fields) {
      if (f.pk == 1 && Upper(f.declared) == "INTEGER") {
        if (!meta.count(f.name)) f.attributes |= dbAutoIncrField;
        IndexInfo pk;
        pk.name = "PrimaryKey";
        pk.primary = pk.unique = true;
        pk.origin = 'p';
        pk.fields.emplace_back(f.name, false);
        info.indexes.push_back(std::move(pk));
      }
    }
  }
  std::map<std::string, std::pair<std::string, bool>> named;  // sql name -> name, primary
  if (system_tables_) {
    Statement st(*this, "SELECT SqlName, IndexName, IsPrimary FROM MSysIndexes WHERE TableName = ?");
    st.Bind(1, name);
    while (st.Step()) named[st.Text(0).value_or("")] = {st.Text(1).value_or(""), st.Int(2) != 0};
  }
  std::map<std::string, std::pair<bool, char>> list;  // sql name -> unique, origin
  {
    Statement st(*this, "SELECT name, \"unique\", origin FROM pragma_index_list(?)");
    st.Bind(1, name);
    while (st.Step()) {
      std::string origin = st.Text(2).value_or("c");
      list[st.Text(0).value_or("")] = {st.Int(1) != 0, origin == "pk" ? 'p' : origin[0]};
    }
  }
  Statement st(*this, "SELECT name FROM sqlite_master WHERE type = 'index' AND tbl_name = ? ORDER BY rowid");
  st.Bind(1, name);
  while (st.Step()) {
    IndexInfo index;
    index.sql_name = st.Text(0).value_or("");
    auto l = list.find(index.sql_name);
    if (l != list.end()) {
      index.unique = l->second.first;
      index.origin = l->second.second;
    }
    if (auto n = named.find(index.sql_name); n != named.end()) {
      index.name = n->second.first;
      index.primary = n->second.second;
    } else if (index.origin == 'p') {
      index.name = "PrimaryKey";
      index.primary = true;
    } else {
      index.name = index.sql_name;
    }
    Statement cols(*this, "SELECT name, \"desc\" FROM pragma_index_xinfo(?) WHERE key = 1 ORDER BY seqno");
    cols.Bind(1, index.sql_name);
    while (cols.Step()) index.fields.emplace_back(cols.Text(0).value_or(""), cols.Int(1) != 0);
    if (index.primary)
      info.indexes.insert(info.indexes.begin(), std::move(index));
    else
      info.indexes.push_back(std::move(index));
  }
  return info;
}

const std::vector<RelationInfo>& Connection::Relations() {
  Stamp();
  if (relations_loaded_) return relations_;
  relations_.clear();
  TableNames();
  if (system_tables_) {
    Statement st(*this,
                 "SELECT Name, TableName, ForeignTable, Attributes FROM MSysRelations"
                 " ORDER BY Position, rowid");
    Statement fields(*this,
                     "SELECT FieldName, ForeignName FROM MSysRelationFields WHERE Relation = ?"
                     " ORDER BY Position");
    while (st.Step()) {
      RelationInfo r;
      r.name = st.Text(0).value_or("");
      r.table = st.Text(1).value_or("");
      r.foreign_table = st.Text(2).value_or("");
      r.attributes = static_cast<long>(st.Int(3));
      fields.Reset();
      fields.Bind(1, r.name);
      while (fields.Step()) r.fields.emplace_back(fields.Text(0).value_or(""), fields.Text(1).value_or(""));
      relations_.push_back(std::move(r));
    }
  }
  // FOREIGN KEY clauses written by other SQLite programs.
  std::set<std::string> names;
  for (auto& r : relations_) names.insert(r.name);
  for (const auto& child : std::vector<std::string>(table_names_)) {
    Statement st(*this,
                 "SELECT id, \"table\", \"from\", \"to\", on_update, on_delete"
                 " FROM pragma_foreign_key_list(?) ORDER BY id, seq");
    st.Bind(1, child);
    RelationInfo* current = nullptr;
    std::vector<RelationInfo> found;
    while (st.Step()) {
      int id = static_cast<int>(st.Int(0));
      if (!current || current->foreign_key_id != id) {
        found.emplace_back();
        current = &found.back();
        current->foreign_key_id = id;
        current->table = st.Text(1).value_or("");
        current->foreign_table = child;
        if (Upper(st.Text(4).value_or("")) == "CASCADE") current->attributes |= dbRelationUpdateCascade;
        if (Upper(st.Text(5).value_or("")) == "CASCADE") current->attributes |= dbRelationDeleteCascade;
      }
      current->fields.emplace_back(st.Text(3).value_or(""), st.Text(2).value_or(""));
    }
    for (auto& r : found) {
      // A clause without parent columns names the parent's primary key.
      if (IsTable(r.table)) {
        std::vector<std::string> key;
        for (auto& f : Table(r.table).fields)
          if (f.pk) key.push_back(f.name);
        for (size_t i = 0; i < r.fields.size(); ++i)
          if (r.fields[i].first.empty() && i < key.size()) r.fields[i].first = key[i];
      }
      std::string base = r.table + r.foreign_table;
      r.name = base;
      for (int n = 1; names.count(r.name); ++n) r.name = base + std::to_string(n);
      names.insert(r.name);
      relations_.push_back(std::move(r));
    }
  }
  relations_loaded_ = true;
  return relations_;
}

const std::vector<QueryInfo>& Connection::Queries() {
  Stamp();
  if (queries_loaded_) return queries_;
  queries_.clear();
  TableNames();
  std::set<std::string> stored;
  if (system_tables_) {
    Statement st(*this, "SELECT Name, SqlText FROM MSysQueries ORDER BY Position, rowid");
    while (st.Step()) {
      queries_.push_back(QueryInfo{st.Text(0).value_or(""), st.Text(1).value_or(""), true});
      stored.insert(queries_.back().name);
    }
  }
  Statement st(*this, "SELECT name, sql FROM sqlite_master WHERE type = 'view' ORDER BY rowid");
  while (st.Step()) {
    std::string name = st.Text(0).value_or("");
    if (stored.count(name)) continue;
    queries_.push_back(QueryInfo{name, ViewSelect(st.Text(1).value_or("")), false});
  }
  queries_loaded_ = true;
  return queries_;
}

// ---------------------------------------------------------------- changing

std::string Connection::ColumnDefinition(const Field& field, bool in_create) const {
  std::string def = QuoteId(field.Name()) + " " + DeclaredType(field.Type(), field.Size());
  if (field.Required() && in_create) def += " NOT NULL";
  bool text = field.Type() == dbText || field.Type() == dbMemo || field.Type() == dbChar;
  if (text && !field.AllowZeroLength())
    def += " CONSTRAINT " + QuoteId("MSysZLS_" + field.Name()) + " CHECK (" + QuoteId(field.Name()) + " <> '')";
  return def;
}

namespace {
void CheckField(const Field& field, const std::string& table) {
  if (field.Name().empty())
    throw MakeError(err::kInvalidName, "nombre de campo vacío en la tabla '" + table + "'");
  if (!IsKnownType(field.Type()))
    throw MakeError(err::kInvalidFieldType, "tipo " + std::to_string(field.Type()) + " del campo '" +
                                                field.Name() + "' de la tabla '" + table + "'");
  bool sized = field.Type() == dbText || field.Type() == dbChar || field.Type() == dbBinary ||
               field.Type() == dbVarBinary;
  if (sized && (field.Size() < 1 || field.Size() > 255))
    throw MakeError(err::kInvalidOperation, "tamaño " + std::to_string(field.Size()) + " del campo '" +
                                                field.Name() + "' de la tabla '" + table + "'");
}
}  // namespace

void Connection::CreateAutoIncrement(const std::string& table, const std::string& field) {
  Exec("CREATE TRIGGER " + QuoteId("MSysAuto_" + table + "_" + field) + " AFTER INSERT ON " +
       QuoteId(table) + " WHEN NEW." + QuoteId(field) + " IS NULL BEGIN UPDATE " + QuoteId(table) +
       " SET " + QuoteId(field) + " = (SELECT IFNULL(MAX(" + QuoteId(field) + "), 0) + 1 FROM " +
       QuoteId(table) + ") WHERE rowid = NEW.rowid; END");
}

void Connection::CreateTable(TableDef& table) {
  CheckWritable();
  const std::string& name = table.Name();
  if (name.empty()) throw MakeError(err::kInvalidName, "nombre de tabla vacío en '" + path_ + "'");
  if (table.Fields().Count() == 0)
    throw MakeError(err::kNoFields, "la tabla '" + name + "' no tiene campos (" + path_ + ")");
  for (auto& f : table.Fields()) CheckField(*f, name);
  for (auto& t : TableNames())
    if (IEquals(t, name)) throw MakeError(err::kTableExists, "'" + name + "' en '" + path_ + "'");
  if (IsView(name)) throw MakeError(err::kTableExists, "'" + name + "' es una consulta en '" + path_ + "'");
  auto indexes = table.Indexes().Snapshot();
  Atomically([&] {
    EnsureSystemTables();
    std::string sql = "CREATE TABLE " + QuoteId(name) + " (";
    bool first = true;
    for (auto& f : table.Fields()) {
      sql += (first ? "" : ", ") + ColumnDefinition(*f, true);
      first = false;
    }
    sql += ")";
    Exec(sql);
    Statement meta(*this, "INSERT OR REPLACE INTO MSysFields VALUES (?, ?, ?, ?, ?, ?, ?)");
    for (auto& f : table.Fields()) {
      meta.Reset();
      meta.Bind(1, name).Bind(2, f->Name()).Bind(3, static_cast<long long>(f->Type()));
      meta.Bind(4, static_cast<long long>(f->Size())).Bind(5, static_cast<long long>(f->Attributes()));
      meta.Bind(6, static_cast<long long>(f->AllowZeroLength())).Bind(7, static_cast<long long>(f->Required()));
      meta.Step();
      if (f->Attributes() & dbAutoIncrField) CreateAutoIncrement(name, f->Name());
    }
    Touched();
    for (auto& index : indexes) CreateIndex(name, *index);
  });
}

void Connection::DeleteTable(const std::string& name) {
  Table(name);
  for (auto& r : Relations())
    if (r.table == name || r.foreign_table == name)
      throw MakeError(err::kInRelationship, "la tabla '" + name + "' (relación '" + r.name + "') en '" + path_ + "'");
  Atomically([&] {
    Exec("DROP TABLE " + QuoteId(name));
    if (system_tables_) {
      Statement a(*this, "DELETE FROM MSysFields WHERE TableName = ?");
      a.Bind(1, name).Step();
      Statement b(*this, "DELETE FROM MSysIndexes WHERE TableName = ?");
      b.Bind(1, name).Step();
    }
  });
}

void Connection::AddField(const std::string& table, const Field& field) {
  CheckWritable();
  const TableInfo& info = Table(table);
  CheckField(field, table);
  for (auto& f : info.fields)
    if (IEquals(f.name, field.Name()))
      throw MakeError(err::kFieldExists, "'" + field.Name() + "' en la tabla '" + table + "' de '" + path_ + "'");
  bool counter = (field.Attributes() & dbAutoIncrField) != 0;
  if (counter && info.without_rowid)
    throw MakeError(err::kInvalidOperation, "autonumérico en la tabla sin rowid '" + table + "'");
  Atomically([&] {
    EnsureSystemTables();
    Exec("ALTER TABLE " + QuoteId(table) + " ADD COLUMN " + ColumnDefinition(field, false));
    Statement meta(*this, "INSERT OR REPLACE INTO MSysFields VALUES (?, ?, ?, ?, ?, ?, ?)");
    meta.Bind(1, table).Bind(2, field.Name()).Bind(3, static_cast<long long>(field.Type()));
    meta.Bind(4, static_cast<long long>(field.Size())).Bind(5, static_cast<long long>(field.Attributes()));
    meta.Bind(6, static_cast<long long>(field.AllowZeroLength())).Bind(7, static_cast<long long>(field.Required()));
    meta.Step();
    if (counter) {
      // The rows already there are numbered in their order, then new rows
      // continue from the highest number.
      Exec("UPDATE " + QuoteId(table) + " SET " + QuoteId(field.Name()) +
           " = n.k FROM (SELECT rowid AS r, row_number() OVER (ORDER BY rowid) AS k FROM " +
           QuoteId(table) + ") AS n WHERE " + QuoteId(table) + ".rowid = n.r");
      CreateAutoIncrement(table, field.Name());
    }
  }, table);
}

void Connection::DeleteField(const std::string& table, const std::string& name) {
  CheckWritable();
  const TableInfo& info = Table(table);
  const FieldInfo* field = info.FindField(name);
  if (!field) throw MakeError(err::kItemNotFound, "el campo '" + name + "' de la tabla '" + table + "'");
  for (auto& index : info.indexes)
    for (auto& f : index.fields)
      if (f.first == name)
        throw MakeError(err::kFieldInIndex, "'" + name + "' (índice '" + index.name + "' de la tabla '" + table + "')");
  for (auto& r : Relations())
    for (auto& [pf, cf] : r.fields)
      if ((r.table == table && pf == name) || (r.foreign_table == table && cf == name))
        throw MakeError(err::kInRelationship, "el campo '" + name + "' (relación '" + r.name + "')");
  Atomically([&] {
    Exec("DROP TRIGGER IF EXISTS " + QuoteId("MSysAuto_" + table + "_" + name));
    Exec("ALTER TABLE " + QuoteId(table) + " DROP COLUMN " + QuoteId(name));
    if (system_tables_) {
      Statement st(*this, "DELETE FROM MSysFields WHERE TableName = ? AND FieldName = ?");
      st.Bind(1, table).Bind(2, name).Step();
    }
  }, table);
}

std::string Connection::UniqueSqlName(const std::string& base) {
  Statement st(*this, "SELECT 1 FROM sqlite_master WHERE name = ? COLLATE NOCASE");
  std::string candidate = base;
  for (int n = 2;; ++n) {
    st.Reset();
    st.Bind(1, candidate);
    if (!st.Step()) return candidate;
    candidate = base + "_" + std::to_string(n);
  }
}

void Connection::CreateIndex(const std::string& table, Index& index) {
  CheckWritable();
  const TableInfo& info = Table(table);
  const std::string& name = index.Name();
  std::string where = " de la tabla '" + table + "' en '" + path_ + "'";
  if (name.empty()) throw MakeError(err::kInvalidName, "nombre de índice vacío" + where);
  if (info.FindIndex(name)) throw MakeError(err::kIndexExists, "'" + name + "'" + where);
  if (index.Fields().Count() == 0) throw MakeError(err::kNoFields, "el índice '" + name + "'" + where);
  for (auto& f : index.Fields())
    if (!info.FindField(f->Name()))
      throw MakeError(err::kItemNotFound, "el campo '" + f->Name() + "' del índice '" + name + "'" + where);
  if (index.Primary())
    for (auto& i : info.indexes)
      if (i.primary) throw MakeError(err::kPrimaryKeyExists, "'" + i.name + "'" + where);
  std::string sql_name = UniqueSqlName(table + "_" + name);
  std::string sql = std::string("CREATE ") + (index.Unique() ? "UNIQUE " : "") + "INDEX " + QuoteId(sql_name) +
                    " ON " + QuoteId(table) + " (";
  bool first = true;
  for (auto& f : index.Fields()) {
    sql += (first ? "" : ", ") + QuoteId(f->Name()) + (f->Descending() ? " DESC" : "");
    first = false;
  }
  sql += ")";
  try {
    Atomically([&] {
      EnsureSystemTables();
      Exec(sql);
      Statement meta(*this, "INSERT INTO MSysIndexes VALUES (?, ?, ?, ?)");
      meta.Bind(1, table).Bind(2, name).Bind(3, sql_name).Bind(4, static_cast<long long>(index.Primary()));
      meta.Step();
    }, table);
  } catch (const Error& e) {
    if (e.Number() == err::kDuplicateValue)
      throw MakeError(err::kDuplicateValue, "las filas de la tabla '" + table + "' repiten valores del índice único '" +
                                                name + "' en '" + path_ + "'");
    throw;
  }
}

void Connection::DeleteIndex(const std::string& table, const std::string& name) {
  CheckWritable();
  const TableInfo& info = Table(table);
  const IndexInfo* index = info.FindIndex(name);
  if (!index)
    throw MakeError(err::kItemNotFound, "el índice '" + name + "' de la tabla '" + table + "' en '" + path_ + "'");
  IndexInfo copy = *index;
  if (copy.origin == 'c') {
    Atomically([&] {
      Exec("DROP INDEX " + QuoteId(copy.sql_name));
      if (system_tables_) {
        Statement st(*this, "DELETE FROM MSysIndexes WHERE SqlName = ?");
        st.Bind(1, copy.sql_name).Step();
      }
    }, table);
  } else if (copy.origin == 'p') {
    RebuildTable(table, true, "", -1);
  } else {
    RebuildTable(table, false, copy.sql_name, -1);
  }
}

void Connection::RebuildTable(const std::string& table, bool drop_primary,
                              const std::string& drop_unique, int drop_foreign_key) {
  CheckWritable();
  TableInfo info = Table(table);
  // The parts of the table that stay: columns, keys and clauses, indexes and
  // triggers as SQLite holds them.
  std::vector<std::string> clauses;
  std::vector<std::string> columns;
  std::vector<std::pair<int, std::string>> key;
  for (auto& f : info.fields) {
    std::string def = QuoteId(f.name) + (f.declared.empty() ? "" : " " + f.declared);
    if (f.required) def += " NOT NULL";
    if (f.has_default) def += " DEFAULT " + f.default_value;
    bool text = f.type == dbText || f.type == dbMemo || f.type == dbChar;
    if (text && !f.allow_zero_length)
      def += " CONSTRAINT " + QuoteId("MSysZLS_" + f.name) + " CHECK (" + QuoteId(f.name) + " <> '')";
    clauses.push_back(def);
    columns.push_back(QuoteId(f.name));
    if (f.pk) key.emplace_back(f.pk, QuoteId(f.name));
  }
  bool keep_key = !drop_primary && !key.empty();
  if (keep_key) {
    std::sort(key.begin(), key.end());
    std::string k = "PRIMARY KEY (";
    for (size_t i = 0; i < key.size(); ++i) k += (i ? ", " : "") + key[i].second;
    clauses.push_back(k + ")");
  }
  for (auto& index : info.indexes) {
    if (index.origin != 'u' || index.sql_name == drop_unique) continue;
    std::string u = "UNIQUE (";
    for (size_t i = 0; i < index.fields.size(); ++i) u += (i ? ", " : "") + QuoteId(index.fields[i].first);
    clauses.push_back(u + ")");
  }
  {
    Statement st(*this,
                 "SELECT id, \"table\", \"from\", \"to\", on_update, on_delete FROM pragma_foreign_key_list(?)"
                 " ORDER BY id, seq");
    st.Bind(1, table);
    int current = -1;
    std::string from, to, parent, tail;
    auto flush = [&] {
      if (current >= 0 && current != drop_foreign_key)
        clauses.push_back("FOREIGN KEY (" + from + ") REFERENCES " + QuoteId(parent) +
                          (to.empty() ? "" : " (" + to + ")") + tail);
    };
    while (st.Step()) {
      int id = static_cast<int>(st.Int(0));
      if (id != current) {
        flush();
        current = id;
        from.clear();
        to.clear();
        parent = st.Text(1).value_or("");
        tail = " ON UPDATE " + st.Text(4).value_or("NO ACTION") + " ON DELETE " + st.Text(5).value_or("NO ACTION");
      }
      from += (from.empty() ? "" : ", ") + QuoteId(st.Text(2).value_or(""));
      if (!st.IsNull(3)) to += (to.empty() ? "" : ", ") + QuoteId(st.Text(3).value_or(""));
    }
    flush();
  }
  std::vector<std::string> keep_sql;
  {
    Statement st(*this,
                 "SELECT sql FROM sqlite_master WHERE tbl_name = ? AND type IN ('index', 'trigger')"
                 " AND sql IS NOT NULL ORDER BY rowid");
    st.Bind(1, table);
    while (st.Step()) keep_sql.push_back(st.Text(0).value_or(""));
  }
  std::string temp = UniqueSqlName(table + "_reconstruida");
  std::string create = "CREATE TABLE " + QuoteId(temp) + " (";
  for (size_t i = 0; i < clauses.size(); ++i) create += (i ? ", " : "") + clauses[i];
  create += ")";
  if (keep_key && info.without_rowid) create += " WITHOUT ROWID";
  std::string list;
  for (size_t i = 0; i < columns.size(); ++i) list += (i ? ", " : "") + columns[i];

  // Foreign keys are switched off for the rebuild, so dropping the old table
  // deletes no related rows; the check before commit keeps the data sound.
  // Foreign keys can only be switched off outside a transaction: a batch
  // commits what it has so far first.
  CommitBatch();
  bool outer = sqlite3_get_autocommit(db_) != 0;
  if (outer) Exec("PRAGMA foreign_keys = OFF");
  Exec("PRAGMA legacy_alter_table = ON");
  try {
    Atomically([&] {
      Exec(create);
      Exec("INSERT INTO " + QuoteId(temp) + " (" + list + ") SELECT " + list + " FROM " + QuoteId(table));
      Exec("DROP TABLE " + QuoteId(table));
      Exec("ALTER TABLE " + QuoteId(temp) + " RENAME TO " + QuoteId(table));
      for (auto& sql : keep_sql) Exec(sql);
      Statement check(*this, "SELECT 1 FROM pragma_foreign_key_check(?)");
      check.Bind(1, table);
      if (check.Step())
        throw MakeError(err::kRelatedRecordRequired, "al reconstruir la tabla '" + table + "' en '" + path_ + "'");
    });
  } catch (...) {
    try {
      CommitBatch();
    } catch (const Error&) {
    }
    Exec("PRAGMA legacy_alter_table = OFF");
    if (outer) Exec("PRAGMA foreign_keys = ON");
    throw;
  }
  // The rebuild is committed before foreign keys come back on.
  CommitBatch();
  Exec("PRAGMA legacy_alter_table = OFF");
  if (outer) Exec("PRAGMA foreign_keys = ON");
}

namespace {
std::string RelationWhere(const RelationInfo& r, const std::string& parent_alias,
                          const std::string& child_alias) {
  std::string where;
  for (size_t i = 0; i < r.fields.size(); ++i)
    where += (i ? " AND " : "") + parent_alias + "." + QuoteId(r.fields[i].first) + " = " + child_alias +
             "." + QuoteId(r.fields[i].second);
  return where;
}
std::string AllSet(const RelationInfo& r, const std::string& alias) {
  std::string s;
  for (size_t i = 0; i < r.fields.size(); ++i)
    s += (i ? " AND " : "") + alias + "." + QuoteId(r.fields[i].second) + " IS NOT NULL";
  return s;
}
const char* kTriggerKinds[] = {"_hijo_alta", "_hijo_cambio", "_padre_baja", "_padre_cambio"};
}  // namespace

void Connection::CreateRelationTriggers(const RelationInfo& r) {
  std::string p = QuoteId(r.table), c = QuoteId(r.foreign_table);
  std::string missing = QuoteLiteral("brenquil:" + std::to_string(err::kRelatedRecordRequired) +
                                     ":Se necesita un registro relacionado en la tabla '" + r.table +
                                     "' (relación '" + r.name + "')");
  std::string related = QuoteLiteral("brenquil:" + std::to_string(err::kRelatedRecords) +
                                     ":la tabla '" + r.foreign_table + "' tiene registros relacionados (relación '" +
                                     r.name + "')");
  std::string child_cols, parent_cols, changed;
  for (size_t i = 0; i < r.fields.size(); ++i) {
    child_cols += (i ? ", " : "") + QuoteId(r.fields[i].second);
    parent_cols += (i ? ", " : "") + QuoteId(r.fields[i].first);
    changed += (i ? " OR " : "") + std::string("OLD.") + QuoteId(r.fields[i].first) + " IS NOT NEW." +
               QuoteId(r.fields[i].first);
  }
  std::string orphan = AllSet(r, "NEW") + " AND NOT EXISTS (SELECT 1 FROM " + p + " AS brenquil_padre WHERE " +
                       RelationWhere(r, "brenquil_padre", "NEW") + ")";
  auto name = [&](int kind) { return QuoteId("MSysRel_" + r.name + kTriggerKinds[kind]); };
  Exec("CREATE TRIGGER " + name(0) + " BEFORE INSERT ON " + c + " WHEN " + orphan + " BEGIN SELECT RAISE(ABORT, " +
       missing + "); END");
  Exec("CREATE TRIGGER " + name(1) + " BEFORE UPDATE OF " + child_cols + " ON " + c + " WHEN " + orphan +
       " BEGIN SELECT RAISE(ABORT, " + missing + "); END");
  std::string children = "SELECT 1 FROM " + c + " AS brenquil_hijo WHERE " + RelationWhere(r, "OLD", "brenquil_hijo");
  std::string child_match;
  for (size_t i = 0; i < r.fields.size(); ++i)
    child_match += (i ? " AND " : "") + QuoteId(r.fields[i].second) + " = OLD." + QuoteId(r.fields[i].first);
  if (r.attributes & dbRelationDeleteCascade)
    Exec("CREATE TRIGGER " + name(2) + " AFTER DELETE ON " + p + " BEGIN DELETE FROM " + c + " WHERE " +
         child_match + "; END");
  else
    Exec("CREATE TRIGGER " + name(2) + " BEFORE DELETE ON " + p + " WHEN EXISTS (" + children +
         ") BEGIN SELECT RAISE(ABORT, " + related + "); END");
  if (r.attributes & dbRelationUpdateCascade) {
    std::string set;
    for (size_t i = 0; i < r.fields.size(); ++i)
      set += (i ? ", " : "") + QuoteId(r.fields[i].second) + " = NEW." + QuoteId(r.fields[i].first);
    Exec("CREATE TRIGGER " + name(3) + " AFTER UPDATE OF " + parent_cols + " ON " + p + " WHEN " + changed +
         " BEGIN UPDATE " + c + " SET " + set + " WHERE " + child_match + "; END");
  } else {
    Exec("CREATE TRIGGER " + name(3) + " BEFORE UPDATE OF " + parent_cols + " ON " + p + " WHEN (" + changed +
         ") AND EXISTS (" + children + ") BEGIN SELECT RAISE(ABORT, " + related + "); END");
  }
}

void Connection::DropRelationTriggers(const std::string& name) {
  for (const char* kind : kTriggerKinds) Exec("DROP TRIGGER IF EXISTS " + QuoteId("MSysRel_" + name + kind));
}

void Connection::CreateRelation(Relation& relation) {
  CheckWritable();
  RelationInfo r;
  r.name = relation.Name();
  r.table = relation.Table();
  r.foreign_table = relation.ForeignTable();
  r.attributes = relation.Attributes();
  std::string where = " en '" + path_ + "'";
  if (r.name.empty()) throw MakeError(err::kInvalidName, "nombre de relación vacío" + where);
  for (auto& existing : Relations())
    if (existing.name == r.name) throw MakeError(err::kObjectExists, "la relación '" + r.name + "'" + where);
  if (!IsTable(r.table))
    throw MakeError(err::kObjectNotFound, "la tabla '" + r.table + "' de la relación '" + r.name + "'" + where);
  if (!IsTable(r.foreign_table))
    throw MakeError(err::kObjectNotFound, "la tabla '" + r.foreign_table + "' de la relación '" + r.name + "'" + where);
  if (relation.Fields().Count() == 0)
    throw MakeError(err::kRelationNoFields, "'" + r.name + "'" + where);
  const TableInfo& parent = Table(r.table);
  for (auto& f : relation.Fields())
    if (!parent.FindField(f->Name()))
      throw MakeError(err::kItemNotFound, "el campo '" + f->Name() + "' de la tabla '" + r.table + "' (relación '" +
                                              r.name + "')" + where);
  const TableInfo& child = Table(r.foreign_table);
  for (auto& f : relation.Fields()) {
    if (!child.FindField(f->ForeignName()))
      throw MakeError(err::kItemNotFound, "el campo '" + f->ForeignName() + "' de la tabla '" + r.foreign_table +
                                              "' (relación '" + r.name + "')" + where);
    r.fields.emplace_back(f->Name(), f->ForeignName());
  }
  bool enforced = (r.attributes & dbRelationDontEnforce) == 0;
  if (enforced) {
    Statement st(*this, "SELECT 1 FROM " + QuoteId(r.foreign_table) + " AS brenquil_hijo WHERE " +
                            AllSet(r, "brenquil_hijo") + " AND NOT EXISTS (SELECT 1 FROM " + QuoteId(r.table) +
                            " AS brenquil_padre WHERE " + RelationWhere(r, "brenquil_padre", "brenquil_hijo") +
                            ") LIMIT 1");
    if (st.Step())
      throw MakeError(err::kRelatedRecordRequired,
                      "filas de la tabla '" + r.foreign_table + "' sin registro relacionado en la tabla '" + r.table +
                          "' impiden crear la relación '" + r.name + "'" + where);
  }
  Atomically([&] {
    EnsureSystemTables();
    Statement st(*this,
                 "INSERT INTO MSysRelations VALUES (?, ?, ?, ?, (SELECT IFNULL(MAX(Position), 0) + 1 FROM MSysRelations))");
    st.Bind(1, r.name).Bind(2, r.table).Bind(3, r.foreign_table).Bind(4, static_cast<long long>(r.attributes));
    st.Step();
    Statement fields(*this, "INSERT INTO MSysRelationFields VALUES (?, ?, ?, ?)");
    for (size_t i = 0; i < r.fields.size(); ++i) {
      fields.Reset();
      fields.Bind(1, r.name).Bind(2, static_cast<long long>(i)).Bind(3, r.fields[i].first).Bind(4, r.fields[i].second);
      fields.Step();
    }
    if (enforced) CreateRelationTriggers(r);
  });
}

void Connection::DeleteRelation(const std::string& name) {
  CheckWritable();
  const RelationInfo* found = nullptr;
  for (auto& r : Relations())
    if (r.name == name) found = &r;
  if (!found) throw MakeError(err::kItemNotFound, "la relación '" + name + "' en '" + path_ + "'");
  RelationInfo r = *found;
  if (r.foreign_key_id >= 0) {
    RebuildTable(r.foreign_table, false, "", r.foreign_key_id);
    return;
  }
  Atomically([&] {
    DropRelationTriggers(name);
    Statement a(*this, "DELETE FROM MSysRelations WHERE Name = ?");
    a.Bind(1, name).Step();
    Statement b(*this, "DELETE FROM MSysRelationFields WHERE Relation = ?");
    b.Bind(1, name).Step();
  });
}

void Connection::CreateQuery(QueryDef& query) {
  CheckWritable();
  const std::string& name = query.Name();
  const std::string& sql = query.SQL();
  std::string where = " en '" + path_ + "'";
  if (name.empty()) throw MakeError(err::kInvalidName, "nombre de consulta vacío" + where);
  for (auto& q : Queries())
    if (q.name == name) throw MakeError(err::kObjectExists, "la consulta '" + name + "'" + where);
  for (auto& t : TableNames())
    if (IEquals(t, name)) throw MakeError(err::kObjectExists, "'" + name + "' es una tabla" + where);
  bool view = false;
  if (!OnlyBlanksLeft(sql)) {
    sqlite3_stmt* stmt = nullptr;
    const char* tail = nullptr;
    int rc = sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &stmt, &tail);
    bool read_only = stmt && sqlite3_stmt_readonly(stmt);
    sqlite3_finalize(stmt);
    if (rc != SQLITE_OK)
      throw MakeError(err::kInvalidSql, "la consulta '" + name + "': " + sqlite3_errmsg(db_) + where);
    if (tail && !OnlyBlanksLeft(tail))
      throw MakeError(err::kInvalidSql, "la consulta '" + name + "' tiene más de una instrucción" + where);
    view = read_only && IsSelectText(sql);
  }
  Atomically([&] {
    EnsureSystemTables();
    Statement st(*this, "INSERT INTO MSysQueries VALUES (?, ?, (SELECT IFNULL(MAX(Position), 0) + 1 FROM MSysQueries))");
    st.Bind(1, name).Bind(2, sql).Step();
    // A line comment at the end of the text must not swallow anything, so
    // nothing follows the text but a line break.
    if (view) Exec("CREATE VIEW " + QuoteId(name) + " AS " + sql + "\n");
  });
}

void Connection::DeleteQuery(const std::string& name) {
  CheckWritable();
  const QueryInfo* found = nullptr;
  for (auto& q : Queries())
    if (q.name == name) found = &q;
  if (!found) throw MakeError(err::kItemNotFound, "la consulta '" + name + "' en '" + path_ + "'");
  Atomically([&] {
    if (IsView(name)) Exec("DROP VIEW " + QuoteId(name));
    if (system_tables_) {
      Statement st(*this, "DELETE FROM MSysQueries WHERE Name = ?");
      st.Bind(1, name).Step();
    }
  });
}

}  // namespace brenquil::detail
