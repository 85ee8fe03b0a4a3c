// Creating and deleting the stored object model's members: tables, fields,
// indexes, relations and queries, each change in one transaction.
#include <algorithm>
#include <set>

#include "engine/connection.h"
#include "engine/table_declaration.h"
#include "engine/relation_sql.h"
#include "engine/dbengine.h"
#include "engine/field.h"
#include "engine/index.h"
#include "engine/querydef.h"
#include "engine/relation.h"
#include "engine/foreign_messages.h"
#include "engine/tabledef.h"

namespace brenquil::detail {

std::string Connection::ColumnDefinition(const Field& field, bool in_create) const {
  std::string def = QuoteId(field.Name()) + " " + DeclaredType(field.Type(), field.Size());
  if (field.Required() && in_create) def += " NOT NULL";
  bool text = field.Type() == dbText || field.Type() == dbMemo || field.Type() == dbChar;
  if (text && !field.AllowZeroLength())
    def += " CONSTRAINT " + QuoteId("MSysZLS_" + field.Name()) + " CHECK (" + QuoteId(field.Name()) + " <> '')";
  return def;
}

void Connection::CheckField(const Field& field, const std::string& table) {
  if (field.Name().empty())
    throw MakeError(err::kInvalidName, "nombre de campo vacío en la tabla '" + table + "'");
  if (!IsKnownType(field.Type()))
    throw MakeError(err::kInvalidFieldType, "tipo " + std::to_string(field.Type()) + " del campo '" +
                                                field.Name() + "' de la tabla '" + table + "'");
  // A counter counts in whole numbers of a Long field, as DAO's do: in a text
  // field the highest value is the greatest text ("9" beyond "10").
  if ((field.Attributes() & dbAutoIncrField) && field.Type() != dbLong)
    throw MakeError(err::kInvalidFieldType, "el campo '" + field.Name() + "' de la tabla '" + table +
                                                "' es de tipo " + std::to_string(field.Type()) +
                                                " y solo un campo Long (4) puede ser autonumérico");
  bool sized = field.Type() == dbText || field.Type() == dbChar || field.Type() == dbBinary ||
               field.Type() == dbVarBinary;
  if (sized && (field.Size() < 1 || field.Size() > 255))
    throw MakeError(err::kInvalidOperation, "tamaño " + std::to_string(field.Size()) + " del campo '" +
                                                field.Name() + "' de la tabla '" + table + "'");
}

void Connection::RecordField(const std::string& table, const Field& field) {
  Statement meta(*this, "INSERT OR REPLACE INTO MSysFields VALUES (?, ?, ?, ?, ?, ?, ?)");
  meta.Bind(1, table).Bind(2, field.Name()).Bind(3, static_cast<long long>(field.Type()));
  meta.Bind(4, static_cast<long long>(field.Size())).Bind(5, static_cast<long long>(field.Attributes()));
  meta.Bind(6, static_cast<long long>(field.AllowZeroLength())).Bind(7, static_cast<long long>(field.Required()));
  meta.Step();
}

void Connection::CreateAutoIncrement(const std::string& table, const std::string& field, bool number_rows) {
  // The rows already there are numbered in their order; new rows continue
  // from the highest number.
  if (number_rows)
    Exec("UPDATE " + QuoteId(table) + " SET " + QuoteId(field) +
         " = n.k FROM (SELECT rowid AS r, row_number() OVER (ORDER BY rowid) AS k FROM " + QuoteId(table) +
         ") AS n WHERE " + QuoteId(table) + ".rowid = n.r");
  Exec("CREATE TRIGGER " + QuoteId("MSysAuto_" + table + "_" + field) + " AFTER INSERT ON " +
       QuoteId(table) + " WHEN NEW." + QuoteId(field) + " IS NULL BEGIN UPDATE " + QuoteId(table) +
       " SET " + QuoteId(field) + " = (SELECT IFNULL(MAX(" + QuoteId(field) + "), 0) + 1 FROM " +
       QuoteId(table) + ") WHERE rowid = NEW.rowid; END");
}

void Connection::CreateTable(TableDef& table) {
  CheckWritable();
  const std::string& name = table.Name();
  if (name.empty()) throw MakeError(err::kInvalidName, "nombre de tabla vacío en '" + path_ + "'");
  if (IsEngineTableName(name))
    throw MakeError(err::kInvalidName, "'" + name + "' en '" + path_ + "': es el nombre de una tabla del motor");
  if (table.Fields().Count() == 0)
    throw MakeError(err::kNoFields, "la tabla '" + name + "' no tiene campos (" + path_ + ")");
  for (auto& f : table.Fields()) CheckField(*f, name);
  for (auto& t : *TableNames())
    if (IEquals(t, name)) throw MakeError(err::kTableExists, "'" + name + "' en '" + path_ + "'");
  if (IsView(name)) throw MakeError(err::kTableExists, "'" + name + "' es una consulta en '" + path_ + "'");
  auto indexes = table.Indexes().Snapshot();
  if (CreateDeclaredTable(table)) {
    for (auto& index : indexes) CreateIndex(name, *index);
    return;
  }
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
      if (f->Attributes() & dbAutoIncrField) CreateAutoIncrement(name, f->Name(), false);
    }
    Touched();
    for (auto& index : indexes) CreateIndex(name, *index);
  });
}

