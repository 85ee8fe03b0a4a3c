// Objects created as another file declares them: a table by its model's
// CREATE TABLE text, a field by its model's column definition, an index by
// its CREATE INDEX text, a view by its CREATE VIEW text. The declaration is
// the truth; the engine's own tables only keep the DAO properties that the
// declared type would not give by itself.
#include "engine/connection.h"
#include "engine/field.h"
#include "engine/index.h"
#include "engine/querydef.h"
#include "engine/table_declaration.h"
#include "engine/tabledef.h"

namespace brenquil::detail {

namespace {

// The engine's own zero-length check of a column, where the field accepts
// the empty text: a model made by the engine may carry it, the field says otherwise.
std::string WithoutZeroLengthCheck(const std::string& create, const Field& field) {
  if (!field.AllowZeroLength() || !Contains(create, "MSysZLS_")) return create;
  auto parsed = ParseTableDeclaration(create);
  if (!parsed) return create;
  std::vector<const Clause*> cuts;
  for (const auto& column : parsed->columns) {
    if (!IEquals(column.name, field.Name())) continue;
    for (const auto& clause : column.clauses)
      if (clause.kind == ClauseKind::kCheck &&
          Contains(create.substr(clause.span.begin, clause.span.end - clause.span.begin), "MSysZLS_"))
        cuts.push_back(&clause);
  }
  return cuts.empty() ? create : WithoutClauses(*parsed, cuts);
}

bool ColumnsAreTheFields(const TableDeclaration& d, TableDef& table) {
  auto fields = table.Fields().Snapshot();
  if (fields.size() != d.columns.size()) return false;
  for (size_t i = 0; i < fields.size(); ++i)
    if (!IEquals(fields[i]->Name(), d.columns[i].name)) return false;
  return true;
}

}  // namespace

void Connection::RecordDeclaredField(const std::string& table, const Field& field, bool number_rows,
                                     bool refuses_empty) {
  // Only what the declared type would not give is kept: the DAO type and
  // size when they differ from the inferred ones, a refused empty text.
  std::string declared;
  bool rowid_alias = false;
  {
    PragmaSubject subject(*this, table);
    Statement st(*this, "SELECT type, pk FROM pragma_table_info(?) WHERE name = ? COLLATE NOCASE");
    st.Bind(1, table).Bind(2, field.Name());
    if (st.Step()) {
      declared = st.Text(0).value_or("");
      rowid_alias = st.Int(1) == 1 && Upper(declared) == "INTEGER";
    }
  }
  RecordDeclaredFieldAs(table, field, declared, rowid_alias, number_rows, refuses_empty);
}

void Connection::RecordDeclaredFieldAs(const std::string& table, const Field& field, const std::string& declared,
                                       bool rowid_alias, bool number_rows, bool refuses_empty) {
  auto [type, size] = InferType(declared);
  bool counter = (field.Attributes() & dbAutoIncrField) != 0;
  if (type != field.Type() || size != field.Size() || refuses_empty || (counter && !rowid_alias)) {
    Statement meta(*this, "INSERT OR REPLACE INTO MSysFields VALUES (?, ?, ?, ?, ?, ?, ?)");
    bool text = field.Type() == dbText || field.Type() == dbMemo || field.Type() == dbChar;
    meta.Bind(1, table).Bind(2, field.Name()).Bind(3, static_cast<long long>(field.Type()));
    meta.Bind(4, static_cast<long long>(field.Size())).Bind(5, static_cast<long long>(field.Attributes()));
    meta.Bind(6, static_cast<long long>(text && !refuses_empty)).Bind(7, static_cast<long long>(field.Required()));
    meta.Step();
  }
  // A counter that is not the rowid numbers itself with the engine's trigger;
  // the rows already there are numbered in their order.
  if (counter && !rowid_alias) CreateAutoIncrement(table, field.Name(), number_rows);
}

bool Connection::CreateDeclaredTable(TableDef& table) {
  std::string declaration = table.Declaration();
  if (declaration.empty()) return false;
  for (auto& f : table.Fields()) declaration = WithoutZeroLengthCheck(declaration, *f);
  auto parsed = ParseTableDeclaration(declaration);
  if (!parsed || !ColumnsAreTheFields(*parsed, table)) return false;
  const std::string& name = table.Name();
  Atomically([&] {
    EnsureSystemTables();
    std::string token = declaration.substr(parsed->name.begin, parsed->name.end - parsed->name.begin);
    Exec(Unquote(token) == name ? declaration : WithName(declaration, *parsed, QuoteId(name)));
    Touched();
    for (auto& f : table.Fields())
      RecordDeclaredField(name, *f, false, Contains(declaration, "MSysZLS_" + f->Name()));
    Touched();
  });
  return true;
}

std::string Connection::DeclaredColumn(const Field& field) {
  std::string definition = field.Definition();
  // The definition read as a column of a table, to drop a zero-length check
  // the field does not want.
  std::string wrapped = WithoutZeroLengthCheck("CREATE TABLE x (" + definition + ")", field);
  if (wrapped.size() > 17) definition = wrapped.substr(16, wrapped.size() - 17);
  return definition;
}

void Connection::AddDeclaredField(const std::string& table, const Field& field) {
  std::string definition = DeclaredColumn(field);
  try {
    Atomically([&] {
      EnsureSystemTables();
      Exec("ALTER TABLE " + QuoteId(table) + " ADD COLUMN " + definition);
      RecordDeclaredField(table, field, true, Contains(definition, "MSysZLS_"));
    }, table);
    return;
  } catch (const Error& refused) {
    // What ADD COLUMN refuses (NOT NULL without a DEFAULT on a table with
    // rows, a STORED generated column, UNIQUE, PRIMARY KEY) is tried again by
    // rebuilding the table with the column in its declaration; the old rows
    // then take its DEFAULT.
    TableDeclaration d = ParsedDeclaration(table);
    if (d.columns.empty()) throw;
    size_t at = d.columns.back().span.end;
    std::string edited = d.text.substr(0, at) + ", " + definition + d.text.substr(at);
    try {
      ChangeDeclaration(table, edited, false);
    } catch (const Error& rebuild) {
      throw MakeError(err::kInvalidOperation, "el campo '" + field.Name() + "' de la tabla '" + table +
                                                  "' no se puede añadir como lo declara el modelo (" +
                                                  field.Definition() + "): " + DetailOf(refused) + "; " +
                                                  DetailOf(rebuild));
    }
    Atomically([&] {
      EnsureSystemTables();
      RecordDeclaredField(table, field, true, Contains(definition, "MSysZLS_"));
    }, table);
  }
}

bool Connection::CreateDeclaredIndex(const std::string& table, Index& index) {
  if (index.Declaration().empty()) return false;
  std::string sql_name = UniqueSqlName(index.Name());
  std::string sql = Renamed(index.Declaration(), sql_name, table);
  if (sql.empty()) return false;
  Atomically([&] {
    EnsureSystemTables();
    Exec(sql);
    NoteSqlName(sql_name);
    Statement meta(*this, "INSERT INTO MSysIndexes VALUES (?, ?, ?, ?)");
    meta.Bind(1, table).Bind(2, index.Name()).Bind(3, sql_name).Bind(4, static_cast<long long>(index.Primary()));
    meta.Step();
  }, table);
  return true;
}

std::string Connection::DeclaredView(QueryDef& query) {
  const std::string& declaration = query.Declaration();
  if (declaration.empty() || ViewSelect(declaration) != query.SQL()) return {};
  return Renamed(declaration, query.Name());
}

}  // namespace brenquil::detail
