// The connection itself: its handle, transactions and batches (plans
// included), staleness, the integrity check before the first change, and
// leaving the file in the journal mode it had.
#include "engine/connection.h"

#include <cassert>

#include "engine/dbengine.h"
#include "engine/foreign_messages.h"

namespace brenquil::detail {

// ---------------------------------------------------------------- TableInfo

const FieldInfo* TableInfo::FindField(std::string_view name) const {
  for (auto& f : fields)
    if (IEquals(f.name, name)) return &f;
  return nullptr;
}
const IndexInfo* TableInfo::FindIndex(std::string_view name) const {
  for (auto& i : indexes)
    if (IEquals(i.name, name)) return &i;
  return nullptr;
}

// ---------------------------------------------------------------- Connection

Connection::Connection(sqlite3* db, std::string path, bool read_only)
    : db_(db), path_(std::move(path)), read_only_(read_only) {
  sqlite3_set_authorizer(db_, &Connection::Authorize, this);
}

Connection::~Connection() {
  try {
    FinishBatch();
  } catch (const Error& error) {
    // Rolled back: the file keeps what it had before the batch.
    DBEngine::Instance().RecordCommitFailure(path_, error);
  }
  ForgetStatements();
  RestoreJournalMode();
  sqlite3_finalize(version_stmt_);
  sqlite3_finalize(begin_read_stmt_);
  sqlite3_finalize(end_read_stmt_);
  sqlite3_close_v2(db_);
}

namespace {
// Enough for every reading statement a step repeats; more are finalised.
constexpr std::size_t kPooledStatements = 64;
}  // namespace

void Connection::ForgetStatements() {
  for (auto& [sql, list] : statements_)
    for (sqlite3_stmt* st : list) sqlite3_finalize(st);
  statements_.clear();
  pooled_ = 0;
  statements_stamp_ = local_changes_;
}

sqlite3_stmt* Connection::TakeStatement(const std::string& sql) {
  if (statements_stamp_ != local_changes_) ForgetStatements();
  auto it = statements_.find(sql);
  if (it == statements_.end() || it->second.empty()) return nullptr;
  sqlite3_stmt* st = it->second.back();
  it->second.pop_back();
  --pooled_;
  return st;
}

void Connection::GiveBackStatement(const std::string& sql, sqlite3_stmt* statement) {
  if (!statement) return;
  sqlite3_reset(statement);
  sqlite3_clear_bindings(statement);
  if (statements_stamp_ != local_changes_) ForgetStatements();
  // A statement without parameters names what it reads in its text (a
  // table, a catalogue's row): it is seldom run twice, and kept it would
  // only hold memory.
  if (pooled_ >= kPooledStatements || sqlite3_bind_parameter_count(statement) == 0) {
    sqlite3_finalize(statement);
    return;
  }
  statements_[sql].push_back(statement);
  ++pooled_;
}

void Connection::RestoreJournalMode() {
  if (original_journal_mode_.empty() || abandoned_ || !sqlite3_get_autocommit(db_)) return;
  // Back to the mode the file had: the log is written into the file and
  // removed. When another process holds the file this fails, and the file
  // stays valid in WAL mode.
  sqlite3_exec(db_, ("PRAGMA journal_mode = " + original_journal_mode_).c_str(), nullptr, nullptr, nullptr);
  original_journal_mode_.clear();
  write_ready_ = false;
}

void Connection::Unlease() {
  if (--leases_ != 0) return;
  EndRead();
  if (read_only_) return;
  // Nobody holds the file: the batch's changes to it are committed now, or
  // a plan's rolled back.
  try {
    FinishBatch();
  } catch (const Error& error) {
    DBEngine::Instance().RecordCommitFailure(path_, error);
  }
  // A plan writes nothing, not even what another run left in the log.
  if (!DBEngine::Instance().InPlan())
    sqlite3_wal_checkpoint_v2(db_, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
}

void Connection::FinishBatch() {
  EndRead();
  held_ = false;
  undone_ = false;
  if (!batch_open_) return;
  batch_open_ = false;
  if (batch_is_plan_) {
    batch_is_plan_ = false;
    EndPlan();
    return;
  }
  if (sqlite3_get_autocommit(db_)) return;
  try {
    ReadBackDeclarations();
  } catch (const Error&) {
    return;  // rolled back, and handed on as a failed commit
  }
  // A batch that wrote back exactly what it removed (a catalogue listed again
  // from files that did not change) has nothing to commit: rolled back, the
  // file keeps every byte it had and no commit waits for the disk.
  const bool unchanged = BatchLeftFileAsItWas();
  batch_schema_version_ = -1;
  if (unchanged) {
    RollBackAll();
    sqlite3_exec(db_, "PRAGMA foreign_keys = ON", nullptr, nullptr, nullptr);
    AfterRollback();
    return;
  }
  int rc = sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) {
    Error error = Fail(rc, "al confirmar los cambios; no se guardó ninguno");
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_exec(db_, "PRAGMA foreign_keys = ON", nullptr, nullptr, nullptr);
    AfterRollback();
    throw error;
  }
  sqlite3_exec(db_, "PRAGMA foreign_keys = ON", nullptr, nullptr, nullptr);
}

void Connection::BeginPlan() {
  // Without spilling, the pager writes a changed page into the file only at
  // a commit, which a plan never makes.
  Exec("PRAGMA cache_spill = OFF");
  // A rollback journal would still be written beside the file; in memory it
  // is not. Other modes stay: WAL writes its log only at a commit, and a
  // persistent or truncated journal belongs to whoever chose it.
  std::string mode;
  {
    Statement st(*this, "PRAGMA journal_mode");
    if (st.Step()) mode = Upper(st.Text(0).value_or(""));
  }
  if (mode == "DELETE") {
    Statement st(*this, "PRAGMA journal_mode = MEMORY");
    if (st.Step() && Upper(st.Text(0).value_or("")) == "MEMORY") plan_journal_mode_ = mode;
  }
}

void Connection::RollBackAll() {
  sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  if (!sqlite3_get_autocommit(db_)) {
    // A statement still reading could keep the transaction open: what is
    // rolled back must never outlive it.
    for (sqlite3_stmt* st = sqlite3_next_stmt(db_, nullptr); st; st = sqlite3_next_stmt(db_, st))
      sqlite3_reset(st);
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  }
  assert(sqlite3_get_autocommit(db_));
}

void Connection::EndPlan() {
  RollBackAll();
  sqlite3_exec(db_, "PRAGMA foreign_keys = ON", nullptr, nullptr, nullptr);
  sqlite3_exec(db_, "PRAGMA cache_spill = ON", nullptr, nullptr, nullptr);
  if (!plan_journal_mode_.empty()) {
    sqlite3_exec(db_, ("PRAGMA journal_mode = " + plan_journal_mode_).c_str(), nullptr, nullptr, nullptr);
    plan_journal_mode_.clear();
  }
  AfterRollback();
}

void Connection::Abandon() {
  abandoned_ = true;
  sqlite3_db_config(db_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
}

Error Connection::Fail(int rc, const std::string& context) const {
  std::string message = db_ ? sqlite3_errmsg(db_) : "";
  int extended = db_ ? sqlite3_extended_errcode(db_) : rc;
  std::string where = " (base de datos '" + path_ + "')";
  // The row triggers an earlier version made for relations raise "brenquil:NNNN:text".
  if (auto at = message.find("brenquil:"); at != std::string::npos) {
    std::string rest = message.substr(at + 9);
    int number = std::atoi(rest.c_str());
    auto colon = rest.find(':');
    std::string text = colon == std::string::npos ? rest : rest.substr(colon + 1);
    return MakeError(number ? number : err::kEngine, text + where);
  }
  std::string detail = (context.empty() ? "" : context + ": ") + SpanishSqliteMessage(message) + where;
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
    case SQLITE_BUSY:
      // Another process holds the file longer than the busy timeout.
      if (DBEngine::Instance().InBatch()) held_ = true;
      return MakeError(err::kLocked,
                       detail + "; otro proceso lo tiene bloqueado: vuelva a intentarlo cuando lo suelte");
    case SQLITE_LOCKED: return MakeError(err::kLocked, detail);
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
  if (staged_.empty()) {
    char* message = nullptr;
    int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message);
    sqlite3_free(message);
    if (rc != SQLITE_OK) throw Fail(rc, "");
    return;
  }
  // Statement by statement, each prepared through Prepare.
  const char* rest = sql.c_str();
  while (*rest) {
    sqlite3_stmt* st = nullptr;
    const char* tail = nullptr;
    int rc = Prepare(rest, -1, &st, &tail);
    if (rc != SQLITE_OK) {
      sqlite3_finalize(st);
      throw Fail(rc, "");
    }
    rest = tail ? tail : "";
    if (!st) continue;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE) {
      Error error = Fail(rc, "");
      sqlite3_finalize(st);
      throw error;
    }
    sqlite3_finalize(st);
  }
}