void Connection::DeleteTable(const std::string& given) {
  const std::string name = Table(given)->name;
  for (auto& r : *Relations())
    if (IEquals(r.table, name) || IEquals(r.foreign_table, name))
      throw MakeError(err::kInRelationship, "la tabla '" + name + "' (relación '" + r.name + "') en '" + path_ + "'");
  // A view or another table's trigger that uses it would fail on every use.
  if (auto users = UsersOf(name); !users.empty())
    throw MakeError(err::kInvalidOperation, "la tabla '" + name + "' en '" + path_ + "' la usa " + users.front() +
                                                "; no se borra");
  Atomically([&] {
    Exec("DROP TABLE " + QuoteId(name));
    if (system_tables_) {
      Statement a(*this, "DELETE FROM MSysFields WHERE TableName = ? COLLATE NOCASE");
      a.Bind(1, name).Step();
      Statement b(*this, "DELETE FROM MSysIndexes WHERE TableName = ? COLLATE NOCASE");
      b.Bind(1, name).Step();
    }
  });
}

void Connection::AddField(const std::string& given, const Field& field) {
  CheckWritable();
  auto held = Table(given);
  const TableInfo& info = *held;
  const std::string& table = info.name;
  CheckField(field, table);
  for (auto& f : info.fields)
    if (IEquals(f.name, field.Name()))
      throw MakeError(err::kFieldExists, "'" + field.Name() + "' en la tabla '" + table + "' de '" + path_ + "'");
  bool counter = (field.Attributes() & dbAutoIncrField) != 0;
  if (counter && info.without_rowid)
    throw MakeError(err::kInvalidOperation, "autonumérico en la tabla sin rowid '" + table + "'");
  if (!field.Definition().empty() && IEquals(Unquote(NextTokenAt(field.Definition())), field.Name())) {
    AddDeclaredField(table, field);
    return;
  }
  Atomically([&] {
    EnsureSystemTables();
    Exec("ALTER TABLE " + QuoteId(table) + " ADD COLUMN " + ColumnDefinition(field, false));
    RecordField(table, field);
    if (counter) CreateAutoIncrement(table, field.Name(), true);
  }, table);
}

