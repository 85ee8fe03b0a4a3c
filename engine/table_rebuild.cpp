// Changing a table's declaration without losing anything it holds. The engine
// edits the table's own CREATE TABLE text, cutting out only the clause it must
// remove, and stores it by one of SQLite's documented procedures: where the
// stored format does not change (a FOREIGN KEY clause), the text is replaced
// in place; otherwise the table is built again from the edited text, its rows
// copied with their rowids, its AUTOINCREMENT sequence, indexes and triggers
// kept, and its place among the file's objects given back. A change that would
// lose something is refused, and the file is left as it was.
#include <algorithm>
#include <optional>

#include "engine/connection.h"
#include "engine/table_declaration.h"

namespace brenquil::detail {

namespace {

std::string Refusal(const std::string& table, const std::string& clause, const std::string& reason,
                    const std::string& path) {
  return "no se quita " + clause + " de la tabla '" + table + "' en '" + path + "': " + reason;
}

}  // namespace

TableDeclaration Connection::ParsedDeclaration(const std::string& table) {
  std::string create = Declaration(table);
  auto parsed = ParseTableDeclaration(create);
  if (!parsed)
    throw MakeError(err::kInvalidOperation, "la declaración de la tabla '" + table + "' en '" + path_ +
                                                "' no se puede cambiar sin riesgo: " + create);
  return *parsed;
}

void Connection::RemovePrimaryKey(const std::string& table) {
  CheckWritable();
  TableDeclaration d = ParsedDeclaration(table);
  auto keys = d.KeyClauses(ClauseKind::kPrimaryKey);
  if (keys.empty())
    throw MakeError(err::kItemNotFound, "la clave principal de la tabla '" + table + "' en '" + path_ + "'");
  if (d.without_rowid)
    throw MakeError(err::kInvalidOperation,
                    Refusal(table, "la clave principal", "es una tabla WITHOUT ROWID, que la necesita", path_));
  for (const Clause* key : keys)
    if (key->autoincrement)
      throw MakeError(err::kInvalidOperation,
                      Refusal(table, "la clave principal", "se perdería su AUTOINCREMENT y la secuencia", path_));
  ChangeDeclaration(table, WithoutClauses(d, keys), false);
}

void Connection::RemoveUnique(const std::string& table, const std::string& unique_index) {
  CheckWritable();
  std::vector<std::string> columns;
  {
    Statement st(*this, "SELECT name FROM pragma_index_info(?) ORDER BY seqno");
    st.Bind(1, unique_index);
    while (st.Step()) columns.push_back(st.Text(0).value_or(""));
  }
  TableDeclaration d = ParsedDeclaration(table);
  std::vector<const Clause*> matches;
  for (const Clause* clause : d.KeyClauses(ClauseKind::kUnique))
    if (SameNames(clause->columns, columns)) matches.push_back(clause);
  if (matches.empty())
    throw MakeError(err::kInvalidOperation,
                    Refusal(table, "la cláusula UNIQUE de '" + unique_index + "'",
                            "no se encuentra en su declaración", path_));
  ChangeDeclaration(table, WithoutClauses(d, matches), false);
}

void Connection::RemoveForeignKey(const std::string& table, int foreign_key_id) {
  CheckWritable();
  std::string parent;
  std::vector<std::string> from, to;
  bool to_declared = false;
  {
    Statement st(*this,
                 "SELECT \"table\", \"from\", \"to\" FROM pragma_foreign_key_list(?) WHERE id = ? ORDER BY seq");
    st.Bind(1, table).Bind(2, static_cast<long long>(foreign_key_id));
    while (st.Step()) {
      parent = st.Text(0).value_or("");
      from.push_back(st.Text(1).value_or(""));
      to_declared = to_declared || !st.IsNull(2);
      to.push_back(st.Text(2).value_or(""));
    }
  }
  TableDeclaration d = ParsedDeclaration(table);
  std::vector<const Clause*> matches;
  const std::vector<const Clause*> clauses = d.KeyClauses(ClauseKind::kForeignKey);
  for (const Clause* clause : clauses) {
    if (!IEquals(clause->parent, parent) || !SameNames(clause->columns, from)) continue;
    if (clause->parent_columns.empty() ? to_declared : !SameNames(clause->parent_columns, to)) continue;
    matches.push_back(clause);
  }
  // Two relations may declare the same clause twice: only this one's goes.
  // SQLite numbers a table's clauses from the last one in the text.
  if (matches.size() > 1 && foreign_key_id >= 0 && static_cast<size_t>(foreign_key_id) < clauses.size()) {
    const Clause* own = clauses[clauses.size() - 1 - static_cast<size_t>(foreign_key_id)];
    if (std::find(matches.begin(), matches.end(), own) != matches.end()) matches = {own};
  }
  if (matches.empty())
    throw MakeError(err::kInvalidOperation, Refusal(table, "la cláusula FOREIGN KEY hacia '" + parent + "'",
                                                    "no se encuentra en su declaración", path_));
  ChangeDeclaration(table, WithoutClauses(d, matches), true);
}

namespace {

// sqlite_master writable while it lives, inside the caller's transaction.
struct WritableSchema {
  explicit WritableSchema(Connection& c) : c(c) { c.Exec("PRAGMA writable_schema = ON"); }
  ~WritableSchema() { sqlite3_exec(c.Handle(), "PRAGMA writable_schema = OFF", nullptr, nullptr, nullptr); }
  WritableSchema(const WritableSchema&) = delete;
  WritableSchema& operator=(const WritableSchema&) = delete;
  Connection& c;
};

}  // namespace

long long Connection::OrphanRows(const std::string& table) {
  // It names no column: the authorizer would not see which table it asks about.
  ReadBackDeclarations();
  Statement check(*this, "SELECT count(*) FROM pragma_foreign_key_check(?)");
  check.Bind(1, table);
  return check.Step() ? check.Int(0) : 0;
}

void Connection::StoreDeclarationText(const std::string& table, const std::string& edited) {
  WritableSchema writable(*this);
  Statement st(*this, "UPDATE sqlite_master SET sql = ? WHERE type = 'table' AND name = ?");
  st.Bind(1, edited).Bind(2, table).Step();
  if (sqlite3_changes(db_) != 1)
    throw MakeError(err::kInvalidOperation, "la declaración de la tabla '" + table + "' no se encuentra en '" + path_ + "'");
}

void Connection::StoreDeclarationInPlace(const std::string& table, const std::string& edited) {
  const long long version = std::max<long long>(SchemaVersion(), 0);
  StoreDeclarationText(table, edited);
  Exec("PRAGMA schema_version = " + std::to_string(version + 1));
  // The schema is read again now: a text it does not take undoes the change.
  Exec("SELECT count(*) FROM sqlite_master");
}

void Connection::ChangeDeclaration(const std::string& table, const std::string& edited, bool same_format) {
  auto parsed = ParseTableDeclaration(edited);
  if (!parsed)
    throw MakeError(err::kInvalidOperation, "la declaración cambiada de la tabla '" + table + "' no se entiende");
  // The edited text must be one SQLite accepts before anything is stored.
  {
    std::string probe = WithName(edited, *parsed, QuoteId(UniqueSqlName(table + "_prueba")));
    sqlite3_stmt* stmt = nullptr;
    int rc = Prepare(probe.c_str(), -1, &stmt, nullptr);
    sqlite3_finalize(stmt);
    if (rc != SQLITE_OK) throw Fail(rc, "la declaración cambiada de la tabla '" + table + "'");
  }
  if (same_format) {
    Atomically([&] { StoreDeclarationInPlace(table, edited); });
    return;
  }

  // What the table holds besides its rows, as stored.
  struct Entry {
    long long rowid;
    std::string type, name, sql;
  };
  std::vector<Entry> entries;  // the table, its autoindexes, indexes and triggers
  {
    Statement st(*this,
                 "SELECT rowid, type, name, sql FROM sqlite_master WHERE tbl_name = ? COLLATE NOCASE AND type IN"
                 " ('table', 'index', 'trigger') ORDER BY rowid");
    st.Bind(1, table);
    while (st.Step())
      entries.push_back(Entry{st.Int(0), st.Text(1).value_or(""), st.Text(2).value_or(""), st.Text(3).value_or("")});
  }
  std::optional<long long> sequence;
  {
    Statement has(*this, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'sqlite_sequence'");
    if (has.Step()) {
      Statement st(*this, "SELECT seq FROM sqlite_sequence WHERE name = ?");
      st.Bind(1, table);
      if (st.Step()) sequence = st.Int(0);
    }
  }
  std::vector<std::string> columns;
  {
    // Generated columns are computed again from their own expressions.
    Statement st(*this, "SELECT name FROM pragma_table_xinfo(?) WHERE hidden = 0 ORDER BY cid");
    st.Bind(1, table);
    while (st.Step()) columns.push_back(st.Text(0).value_or(""));
  }
  std::string rowid;
  if (!parsed->without_rowid) {
    for (const char* alias : {"rowid", "oid", "_rowid_"}) {
      bool shadowed = std::any_of(columns.begin(), columns.end(), [&](const std::string& c) { return IEquals(c, alias); });
      if (!shadowed) {
        rowid = alias;
        break;
      }
    }
  }
  std::string list;
  for (const auto& c : columns) list += (list.empty() ? "" : ", ") + QuoteId(c);
  if (!rowid.empty()) list = rowid + (list.empty() ? "" : ", " + list);

  // Foreign keys must be off, so that dropping the old table deletes or
  // changes no related row; they can only be switched off outside a
  // transaction. Inside a batch they are off once its transaction is open:
  // it is opened here when the rebuild is the file's first change, instead
  // of meeting the step's read transaction, which holds them on.
  PrepareWrite();
  bool outer = sqlite3_get_autocommit(db_) != 0;
  if (!outer) {
    Statement fk(*this, "PRAGMA foreign_keys");
    if (fk.Step() && fk.Int(0) != 0)
      throw MakeError(err::kInvalidOperation, "la tabla '" + table + "' no se puede reconstruir dentro de otra transacción");
  }
  const long long orphans = OrphanRows(table);
  if (outer) Exec("PRAGMA foreign_keys = OFF");
  Exec("PRAGMA legacy_alter_table = ON");
  try {
    Atomically([&] {
      std::string temp = UniqueSqlName(table + "_reconstruida");
      Exec(WithName(edited, *parsed, QuoteId(temp)));
      Exec("INSERT INTO " + QuoteId(temp) + " (" + list + ") SELECT " + list + " FROM " + QuoteId(table));
      Exec("DROP TABLE " + QuoteId(table));
      Exec("ALTER TABLE " + QuoteId(temp) + " RENAME TO " + QuoteId(table));
      for (const auto& e : entries)
        if (e.type != "table" && !e.sql.empty()) Exec(e.sql);
      const long long version = std::max<long long>(SchemaVersion(), 0);
      {
        WritableSchema writable(*this);
        // The declaration as written, not as the rename rewrote its name.
        Statement text(*this, "UPDATE sqlite_master SET sql = ? WHERE type = 'table' AND name = ?");
        text.Bind(1, edited).Bind(2, table).Step();
        // Each object takes back its place, so the table keeps its position
        // among the tables and its indexes and triggers their order.
        Statement place(*this,
                        "UPDATE sqlite_master SET rowid = ?1 WHERE type = ?2 AND name = ?3"
                        " AND NOT EXISTS (SELECT 1 FROM sqlite_master WHERE rowid = ?1)");
        for (const auto& e : entries) {
          place.Reset();
          place.Bind(1, e.rowid).Bind(2, e.type).Bind(3, e.name).Step();
        }
        Exec("PRAGMA schema_version = " + std::to_string(version + 1));
      }
      Exec("SELECT count(*) FROM sqlite_master");
      if (sequence) {
        Statement seq(*this, "UPDATE sqlite_sequence SET seq = max(seq, ?) WHERE name = ?");
        seq.Bind(1, *sequence).Bind(2, table).Step();
        if (sqlite3_changes(db_) == 0) {
          Statement add(*this, "INSERT INTO sqlite_sequence (name, seq) VALUES (?, ?)");
          add.Bind(1, table).Bind(2, *sequence).Step();
        }
      }
      // Children a writer with foreign keys off left without their parent
      // were there before and stay; the rebuild must leave no other.
      if (OrphanRows(table) > orphans)
        throw MakeError(err::kRelatedRecordRequired, "al reconstruir la tabla '" + table + "' en '" + path_ + "'");
    });
  } catch (...) {
    sqlite3_exec(db_, "PRAGMA legacy_alter_table = OFF", nullptr, nullptr, nullptr);
    if (outer) sqlite3_exec(db_, "PRAGMA foreign_keys = ON", nullptr, nullptr, nullptr);
    throw;
  }
  Exec("PRAGMA legacy_alter_table = OFF");
  if (outer) Exec("PRAGMA foreign_keys = ON");
}

}  // namespace brenquil::detail