std::uint64_t Connection::Stamp() {
  // Inside a transaction no other process's commit can show.
  if (!sqlite3_get_autocommit(db_)) return local_changes_;
  const DBEngine& engine = DBEngine::Instance();
  if (engine.InBatch()) {
    // data_version is read inside the transaction, so what it says is what
    // the step's reads see.
    if (leases_ > 0) {
      if (!begin_read_stmt_) sqlite3_prepare_v2(db_, "BEGIN", -1, &begin_read_stmt_, nullptr);
      if (begin_read_stmt_ && sqlite3_step(begin_read_stmt_) == SQLITE_DONE) read_open_ = true;
      sqlite3_reset(begin_read_stmt_);
    }
    if (checked_step_ == engine.StepNumber()) return local_changes_;
  }
  checked_step_ = engine.StepNumber();
  const std::int64_t read = DataVersion();
  const std::int64_t version = read < 0 ? data_version_ : read;
  if (version != data_version_) {
    // Another process committed: what was read may be out of date.
    data_version_ = version;
    ++local_changes_;
    Invalidate();
  }
  return local_changes_;
}

std::int64_t Connection::DataVersion() {
  if (!version_stmt_) sqlite3_prepare_v2(db_, "PRAGMA data_version", -1, &version_stmt_, nullptr);
  std::int64_t version = -1;
  if (version_stmt_ && sqlite3_step(version_stmt_) == SQLITE_ROW) version = sqlite3_column_int64(version_stmt_, 0);
  sqlite3_reset(version_stmt_);
  return version;
}