void Connection::DeleteField(const std::string& given, const std::string& given_field) {
  CheckWritable();
  auto held = Table(given);
  const TableInfo& info = *held;
  const std::string& table = info.name;
  const FieldInfo* field = info.FindField(given_field);
  if (!field) throw MakeError(err::kItemNotFound, "el campo '" + given_field + "' de la tabla '" + table + "'");
  const std::string name = field->name;
  for (auto& index : info.indexes)
    for (auto& f : index.fields)
      if (IEquals(f.first, name))
        throw MakeError(err::kFieldInIndex, "'" + name + "' (índice '" + index.name + "' de la tabla '" + table + "')");
  for (auto& r : *Relations())
    for (auto& [pf, cf] : r.fields)
      if ((IEquals(r.table, table) && IEquals(pf, name)) || (IEquals(r.foreign_table, table) && IEquals(cf, name)))
        throw MakeError(err::kInRelationship, "el campo '" + name + "' (relación '" + r.name + "')");
  Atomically([&] {
    Exec("DROP TRIGGER IF EXISTS " + QuoteId("MSysAuto_" + table + "_" + name));
    Exec("ALTER TABLE " + QuoteId(table) + " DROP COLUMN " + QuoteId(name));
    if (system_tables_) {
      Statement st(*this, "DELETE FROM MSysFields WHERE TableName = ? COLLATE NOCASE AND FieldName = ? COLLATE NOCASE");
      st.Bind(1, table).Bind(2, name).Step();
    }
  }, table);
}

std::string Connection::UniqueSqlName(const std::string& base) {
  // Every name of the file, read in one walk of sqlite_master while its
  // schema version stays the same, and kept up to date with the indexes the
  // engine creates (NoteSqlName): a walk for each index would otherwise be a
  // good part of what creating a small one costs.
  const std::int64_t version = SchemaVersion();
  if (version < 0 || version != sql_names_version_) {
    sql_names_.clear();
    Statement st(*this, "SELECT upper(name) FROM sqlite_master");
    while (st.Step()) sql_names_.insert(st.Text(0).value_or(""));
    sql_names_version_ = version;
  }
  std::string candidate = base;
  for (int n = 2; sql_names_.count(Upper(candidate)) != 0; ++n) candidate = base + "_" + std::to_string(n);
  return candidate;
}

void Connection::NoteSqlName(const std::string& name) {
  if (sql_names_version_ < 0) return;
  sql_names_.insert(Upper(name));
  // The version the engine's own statement moved the schema to.
  sql_names_version_ = SchemaVersion();
}

