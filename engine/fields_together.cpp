// Several new fields of one table added in one change. ALTER TABLE ADD COLUMN
// makes SQLite parse the whole schema of the file again, once per column; here
// the table's declaration is edited once for all of them, the way ADD COLUMN
// edits it, so the schema is parsed again once per table.
//
// The result must be what ADD COLUMN, column after column, would have left:
// - the edited text is SQLite's own: the same ADD COLUMNs run on a copy of the
//   table's declaration in a scratch in-memory database, which also makes
//   every check ADD COLUMN makes that does not depend on the rows;
// - the checks that depend on the rows are not made again: when the table has
//   rows, only columns that ADD COLUMN takes without looking at them go
//   together (no NOT NULL, key, REFERENCES, CHECK or generated column, a
//   DEFAULT that is a literal, a table that is not STRICT and has no CHECK);
// - old rows, whose records are shorter than the new declaration, read the
//   new columns as their DEFAULT, which needs a file of schema format 3 or
//   more: a file of an older format is left to ADD COLUMN, which raises it.
// Whatever cannot go together is left to the caller to add one by one, and
// nothing is stored when the edited text does not read back as the old
// columns followed by the new ones.
#include <cctype>
#include <fstream>

#include "engine/connection.h"
#include "engine/field.h"
#include "engine/table_declaration.h"