std::int64_t Connection::SchemaVersion() {
  Statement st(*this, "PRAGMA schema_version");
  return st.Step() ? st.Int(0) : -1;
}

void Connection::EndRead() {
  if (!read_open_) return;
  read_open_ = false;
  // A read transaction has nothing to keep: its end cannot lose anything.
  if (sqlite3_get_autocommit(db_)) return;
  if (!end_read_stmt_) sqlite3_prepare_v2(db_, "COMMIT", -1, &end_read_stmt_, nullptr);
  const int rc = end_read_stmt_ ? sqlite3_step(end_read_stmt_) : SQLITE_ERROR;
  sqlite3_reset(end_read_stmt_);
  if (rc != SQLITE_DONE) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

void Connection::Invalidate() {
  names_loaded_ = false;
  rows_.reset();
  tables_.clear();
  relations_.reset();
  queries_.reset();
}

void Connection::TouchedTable(const std::string& table) {
  ++local_changes_;
  tables_.erase(Upper(table));
  relations_.reset();
  if (rows_) stale_rows_.insert(Upper(table));
}

void Connection::AfterRollback() {
  ForgetRolledBackDeclarations();
  sql_names_version_ = -1;
  // What the rollback took back may include the engine's own tables, made by
  // the change that failed: they are looked for again.
  system_tables_ = false;
  ++local_changes_;
  Invalidate();
}

void Connection::CheckWritable() const {
  if (read_only_)
    throw MakeError(err::kReadOnly, "la base de datos '" + path_ + "' " +
                                        (read_only_why_.empty() ? "es de sólo lectura." : read_only_why_));
}

void Connection::CheckIntact() {
  if (!intact_) {
    // The whole check, indexes against their tables included: a change to a
    // file whose index already misses rows would spread the damage.
    // A check started ahead, while the run worked on another file, saves
    // the time of this one. The next file's check starts once this one's is
    // over: only one runs at a time, and starting it before would find this
    // one still running and leave the next file to be checked here, on the
    // run's own thread. A check ahead that found damage spoke of the file as
    // it was then: the file is only called damaged by a check of what this
    // connection reads now (another program may have replaced it meanwhile).
    std::optional<std::string> ahead = DBEngine::Instance().TakeIntegrity(path_);
    DBEngine::Instance().StartCheckAhead(path_);
    std::string first = "ok";
    if (ahead && *ahead == "ok") {
      first = *ahead;
    } else {
      Statement st(*this, "PRAGMA integrity_check(1)");
      if (st.Step()) first = st.Text(0).value_or("");
    }
    bool ok = first == "ok";
    intact_ = ok;
    if (!ok) damage_ = first;
  }
  if (!*intact_)
    throw MakeError(err::kCannotOpen, "'" + path_ + "' está dañado y no se modifica (" + damage_ + ")");
}

void Connection::PrepareWrite() {
  CheckWritable();
  CheckEngineTables();
  // The rest of the batch's changes to a file another process held would
  // leave it half done; none is made.
  if (held_)
    throw MakeError(err::kLocked, "'" + path_ + "' lo ha tenido bloqueado otro proceso durante esta "
                                  "operación y no se modifica; vuelva a intentarlo cuando lo suelte");
  CheckIntact();
  if (undone_)
    throw MakeError(err::kInvalidOperation, "los cambios de esta operación en '" + path_ +
                                                "' se han deshecho y no se hace ninguno más");
  // A change ends the step's read transaction: the batch's own transaction
  // (or the change's) takes its place.
  EndRead();
  if (!sqlite3_get_autocommit(db_)) return;
  const bool plan = DBEngine::Instance().InPlan();
  // A plan leaves the journal mode alone: switching to WAL writes the file.
  // So does a batch: its changes to a file are one transaction, committed
  // once, which WAL would make no cheaper.
  if (!write_ready_ && !DBEngine::Instance().InBatch()) {
    // WAL: each change is still one atomic transaction and a crash leaves
    // the file valid, but a commit needs no sync of its own. The mode the
    // file had comes back when the connection closes. A file locked by
    // another process keeps its journal mode.
    std::string mode;
    {
      Statement st(*this, "PRAGMA journal_mode");
      if (st.Step()) mode = Upper(st.Text(0).value_or(""));
    }
    if (mode != "WAL" && mode != "MEMORY" && mode != "OFF") {
      Statement st(*this, "PRAGMA journal_mode = WAL");
      if (st.Step() && Upper(st.Text(0).value_or("")) == "WAL") original_journal_mode_ = mode;
    }
    write_ready_ = true;
  }
  if (DBEngine::Instance().InBatch()) {
    // Nothing of the batch is in the file yet: whoever keeps a copy of it
    // takes it now (a backup), or refuses the change.
    if (!plan) DBEngine::Instance().AboutToChange(path_);
    // Each change inside runs in a savepoint of its own, so it is still
    // all or nothing; the file sees them together at the commit. Foreign
    // keys can only be switched off outside a transaction, and a table
    // rebuild needs them off.
    Exec("PRAGMA foreign_keys = OFF");
    if (plan) {
      BeginPlan();
      try {
        Exec("BEGIN IMMEDIATE");
      } catch (const Error&) {
        EndPlan();
        throw;
      }
    } else {
      Exec("BEGIN IMMEDIATE");
      // What the file's schema was, for the end of the batch to tell whether
      // anything is left to commit (see BatchLeftFileAsItWas).
      batch_schema_version_ = SchemaVersion();
    }
    batch_open_ = true;
    batch_is_plan_ = plan;
  }
}

void Connection::Atomically(const std::function<void()>& change, const std::string& only_table, bool keep_pending) {
  // A change that stays inside one table forgets only what was read of it.
  auto done = [&] {
    if (only_table.empty()) {
      Touched();
    } else {
      TouchedTable(only_table);
    }
  };
  PrepareWrite();
  if (!keep_pending) ReadBackDeclarations();
  if (!sqlite3_get_autocommit(db_)) {
    Exec("SAVEPOINT brenquil_change");
    try {
      change();
    } catch (...) {
      sqlite3_exec(db_, "ROLLBACK TO brenquil_change; RELEASE brenquil_change", nullptr, nullptr, nullptr);
      AfterRollback();
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
    AfterRollback();
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

}  // namespace brenquil::detail