void Connection::CreateIndex(const std::string& given, Index& index) {
  CheckWritable();
  auto held = Table(given);
  const TableInfo& info = *held;
  const std::string& table = info.name;
  const std::string& name = index.Name();
  std::string where = " de la tabla '" + table + "' en '" + path_ + "'";
  if (name.empty()) throw MakeError(err::kInvalidName, "nombre de índice vacío" + where);
  if (info.FindIndex(name)) throw MakeError(err::kIndexExists, "'" + name + "'" + where);
  if (index.Fields().Count() == 0) throw MakeError(err::kNoFields, "el índice '" + name + "'" + where);
  // An expression of a declared index names no field.
  for (auto& f : index.Fields())
    if (!info.FindField(f->Name()) && (index.Declaration().empty() || !f->Name().empty()))
      throw MakeError(err::kItemNotFound, "el campo '" + f->Name() + "' del índice '" + name + "'" + where);
  if (index.Primary())
    for (auto& i : info.indexes)
      if (i.primary) throw MakeError(err::kPrimaryKeyExists, "'" + i.name + "'" + where);
  try {
    if (CreateDeclaredIndex(table, index)) return;
  } catch (const Error& e) {
    if (e.Number() == err::kDuplicateValue)
      throw MakeError(err::kDuplicateValue, "las filas de la tabla '" + table + "' repiten valores del índice único '" +
                                                name + "' en '" + path_ + "'");
    throw;
  }
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
      NoteSqlName(sql_name);
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

void Connection::DeleteIndex(const std::string& given, const std::string& name) {
  CheckWritable();
  auto held = Table(given);
  const TableInfo& info = *held;
  const std::string& table = info.name;
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
    RemovePrimaryKey(table);
  } else {
    RemoveUnique(table, copy.sql_name);
  }
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
  for (auto& existing : *Relations())
    if (IEquals(existing.name, r.name)) throw MakeError(err::kObjectExists, "la relación '" + r.name + "'" + where);
  if (!IsTable(r.table))
    throw MakeError(err::kObjectNotFound, "la tabla '" + r.table + "' de la relación '" + r.name + "'" + where);
  if (!IsTable(r.foreign_table))
    throw MakeError(err::kObjectNotFound, "la tabla '" + r.foreign_table + "' de la relación '" + r.name + "'" + where);
  r.table = *StoredTableName(r.table);
  r.foreign_table = *StoredTableName(r.foreign_table);
  if (relation.Fields().Count() == 0)
    throw MakeError(err::kRelationNoFields, "'" + r.name + "'" + where);
  auto held_parent = Table(r.table);
  const TableInfo& parent = *held_parent;
  for (auto& f : relation.Fields())
    if (!parent.FindField(f->Name()))
      throw MakeError(err::kItemNotFound, "el campo '" + f->Name() + "' de la tabla '" + r.table + "' (relación '" +
                                              r.name + "')" + where);
  auto held_child = Table(r.foreign_table);
  const TableInfo& child = *held_child;
  for (auto& f : relation.Fields()) {
    const FieldInfo* foreign = child.FindField(f->ForeignName());
    if (!foreign)
      throw MakeError(err::kItemNotFound, "el campo '" + f->ForeignName() + "' de la tabla '" + r.foreign_table +
                                              "' (relación '" + r.name + "')" + where);
    r.fields.emplace_back(parent.FindField(f->Name())->name, foreign->name);
  }
  const bool enforced = (r.attributes & dbRelationDontEnforce) == 0;
  if (!enforced && (r.attributes & dbRelationDeclared))
    throw MakeError(err::kInvalidOperation, "la relación '" + r.name +
                                                "' no se exige y no puede declararse como cláusula FOREIGN KEY" + where);
  // An enforced relation is SQLite's own FOREIGN KEY clause in the foreign
  // table's declaration; one that is not enforced is the engine's record
  // alone, which no writer is held to.
  if (enforced) {
    CheckParentKey(r, parent);
    CheckRows(r, "crear");
  }
  // A clause the foreign table has already, with no record of the engine's
  // (a table made from a model's declaration), becomes this relation.
  bool adopted = false;
  if (enforced) {
    auto relations = Relations();
    for (const RelationInfo& e : *relations)
      if (!e.recorded && e.foreign_key_id >= 0 && SameClauseShape(e, r) &&
          (relation.Declaration().empty() || SameTokens(relation.Declaration(), e.declaration))) {
        adopted = true;
        break;
      }
  }
  const std::string clause = relation.Declaration().empty() ? GeneratedClause(r) : relation.Declaration();
  Atomically([&] {
    EnsureSystemTables();
    if (enforced && !adopted) DeclareForeignKey(r, clause);
    RecordRelation(r);
  });
}

void Connection::CheckRows(const RelationInfo& r, const std::string& refused) {
  Statement st(*this, "SELECT 1 FROM " + QuoteId(r.foreign_table) + " AS brenquil_hijo WHERE " +
                          AllSet(r, "brenquil_hijo") + " AND NOT EXISTS (SELECT 1 FROM " + QuoteId(r.table) +
                          " AS brenquil_padre WHERE " + RelationWhere(r, "brenquil_padre", "brenquil_hijo") +
                          ") LIMIT 1");
  if (st.Step())
    throw MakeError(err::kRelatedRecordRequired, "filas de la tabla '" + r.foreign_table +
                                                     "' sin registro relacionado en la tabla '" + r.table +
                                                     "' impiden " + refused + " la relación '" + r.name + "' en '" +
                                                     path_ + "'");
}

namespace {

std::string Action(long attributes, long cascade, long set_null, long set_default) {
  if (attributes & cascade) return "CASCADE";
  if (attributes & set_null) return "SET NULL";
  if (attributes & set_default) return "SET DEFAULT";
  return "NO ACTION";
}

// What pragma_foreign_key_list says of an action.
long ActionBits(const std::string& action, long cascade, long set_null, long set_default) {
  if (IEquals(action, "CASCADE")) return cascade;
  if (IEquals(action, "SET NULL")) return set_null;
  if (IEquals(action, "SET DEFAULT")) return set_default;
  return 0;
}

}  // namespace

