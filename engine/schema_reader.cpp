// Reading a file's schema into the object model: table names (virtual tables
// and their shadow tables left out: they belong to SQLite), fields with their
// DAO types, indexes with their per-table names, relations (the engine's and
// FOREIGN KEY clauses of other tools) and queries (the engine's and views).
#include <algorithm>
#include <cctype>
#include <map>
#include <optional>
#include <set>

#include "engine/connection.h"
#include "engine/table_declaration.h"
#include "engine/relation_sql.h"
#include "engine/field.h"
#include "engine/relation.h"

namespace brenquil::detail {

namespace {
// What follows `keyword` in a clause's text ("DEFAULT 0" gives "0", "CHECK
// (a > 0)" gives "(a > 0)"), a leading "CONSTRAINT name" passed over.
std::string ClauseValue(const std::string& clause, const char* keyword) {
  size_t i = 0;
  while (i < clause.size()) {
    size_t start = SkipBlanks(clause, i);
    i = start;
    std::string token = NextToken(clause, i);
    if (token.empty()) break;
    if (IEquals(token, keyword)) return std::string(clause.substr(SkipBlanks(clause, i)));
  }
  return clause;
}
// What SQLite's index pragmas would say of an index declared by `create`,
// read from the statement itself when it names plain columns of `table`:
// CREATE [UNIQUE] INDEX [IF NOT EXISTS] [schema.]name ON table (column
// [COLLATE name] [ASC|DESC], ...) [WHERE ...]. False for anything else (an
// expression, a name that is not one of the table's fields): SQLite is asked.
struct DeclaredIndex {
  bool unique = false;
  bool partial = false;
  std::vector<std::pair<std::string, bool>> fields;  // the table's spelling, descending
};
bool ReadIndexDeclaration(const std::string& create, const TableInfo& table, DeclaredIndex& out) {
  size_t i = 0;
  auto next = [&] { return NextToken(create, i); };
  auto is_name = [](const std::string& token) {
    if (token.empty()) return false;
    char c = token[0];
    if (c == '"' || c == '`' || c == '[') return token.size() >= 2;
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_' || static_cast<unsigned char>(c) >= 0x80;
  };
  if (!IEquals(next(), "CREATE")) return false;
  std::string token = next();
  if (IEquals(token, "UNIQUE")) {
    out.unique = true;
    token = next();
  }
  if (!IEquals(token, "INDEX")) return false;
  token = next();
  if (IEquals(token, "IF")) {
    if (!IEquals(next(), "NOT") || !IEquals(next(), "EXISTS")) return false;
    token = next();
  }
  if (!is_name(token)) return false;
  token = next();
  if (token == ".") {
    if (!is_name(next())) return false;
    token = next();
  }
  if (!IEquals(token, "ON") || !is_name(next()) || next() != "(") return false;
  for (;;) {
    token = next();
    if (!is_name(token)) return false;
    const FieldInfo* field = table.FindField(Unquote(token));
    if (!field) return false;
    bool descending = false;
    token = next();
    if (IEquals(token, "COLLATE")) {
      if (!is_name(next())) return false;
      token = next();
    }
    if (IEquals(token, "ASC") || IEquals(token, "DESC")) {
      descending = IEquals(token, "DESC");
      token = next();
    }
    out.fields.emplace_back(field->name, descending);
    if (token == ")") break;
    if (token != ",") return false;
  }
  token = next();
  if (IEquals(token, "WHERE")) {
    out.partial = true;
    return true;
  }
  return OnlyBlanksLeft(create.substr(std::min(SkipBlanks(create, i), create.size())));
}

}  // namespace

void Connection::LoadTableNames() {
  auto names = std::make_shared<std::vector<std::string>>();
  view_names_.clear();
  // Virtual tables and the tables that hold their data are SQLite's.
  std::set<std::string> virtual_tables;
  std::set<std::string> shadow;
  {
    Statement st(*this,
                 "SELECT name FROM sqlite_master WHERE type = 'table' AND sql LIKE 'CREATE VIRTUAL TABLE%'");
    while (st.Step()) virtual_tables.insert(Upper(st.Text(0).value_or("")));
  }
  if (!virtual_tables.empty()) {
    try {
      Statement st(*this, "SELECT name FROM pragma_table_list WHERE schema = 'main' AND type = 'shadow'");
      while (st.Step()) shadow.insert(Upper(st.Text(0).value_or("")));
    } catch (const Error&) {
      // A module this SQLite lacks: its tables are known by their names.
    }
  }
  auto is_shadow = [&](const std::string& name) {
    std::string upper = Upper(name);
    if (shadow.count(upper) || virtual_tables.count(upper)) return true;
    for (const auto& v : virtual_tables)
      if (upper.size() > v.size() + 1 && upper.compare(0, v.size() + 1, v + "_") == 0) return true;
    return false;
  };
  bool system_tables = false;
  engine_name_taken_.clear();
  Statement st(*this,
               "SELECT type, name FROM sqlite_master WHERE type IN ('table', 'view')"
               " AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY rowid");
  while (st.Step()) {
    std::string name = st.Text(1).value_or("");
    const bool view = st.Text(0) == "view";
    // The engine's tables are its own only when spelt exactly as it spells
    // them; anything else holding their names is the user's.
    if (engine_name_taken_.empty() && IsEngineTableName(name) && (view || EngineTableName(name) != name))
      engine_name_taken_ = name;
    if (view) {
      view_names_.push_back(name);
      continue;
    }
    if (is_shadow(name)) continue;
    names->push_back(name);
    if (name == "MSysFields") system_tables = true;
  }
  system_tables_ = system_tables && engine_name_taken_.empty();
  // SQLite allows no two tables whose names differ in letter case only.
  stored_names_.clear();
  for (const auto& name : *names) stored_names_.emplace(Upper(name), name);
  table_names_ = std::move(names);
  names_loaded_ = true;
}

Connection::Names Connection::TableNames() {
  Stamp();
  if (!names_loaded_) LoadTableNames();
  return table_names_;
}

std::optional<std::string> Connection::StoredTableName(std::string_view name) {
  TableNames();
  auto it = stored_names_.find(Upper(name));
  if (it == stored_names_.end()) return std::nullopt;
  return it->second;
}

void Connection::CheckEngineTables() {
  TableNames();
  if (!engine_name_taken_.empty())
    throw MakeError(err::kInvalidOperation,
                    "'" + path_ + "' no se modifica: su tabla o consulta '" + engine_name_taken_ +
                        "' lleva el nombre de la tabla del motor '" + std::string(EngineTableName(engine_name_taken_)) +
                        "' en otras mayúsculas, y SQLite las tomaría por la misma");
}

bool Connection::IsView(std::string_view name) {
  TableNames();
  for (const auto& v : view_names_)
    if (IEquals(v, name)) return true;
  return false;
}

std::shared_ptr<const TableInfo> Connection::Table(std::string_view name) {
  std::optional<std::string> stored = StoredTableName(name);
  if (!stored)
    throw MakeError(err::kObjectNotFound, "la tabla '" + std::string(name) + "' en '" + path_ + "'");
  std::string key = Upper(*stored);
  if (!staged_.empty() && PendingDeclaration(*stored)) ReadBackDeclarations();
  auto it = tables_.find(key);
  if (it == tables_.end()) it = tables_.emplace(key, std::make_shared<const TableInfo>(LoadTable(*stored))).first;
  return it->second;
}

std::string Connection::Declaration(std::string_view name) {
  Statement st(*this, "SELECT sql FROM sqlite_master WHERE type IN ('table', 'view') AND name = ? COLLATE NOCASE");
  st.Bind(1, name);
  return st.Step() ? st.Text(0).value_or("") : std::string();
}

std::vector<std::pair<std::string, std::string>> Connection::TriggersOn(std::string_view table) {
  std::vector<std::pair<std::string, std::string>> out;
  Statement st(*this,
               "SELECT name, sql FROM sqlite_master WHERE type = 'trigger' AND tbl_name = ? COLLATE NOCASE"
               " AND sql IS NOT NULL ORDER BY rowid");
  st.Bind(1, table);
  while (st.Step()) out.emplace_back(st.Text(0).value_or(""), st.Text(1).value_or(""));
  return out;
}

std::vector<std::string> Connection::UsersOf(std::string_view name) {
  std::vector<std::string> users;
  Statement st(*this,
               "SELECT type, name, tbl_name, sql FROM sqlite_master WHERE type IN ('view', 'trigger')"
               " AND sql IS NOT NULL ORDER BY rowid");
  while (st.Step()) {
    const std::string type = st.Text(0).value_or("");
    const std::string object = st.Text(1).value_or("");
    if (IEquals(object, name) || (type == "trigger" && IEquals(st.Text(2).value_or(""), name))) continue;
    // Any name in the statement that is this one: a column or an alias of
    // the same name counts too, which keeps an object that might be needed.
    const std::string sql = st.Text(3).value_or("");
    size_t i = 0;
    for (std::string token = NextToken(sql, i); !token.empty(); token = NextToken(sql, i)) {
      if (token[0] == '\'' || !IEquals(Unquote(token), name)) continue;
      users.push_back((type == "view" ? "la consulta '" : "el desencadenador '") + object + "'");
      break;
    }
  }
  return users;
}

const Connection::SchemaRows& Connection::Rows() {
  Stamp();
  if (rows_) return *rows_;
  auto rows = std::make_unique<SchemaRows>();
  {
    Statement st(*this, "SELECT type, name, tbl_name, sql FROM sqlite_master WHERE type IN ('table', 'index') ORDER BY rowid");
    while (st.Step()) {
      std::string type = st.Text(0).value_or("");
      if (type == "table")
        rows->table_sql[st.Text(1).value_or("")] = st.Text(3).value_or("");
      else
        rows->indexes[Upper(st.Text(2).value_or(""))].emplace_back(st.Text(1).value_or(""), st.Text(3).value_or(""));
    }
  }
  if (system_tables_) {
    // A table's rows mostly follow one another: its entry is looked up again
    // only when the table name changes.
    auto table_of = [](Statement& st, std::string& last) {
      const unsigned char* text = sqlite3_column_text(st.Handle(), 0);
      std::string_view name = text ? std::string_view(reinterpret_cast<const char*>(text),
                                                      static_cast<size_t>(sqlite3_column_bytes(st.Handle(), 0)))
                                   : std::string_view();
      bool same = name == last;
      if (!same) last = name;
      return same;
    };
    Statement st(*this, "SELECT TableName, FieldName, Type, Size, Attributes, AllowZeroLength, Required FROM MSysFields");
    std::string last_fields;
    std::vector<SchemaRows::FieldMeta>* fields = nullptr;
    while (st.Step()) {
      if (!table_of(st, last_fields) || !fields) {
        fields = &rows->fields[Upper(last_fields)];
        rows->spellings[Upper(last_fields)].insert(last_fields);
      }
      fields->push_back(SchemaRows::FieldMeta{st.Text(1).value_or(""), static_cast<int>(st.Int(2)),
                                              static_cast<long>(st.Int(3)), static_cast<long>(st.Int(4)),
                                              st.Int(5) != 0, st.Int(6) != 0});
    }
    Statement names(*this, "SELECT TableName, SqlName, IndexName, IsPrimary FROM MSysIndexes");
    std::string last_indexes;
    std::map<std::string, SchemaRows::IndexName>* indexes = nullptr;
    while (names.Step()) {
      if (!table_of(names, last_indexes) || !indexes) {
        indexes = &rows->index_names[Upper(last_indexes)];
        rows->spellings[Upper(last_indexes)].insert(last_indexes);
      }
      (*indexes)[names.Text(1).value_or("")] = SchemaRows::IndexName{names.Text(2).value_or(""), names.Int(3) != 0};
    }
  }
  rows->system_tables = system_tables_;
  rows_ = std::move(rows);
  stale_rows_.clear();
  return *rows_;
}

void Connection::RefreshRows(const std::string& table) {
  if (!rows_ || !stale_rows_.erase(Upper(table))) return;
  if (rows_->system_tables != system_tables_) {
    // The engine's tables came with a change: read everything again.
    rows_.reset();
    return;
  }
  SchemaRows& rows = *rows_;
  const std::string upper = Upper(table);
  for (auto it = rows.table_sql.begin(); it != rows.table_sql.end();)
    it = IEquals(it->first, table) ? rows.table_sql.erase(it) : std::next(it);
  rows.indexes.erase(upper);
  rows.fields.erase(upper);
  rows.index_names.erase(upper);
  {
    Statement st(*this,
                 "SELECT type, name, sql FROM sqlite_master WHERE type IN ('table', 'index')"
                 " AND tbl_name = ? COLLATE NOCASE ORDER BY rowid");
    st.Bind(1, table);
    while (st.Step()) {
      if (st.Text(0).value_or("") == "table")
        rows.table_sql[st.Text(1).value_or("")] = st.Text(2).value_or("");
      else
        rows.indexes[upper].emplace_back(st.Text(1).value_or(""), st.Text(2).value_or(""));
    }
  }
  if (system_tables_) {
    // The engine writes a table's rows under its stored name; rows under
    // another spelling were there when everything was read.
    std::set<std::string>& spellings = rows.spellings[upper];
    spellings.insert(table);
    for (const std::string& spelt : spellings) {
      Statement st(*this,
                   "SELECT FieldName, Type, Size, Attributes, AllowZeroLength, Required FROM MSysFields"
                   " WHERE TableName = ?");
      st.Bind(1, spelt);
      while (st.Step())
        rows.fields[upper].push_back(SchemaRows::FieldMeta{st.Text(0).value_or(""), static_cast<int>(st.Int(1)),
                                                           static_cast<long>(st.Int(2)), static_cast<long>(st.Int(3)),
                                                           st.Int(4) != 0, st.Int(5) != 0});
      Statement names(*this, "SELECT SqlName, IndexName, IsPrimary FROM MSysIndexes WHERE TableName = ?");
      names.Bind(1, spelt);
      while (names.Step())
        rows.index_names[upper][names.Text(0).value_or("")] =
            SchemaRows::IndexName{names.Text(1).value_or(""), names.Int(2) != 0};
    }
  }
}

TableInfo Connection::LoadTable(const std::string& name) {
  PragmaSubject subject(*this, name);
  TableInfo info;
  info.name = name;
  RefreshRows(name);
  const SchemaRows& rows = Rows();
  const std::string upper = Upper(name);
  if (auto it = rows.table_sql.find(name); it != rows.table_sql.end()) info.declaration = it->second;
  info.without_rowid = Contains(Upper(info.declaration), "WITHOUT ROWID");
  auto parsed = ParseTableDeclaration(info.declaration);
  struct Meta { int type; long size; long attributes; bool azl; bool required; };
  std::map<std::string, Meta> meta;
  if (auto it = rows.fields.find(upper); it != rows.fields.end())
    for (const auto& f : it->second) meta[f.name] = Meta{f.type, f.size, f.attributes, f.azl, f.required};
  int pk_count = 0;
  {
    Statement st(*this, "SELECT name, type, \"notnull\", dflt_value, pk, hidden FROM pragma_table_xinfo(?)");
    st.Bind(1, name);
    while (st.Step()) {
      // Generated columns are fields too (a record set shows them); the
      // hidden columns of virtual tables are not.
      if (st.Int(5) == 1) continue;
      FieldInfo f;
      f.name = st.Text(0).value_or("");
      f.declared = st.Text(1).value_or("");
      f.required = st.Int(2) != 0;
      f.pk = static_cast<int>(st.Int(4));
      if (parsed) {
        // The declaration lists the columns in the table's order: the one at
        // this field's place is looked at first.
        const size_t place = info.fields.size();
        const bool in_place = place < parsed->columns.size() && IEquals(parsed->columns[place].name, f.name);
        for (size_t c = in_place ? place : 0; c < (in_place ? place + 1 : parsed->columns.size()); ++c) {
          const auto& column = parsed->columns[c];
          if (!IEquals(column.name, f.name)) continue;
          f.definition = parsed->text.substr(column.span.begin, column.span.end - column.span.begin);
          for (const auto& clause : column.clauses) {
            std::string text = parsed->text.substr(clause.span.begin, clause.span.end - clause.span.begin);
            if (clause.kind == ClauseKind::kDefault) f.default_text = ClauseValue(text, "DEFAULT");
            if (clause.kind == ClauseKind::kCheck) f.check_text += (f.check_text.empty() ? "" : " AND ") + ClauseValue(text, "CHECK");
          }
        }
      }
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
  if (auto it = rows.index_names.find(upper); it != rows.index_names.end())
    for (const auto& [sql_name, n] : it->second) named[sql_name] = {n.name, n.primary};
  static const std::vector<std::pair<std::string, std::string>> kNone;
  auto stored = rows.indexes.find(upper);
  const auto& stored_indexes = stored == rows.indexes.end() ? kNone : stored->second;
  // Indexes the table's own CREATE INDEX statements declare on plain columns
  // are read from those statements. A key of the table's declaration (an
  // index with no statement), a WITHOUT ROWID table's key or an expression
  // leaves the table to SQLite's pragmas.
  std::vector<DeclaredIndex> declared(stored_indexes.size());
  bool all_declared = !info.without_rowid;
  for (size_t k = 0; all_declared && k < stored_indexes.size(); ++k)
    all_declared = ReadIndexDeclaration(stored_indexes[k].second, info, declared[k]);
  struct Listed { bool unique; char origin; bool partial; };
  std::map<std::string, Listed> list;  // sql name -> what SQLite says of it
  if (!all_declared) {
    Statement st(*this, "SELECT name, \"unique\", origin, partial FROM pragma_index_list(?)");
    st.Bind(1, name);
    while (st.Step()) {
      std::string origin = st.Text(2).value_or("c");
      list[st.Text(0).value_or("")] = {st.Int(1) != 0, origin == "pk" ? 'p' : origin[0], st.Int(3) != 0};
    }
  }
  for (size_t k = 0; k < stored_indexes.size(); ++k) {
    const auto& [sql_name, sql] = stored_indexes[k];
    IndexInfo index;
    index.sql_name = sql_name;
    index.declaration = sql;
    if (all_declared) {
      index.unique = declared[k].unique;
      index.origin = 'c';
      index.partial = declared[k].partial;
    }
    auto l = list.find(index.sql_name);
    if (l != list.end()) {
      index.unique = l->second.unique;
      index.origin = l->second.origin;
      index.partial = l->second.partial;
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
    if (all_declared) {
      index.fields = std::move(declared[k].fields);
    } else {
      Statement cols(*this, "SELECT name, \"desc\" FROM pragma_index_xinfo(?) WHERE key = 1 ORDER BY seqno");
      cols.Bind(1, index.sql_name);
      while (cols.Step()) index.fields.emplace_back(cols.Text(0).value_or(""), cols.Int(1) != 0);
    }
    list.erase(index.sql_name);
    if (index.primary)
      info.indexes.insert(info.indexes.begin(), std::move(index));
    else
      info.indexes.push_back(std::move(index));
  }
  // A WITHOUT ROWID table's key is the table itself: no schema row of its own.
  for (const auto& [sql_name, listed] : list) {
    if (listed.origin != 'p') continue;
    IndexInfo key;
    key.name = "PrimaryKey";
    key.sql_name = sql_name;
    key.primary = key.unique = true;
    key.origin = 'p';
    Statement cols(*this, "SELECT name, \"desc\" FROM pragma_index_xinfo(?) WHERE key = 1 ORDER BY seqno");
    cols.Bind(1, sql_name);
    while (cols.Step()) key.fields.emplace_back(cols.Text(0).value_or(""), cols.Int(1) != 0);
    info.indexes.insert(info.indexes.begin(), std::move(key));
  }
  return info;
}

std::shared_ptr<const std::vector<RelationInfo>> Connection::Relations() {
  Stamp();
  if (!relations_) relations_ = std::make_shared<const std::vector<RelationInfo>>(LoadRelations());
  return relations_;
}

std::vector<RelationInfo> Connection::LoadRelations() {
  std::vector<RelationInfo> relations;
  auto tables = TableNames();
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
      r.recorded = true;
      fields.Reset();
      fields.Bind(1, r.name);
      while (fields.Step()) r.fields.emplace_back(fields.Text(0).value_or(""), fields.Text(1).value_or(""));
      relations.push_back(std::move(r));
    }
  }
  const size_t recorded = relations.size();
  // FOREIGN KEY clauses: those of other SQLite programs, and the engine's own
  // declared relations, which join the engine's record of the same tables,
  // field pairs and actions.
  std::set<std::string> names;
  for (auto& r : relations) names.insert(Upper(r.name));
  for (const auto& child : *tables) {
    // A FOREIGN KEY clause always says REFERENCES: a table whose declaration
    // never does has none, and SQLite need not be asked.
    RefreshRows(child);
    const SchemaRows& rows = Rows();
    if (auto declared = rows.table_sql.find(child);
        declared != rows.table_sql.end() && !Contains(Upper(declared->second), "REFERENCES"))
      continue;
    Statement st(*this,
                 "SELECT id, \"table\", \"from\", \"to\", on_update, on_delete"
                 " FROM pragma_foreign_key_list(?) ORDER BY id, seq");
    st.Bind(1, child);
    struct Found {
      RelationInfo r;
      std::vector<std::string> to;  // the parent columns as declared; empty names when none
      bool to_declared = false;
      size_t place = std::string::npos;  // where the declaration has the clause
    };
    std::vector<Found> found;
    while (st.Step()) {
      int id = static_cast<int>(st.Int(0));
      if (found.empty() || found.back().r.foreign_key_id != id) {
        found.emplace_back();
        RelationInfo& r = found.back().r;
        r.foreign_key_id = id;
        r.table = st.Text(1).value_or("");
        r.foreign_table = child;
        const std::string on_update = Upper(st.Text(4).value_or(""));
        const std::string on_delete = Upper(st.Text(5).value_or(""));
        if (on_update == "CASCADE") r.attributes |= dbRelationUpdateCascade;
        if (on_update == "SET NULL") r.attributes |= dbRelationUpdateSetNull;
        if (on_update == "SET DEFAULT") r.attributes |= dbRelationUpdateSetDefault;
        if (on_delete == "CASCADE") r.attributes |= dbRelationDeleteCascade;
        if (on_delete == "SET NULL") r.attributes |= dbRelationDeleteSetNull;
        if (on_delete == "SET DEFAULT") r.attributes |= dbRelationDeleteSetDefault;
      }
      Found& f = found.back();
      f.to_declared = f.to_declared || !st.IsNull(3);
      f.to.push_back(st.Text(3).value_or(""));
      f.r.fields.emplace_back(st.Text(3).value_or(""), st.Text(2).value_or(""));
    }
    if (found.empty()) continue;
    // Deferral and the clause's own text are in the declaration only. SQLite
    // numbers a table's clauses from the last one declared; the relations
    // follow the declaration's order.
    std::optional<TableDeclaration> declared = ParseTableDeclaration(Declaration(child));
    if (declared) {
      std::vector<const Clause*> clauses = declared->KeyClauses(ClauseKind::kForeignKey);
      std::vector<bool> taken(clauses.size(), false);
      for (auto& f : found) {
        std::vector<std::string> from;
        for (auto& [p, c] : f.r.fields) from.push_back(c);
        for (size_t k = 0; k < clauses.size(); ++k) {
          const Clause* clause = clauses[k];
          if (taken[k] || !IEquals(clause->parent, f.r.table) || !SameNames(clause->columns, from)) continue;
          if (clause->parent_columns.empty() ? f.to_declared : !SameNames(clause->parent_columns, f.to)) continue;
          taken[k] = true;
          f.place = clause->span.begin;
          f.r.declaration = declared->text.substr(clause->span.begin, clause->span.end - clause->span.begin);
          if (clause->deferred) f.r.attributes |= dbRelationDeferred;
          break;
        }
      }
      std::stable_sort(found.begin(), found.end(), [](const Found& a, const Found& b) { return a.place < b.place; });
    }
    for (auto& f : found) {
      RelationInfo& r = f.r;
      // A clause without parent columns names the parent's primary key.
      if (IsTable(r.table)) {
        std::vector<std::string> key;
        auto parent = Table(r.table);
        for (auto& field : parent->fields)
          if (field.pk) key.push_back(field.name);
        for (size_t i = 0; i < r.fields.size(); ++i)
          if (r.fields[i].first.empty() && i < key.size()) r.fields[i].first = key[i];
      }
      RelationInfo* joined = nullptr;
      for (size_t k = 0; k < recorded && !joined; ++k) {
        RelationInfo& e = relations[k];
        if (e.foreign_key_id < 0 && SameClauseShape(e, r))
          joined = &e;
      }
      // The record keeps the attributes it was appended with.
      if (joined) {
        joined->foreign_key_id = r.foreign_key_id;
        joined->declaration = std::move(r.declaration);
        continue;
      }
      r.attributes |= dbRelationDeclared;
      std::string base = r.table + r.foreign_table;
      r.name = base;
      for (int n = 1; names.count(Upper(r.name)); ++n) r.name = base + std::to_string(n);
      names.insert(Upper(r.name));
      relations.push_back(std::move(r));
    }
  }
  // The row triggers an earlier version of the engine enforced a relation
  // with, until the relation is brought to its clause.
  if (recorded > 0) {
    std::set<std::string> triggers;
    // The engine's own are "MSys" in exactly these letters.
    Statement st(*this, "SELECT name FROM sqlite_master WHERE type = 'trigger' AND substr(name, 1, 8) = 'MSysRel_'");
    while (st.Step()) triggers.insert(Upper(st.Text(0).value_or("")));
    if (!triggers.empty())
      for (size_t k = 0; k < recorded; ++k)
        for (const std::string& name : LegacyRelationTriggers(relations[k].name))
          relations[k].legacy_triggers = relations[k].legacy_triggers || triggers.count(Upper(name)) != 0;
  }
  return relations;
}

std::shared_ptr<const std::vector<QueryInfo>> Connection::Queries() {
  Stamp();
  if (!queries_) queries_ = std::make_shared<const std::vector<QueryInfo>>(LoadQueries());
  return queries_;
}

std::vector<QueryInfo> Connection::LoadQueries() {
  std::vector<QueryInfo> queries;
  TableNames();
  std::set<std::string> stored;
  if (system_tables_) {
    Statement st(*this, "SELECT Name, SqlText FROM MSysQueries ORDER BY Position, rowid");
    while (st.Step()) {
      queries.push_back(QueryInfo{st.Text(0).value_or(""), st.Text(1).value_or(""), true, {}});
      stored.insert(Upper(queries.back().name));
    }
  }
  std::map<std::string, std::string> views;  // upper-case name -> CREATE VIEW
  Statement st(*this, "SELECT name, sql FROM sqlite_master WHERE type = 'view' ORDER BY rowid");
  while (st.Step()) {
    std::string name = st.Text(0).value_or("");
    std::string create = st.Text(1).value_or("");
    views[Upper(name)] = create;
    if (stored.count(Upper(name))) continue;
    queries.push_back(QueryInfo{name, ViewSelect(create), false, create});
  }
  for (auto& q : queries)
    if (q.stored) q.declaration = views.count(Upper(q.name)) ? views[Upper(q.name)] : "";
  return queries;
}

// ---------------------------------------------------------------- changing
}  // namespace brenquil::detail