namespace brenquil::detail {

namespace {

// An open scratch database, closed when it goes.
class Scratch {
 public:
  Scratch() {
    if (sqlite3_open_v2(":memory:", &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
      sqlite3_close(db_);
      db_ = nullptr;
    }
  }
  ~Scratch() { sqlite3_close(db_); }
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;

  bool Run(const std::string& sql) {
    return db_ && sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
  }
  // The stored declaration of the one table there is.
  std::string Declaration() {
    sqlite3_stmt* st = nullptr;
    std::string out;
    if (sqlite3_prepare_v2(db_, "SELECT sql FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\'",
                           -1, &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW && sqlite3_column_text(st, 0))
      out = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
    sqlite3_finalize(st);
    return out;
  }

 private:
  sqlite3* db_ = nullptr;
};

bool IsSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

// True when `value` (the text after DEFAULT) is a literal SQLite stores as a
// constant: a number with an optional sign, a string, a blob or NULL.
bool IsLiteral(std::string_view value) {
  while (!value.empty() && IsSpace(value.front())) value.remove_prefix(1);
  while (!value.empty() && IsSpace(value.back())) value.remove_suffix(1);
  if (value.empty()) return false;
  auto quoted = [](std::string_view v) {
    if (v.size() < 2 || v.front() != '\'' || v.back() != '\'') return false;
    for (size_t i = 1; i + 1 < v.size(); ++i)
      if (v[i] == '\'') {
        if (v[i + 1] != '\'' || i + 2 >= v.size()) return false;
        ++i;
      }
    return true;
  };
  if (quoted(value)) return true;
  if ((value.front() == 'x' || value.front() == 'X') && quoted(value.substr(1))) return true;
  if (value.size() == 4 && std::toupper(static_cast<unsigned char>(value[0])) == 'N' &&
      std::toupper(static_cast<unsigned char>(value[1])) == 'U' &&
      std::toupper(static_cast<unsigned char>(value[2])) == 'L' &&
      std::toupper(static_cast<unsigned char>(value[3])) == 'L')
    return true;
  if (value.front() == '+' || value.front() == '-') value.remove_prefix(1);
  if (value.empty()) return false;
  bool digit = false;
  for (char c : value) {
    if (std::isdigit(static_cast<unsigned char>(c))) {
      digit = true;
    } else if (c != '.' && c != 'e' && c != 'E' && c != '+' && c != '-') {
      return false;
    }
  }
  return digit && std::isdigit(static_cast<unsigned char>(value.front())) != 0;
}

// True when ADD COLUMN takes `definition` on a table with rows without
// looking at them.
bool TakenWithoutTheRows(const std::string& definition) {
  auto parsed = ParseTableDeclaration("CREATE TABLE x (" + definition + ")");
  if (!parsed || parsed->columns.size() != 1 || !parsed->table_clauses.empty()) return false;
  for (const auto& clause : parsed->columns[0].clauses) {
    switch (clause.kind) {
      case ClauseKind::kNull:
      case ClauseKind::kCollate:
        break;
      case ClauseKind::kDefault: {
        std::string_view text(parsed->text);
        text = text.substr(clause.span.begin, clause.span.end - clause.span.begin);
        size_t at = Upper(std::string(text)).find("DEFAULT");
        if (at == std::string::npos || !IsLiteral(text.substr(at + 7))) return false;
        break;
      }
      default:
        return false;
    }
  }
  return true;
}

// The schema format number of the file at `path` (its header's bytes 44-47),
// or 0 when it cannot be read.
long SchemaFormat(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  unsigned char header[48] = {};
  if (!file.read(reinterpret_cast<char*>(header), sizeof header)) return 0;
  return (long{header[44]} << 24) | (long{header[45]} << 16) | (long{header[46]} << 8) | long{header[47]};
}

}  // namespace

size_t Connection::AddFieldsTogether(const std::string& given, const std::vector<const Field*>& fields) {
  CheckWritable();
  if (fields.size() < 2) return 0;
  auto held = Table(given);
  const TableInfo& info = *held;
  const std::string& table = info.name;

  // The leading fields that could be added one by one: a counter numbers the
  // rows already there, so it goes alone.
  struct Candidate {
    const Field* field;
    std::string definition;
    bool declared;
  };
  std::vector<Candidate> candidates;
  for (const Field* field : fields) {
    try {
      CheckField(*field, table);
    } catch (const Error&) {
      break;
    }
    if (info.FindField(field->Name()) || (field->Attributes() & dbAutoIncrField) != 0) break;
    bool taken = false;
    for (const auto& c : candidates) taken = taken || IEquals(c.field->Name(), field->Name());
    if (taken) break;
    bool declared = !field->Definition().empty() && IEquals(Unquote(NextTokenAt(field->Definition())), field->Name());
    candidates.push_back({field, declared ? DeclaredColumn(*field) : ColumnDefinition(*field, false), declared});
  }
  if (candidates.size() < 2) return 0;

  auto columns = [&] {
    std::vector<std::string> names;
    Statement st(*this, "SELECT name FROM pragma_table_xinfo(?) ORDER BY cid");
    st.Bind(1, table);
    while (st.Step()) names.push_back(st.Text(0).value_or(""));
    return names;
  };
  const std::vector<std::string> old_columns = columns();
  const std::string& old_text = info.declaration;
  auto parsed = ParseTableDeclaration(old_text);
  if (!parsed) return 0;

  // SQLite's own text after each ADD COLUMN, made on a copy of the declaration.
  std::vector<std::string> texts;
  {
    Scratch scratch;
    if (!scratch.Run(old_text)) return 0;
    for (const auto& c : candidates) {
      if (!scratch.Run("ALTER TABLE " + QuoteId(table) + " ADD COLUMN " + c.definition)) break;
      texts.push_back(scratch.Declaration());
      if (texts.back().empty()) {
        texts.pop_back();
        break;
      }
    }
  }
  size_t count = texts.size();

  bool has_rows = false;
  {
    Statement st(*this, "SELECT 1 FROM " + QuoteId(table) + " LIMIT 1");
    has_rows = st.Step();
  }
  if (has_rows) {
    bool checked = !parsed->table_clauses.empty() && [&] {
      for (const auto& clause : parsed->table_clauses)
        if (clause.kind == ClauseKind::kCheck) return true;
      return false;
    }();
    for (const auto& column : parsed->columns)
      for (const auto& clause : column.clauses) checked = checked || clause.kind == ClauseKind::kCheck;
    if (parsed->strict || checked) return 0;
    size_t taken = 0;
    while (taken < count && TakenWithoutTheRows(candidates[taken].definition)) ++taken;
    count = taken;
  }
  if (count < 2 || SchemaFormat(path_) < 3) return 0;

  const std::string& edited = texts[count - 1];
  try {
    Atomically([&] {
      EnsureSystemTables();
      StoreDeclarationInPlace(table, edited);
      // The table must read as its old columns followed by the new ones, in
      // order.
      std::vector<std::string> now = columns();
      bool as_meant = now.size() == old_columns.size() + count;
      for (size_t i = 0; as_meant && i < now.size(); ++i)
        as_meant = i < old_columns.size() ? now[i] == old_columns[i]
                                          : IEquals(now[i], candidates[i - old_columns.size()].field->Name());
      if (!as_meant)
        throw MakeError(err::kInvalidOperation, "los campos nuevos de la tabla '" + table + "' no se leen como se escribieron");
      for (size_t i = 0; i < count; ++i) {
        const Candidate& c = candidates[i];
        if (c.declared) {
          RecordDeclaredField(table, *c.field, false, Contains(c.definition, "MSysZLS_"));
        } else {
          RecordField(table, *c.field);
        }
      }
    }, table);
  } catch (const Error&) {
    // Nothing was stored; one by one, each field meets its own error.
    return 0;
  }
  return count;
}

}  // namespace brenquil::detail