std::string Connection::GeneratedClause(const RelationInfo& r) {
  std::string from, to;
  for (auto& [p, c] : r.fields) {
    from += (from.empty() ? "" : ", ") + QuoteId(c);
    to += (to.empty() ? "" : ", ") + QuoteId(p);
  }
  return "FOREIGN KEY (" + from + ") REFERENCES " + QuoteId(r.table) + " (" + to + ") ON DELETE " +
         Action(r.attributes, dbRelationDeleteCascade, dbRelationDeleteSetNull, dbRelationDeleteSetDefault) +
         " ON UPDATE " +
         Action(r.attributes, dbRelationUpdateCascade, dbRelationUpdateSetNull, dbRelationUpdateSetDefault) +
         ((r.attributes & dbRelationDeferred) ? " DEFERRABLE INITIALLY DEFERRED" : "");
}

void Connection::CheckParentKey(const RelationInfo& r, const TableInfo& parent) {
  // SQLite refuses every change to either table, for writers with foreign
  // keys on, when a clause's parent columns are not a key of the parent.
  std::vector<std::string> wanted;
  for (auto& [p, c] : r.fields) wanted.push_back(Upper(p));
  std::sort(wanted.begin(), wanted.end());
  auto same = [&](std::vector<std::string> columns) {
    for (auto& c : columns) c = Upper(c);
    std::sort(columns.begin(), columns.end());
    return columns == wanted;
  };
  std::vector<std::string> key;
  for (auto& f : parent.fields)
    if (f.pk) key.push_back(f.name);
  if (same(key)) return;
  for (auto& index : parent.indexes) {
    if (!index.unique || index.partial) continue;
    std::vector<std::string> columns;
    for (auto& [name, descending] : index.fields) columns.push_back(name);
    if (same(columns)) return;
  }
  throw MakeError(err::kInvalidOperation, "los campos de la tabla '" + r.table + "' a los que se refiere la relación '" +
                                              r.name + "' no son su clave ni un índice único en '" + path_ + "'");
}

void Connection::DeclareForeignKey(const RelationInfo& r, const std::string& clause) {
  const std::string where = " (relación '" + r.name + "' en '" + path_ + "')";
  TableDeclaration d = ParsedDeclaration(r.foreign_table);
  if (d.elements.empty()) throw MakeError(err::kInvalidOperation, "la tabla '" + r.foreign_table + "'" + where);
  // REFERENCES goes on its column, after the column's own clauses; FOREIGN KEY
  // after the table's last element.
  size_t i = 0;
  std::string first = NextToken(clause, i);
  if (IEquals(first, "CONSTRAINT")) {
    NextToken(clause, i);
    first = NextToken(clause, i);
  }
  std::string edited;
  size_t at = 0;
  if (IEquals(first, "REFERENCES")) {
    const ColumnDeclaration* column = nullptr;
    if (r.fields.size() == 1)
      for (auto& c : d.columns)
        if (IEquals(c.name, r.fields[0].second)) column = &c;
    if (!column)
      throw MakeError(err::kInvalidOperation, "la cláusula " + clause + " no es de un campo de la tabla '" +
                                                  r.foreign_table + "'" + where);
    at = column->span.end + 1;
    edited = d.text.substr(0, column->span.end) + " " + clause + d.text.substr(column->span.end);
  } else {
    at = d.elements.back().end + 2;
    edited = d.text.substr(0, d.elements.back().end) + ", " + clause + d.text.substr(d.elements.back().end);
  }
  // The text must be exactly the one clause of this relation, nothing more.
  auto parsed = ParseTableDeclaration(edited);
  bool fits = false;
  if (parsed) {
    for (const Clause* c : parsed->KeyClauses(ClauseKind::kForeignKey)) {
      if (c->span.begin != at || c->span.end != at + clause.size()) continue;
      if (!IEquals(c->parent, r.table) || c->columns.size() != r.fields.size() ||
          c->deferred != ((r.attributes & dbRelationDeferred) != 0))
        break;
      if (!c->parent_columns.empty() && c->parent_columns.size() != r.fields.size()) break;
      fits = true;
      for (size_t k = 0; k < r.fields.size(); ++k) {
        fits = fits && IEquals(c->columns[k], r.fields[k].second);
        if (!c->parent_columns.empty()) fits = fits && IEquals(c->parent_columns[k], r.fields[k].first);
      }
    }
  }
  if (!fits)
    throw MakeError(err::kInvalidOperation, "la cláusula " + clause + " no declara la relación" + where);
  ChangeDeclaration(r.foreign_table, edited, true);
  // SQLite's reading of the stored clause: its parent columns and actions are the relation's.
  const long actions = dbRelationUpdateCascade | dbRelationDeleteCascade | dbRelationDeleteSetNull |
                       dbRelationUpdateSetNull | dbRelationDeleteSetDefault | dbRelationUpdateSetDefault;
  Statement st(*this,
               "SELECT id, \"table\", \"from\", \"to\", on_update, on_delete FROM pragma_foreign_key_list(?)"
               " ORDER BY id, seq");
  st.Bind(1, r.foreign_table);
  std::vector<std::string> key;
  {
    auto parent = Table(r.table);
    for (auto& f : parent->fields)
      if (f.pk) key.push_back(f.name);
  }
  bool found = false;
  int id = -1;
  size_t seq = 0;
  bool matches = false;
  auto close = [&] { found = found || (matches && seq == r.fields.size()); };
  while (st.Step()) {
    if (static_cast<int>(st.Int(0)) != id) {
      close();
      id = static_cast<int>(st.Int(0));
      seq = 0;
      long bits = ActionBits(st.Text(4).value_or(""), dbRelationUpdateCascade, dbRelationUpdateSetNull,
                             dbRelationUpdateSetDefault) |
                  ActionBits(st.Text(5).value_or(""), dbRelationDeleteCascade, dbRelationDeleteSetNull,
                             dbRelationDeleteSetDefault);
      matches = IEquals(st.Text(1).value_or(""), r.table) && bits == (r.attributes & actions);
    }
    std::string to = st.IsNull(3) ? (seq < key.size() ? key[seq] : "") : st.Text(3).value_or("");
    matches = matches && seq < r.fields.size() && IEquals(st.Text(2).value_or(""), r.fields[seq].second) &&
              IEquals(to, r.fields[seq].first);
    ++seq;
  }
  close();
  if (!found)
    throw MakeError(err::kInvalidOperation, "la cláusula " + clause + " no declara la relación con sus acciones" + where);
}

void Connection::RecordRelation(const RelationInfo& r) {
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
}

RelationInfo Connection::RelationNamed(const std::string& name) {
  for (auto& r : *Relations())
    if (IEquals(r.name, name)) return r;
  throw MakeError(err::kItemNotFound, "la relación '" + name + "' en '" + path_ + "'");
}

bool Connection::CompleteRelation(const std::string& name, const std::string& declaration) {
  CheckWritable();
  RelationInfo r = RelationNamed(name);
  const bool enforced = (r.attributes & dbRelationDontEnforce) == 0;
  const bool needs_clause = enforced && r.foreign_key_id < 0;
  if (r.recorded && !needs_clause && !r.legacy_triggers) return false;
  std::string clause;
  if (needs_clause) {
    // A relation an earlier version kept as its record and triggers: the
    // record names its tables and fields as they were when it was made.
    const auto table = StoredTableName(r.table);
    const auto foreign_table = StoredTableName(r.foreign_table);
    if (!table || !foreign_table)
      throw MakeError(err::kObjectNotFound, "las tablas de la relación '" + r.name + "' en '" + path_ + "'");
    r.table = *table;
    r.foreign_table = *foreign_table;
    auto parent = Table(r.table);
    auto child = Table(r.foreign_table);
    for (auto& [p, c] : r.fields)
      if (!parent->FindField(p) || !child->FindField(c))
        throw MakeError(err::kItemNotFound, "los campos de la relación '" + r.name + "' en '" + path_ + "'");
    CheckParentKey(r, *parent);
    clause = declaration.empty() ? GeneratedClause(r) : declaration;
  }
  // Writers with foreign keys off may have left children without parents.
  if (enforced && (needs_clause || !r.recorded)) CheckRows(r, "exigir");
  Atomically([&] {
    EnsureSystemTables();
    if (needs_clause) DeclareForeignKey(r, clause);
    if (!r.recorded) RecordRelation(r);
    if (r.legacy_triggers) DropRelationTriggers(r.name);
  });
  return true;
}

void Connection::DeleteRelation(const std::string& name) {
  CheckWritable();
  RelationInfo r = RelationNamed(name);
  // Both of its parts, the clause and the engine's record (with the triggers
  // an earlier version made), in one transaction.
  Atomically([&] {
    if (r.foreign_key_id >= 0) RemoveForeignKey(r.foreign_table, r.foreign_key_id);
    if (!r.recorded) return;
    if (r.legacy_triggers) DropRelationTriggers(r.name);
    Statement a(*this, "DELETE FROM MSysRelations WHERE Name = ?");
    a.Bind(1, r.name).Step();
    Statement b(*this, "DELETE FROM MSysRelationFields WHERE Relation = ?");
    b.Bind(1, r.name).Step();
  });
}

void Connection::CreateQuery(QueryDef& query) {
  CheckWritable();
  const std::string& name = query.Name();
  const std::string& sql = query.SQL();
  std::string where = " en '" + path_ + "'";
  if (name.empty()) throw MakeError(err::kInvalidName, "nombre de consulta vacío" + where);
  if (IsEngineTableName(name))
    throw MakeError(err::kInvalidName, "'" + name + "'" + where + ": es el nombre de una tabla del motor");
  for (auto& q : *Queries())
    if (IEquals(q.name, name)) throw MakeError(err::kObjectExists, "la consulta '" + name + "'" + where);
  for (auto& t : *TableNames())
    if (IEquals(t, name)) throw MakeError(err::kObjectExists, "'" + name + "' es una tabla" + where);
  bool view = false;
  if (!OnlyBlanksLeft(sql)) {
    sqlite3_stmt* stmt = nullptr;
    const char* tail = nullptr;
    int rc = Prepare(sql.c_str(), static_cast<int>(sql.size()), &stmt, &tail);
    bool read_only = stmt && sqlite3_stmt_readonly(stmt);
    sqlite3_finalize(stmt);
    if (rc != SQLITE_OK)
      throw MakeError(err::kInvalidSql, "la consulta '" + name + "': " + SpanishSqliteMessage(sqlite3_errmsg(db_)) + where);
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
    if (view) {
      std::string declared = DeclaredView(query);
      Exec(declared.empty() ? "CREATE VIEW " + QuoteId(name) + " AS " + sql + "\n" : declared);
      // The INSTEAD OF triggers of the view this one replaces come back with it.
      auto kept = view_triggers_.find(Upper(name));
      if (kept != view_triggers_.end()) {
        for (const auto& trigger : kept->second) Exec(trigger);
        view_triggers_.erase(kept);
      }
    }
  });
}

void Connection::DeleteQuery(const std::string& name) {
  CheckWritable();
  const QueryInfo* found = nullptr;
  auto queries = Queries();
  for (auto& q : *queries)
    if (IEquals(q.name, name)) found = &q;
  if (!found) throw MakeError(err::kItemNotFound, "la consulta '" + name + "' en '" + path_ + "'");
  const std::string stored = found->name;
  std::vector<std::string> triggers;
  for (auto& [trigger, sql] : TriggersOn(stored)) triggers.push_back(sql);
  Atomically([&] {
    if (IsView(stored)) Exec("DROP VIEW " + QuoteId(stored));
    if (system_tables_) {
      Statement st(*this, "DELETE FROM MSysQueries WHERE Name = ?");
      st.Bind(1, stored).Step();
    }
  });
  if (!triggers.empty()) view_triggers_[Upper(stored)] = std::move(triggers);
}

}  // namespace brenquil::detail
