// Several new fields of one table added in one change. ALTER TABLE ADD COLUMN
// makes SQLite parse the whole schema of the file again, once per column; here
// the table's declaration is edited once for all of them, the way ADD COLUMN
// edits it, so the schema is parsed again once per table, or inside a batch
// once for every table edited so (see declarations_read_back.cpp).
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
#include <memory>

#include "engine/connection.h"
#include "engine/field.h"
#include "engine/table_declaration.h"

namespace brenquil::detail {

namespace {

// A scratch database in memory, one per thread, kept open between uses:
// opening one costs more than the work done in it. It holds one table at a
// time, dropped when the use ends.
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
  // The stored declaration of `table`.
  std::string Declaration(const std::string& table) {
    std::string out;
    Each("SELECT sql FROM sqlite_master WHERE type = 'table' AND name = ?", table,
         [&](sqlite3_stmt* st) { out = Text(st, 0); });
    return out;
  }
  // The names and declared types of the columns of `table`, in order.
  std::vector<std::pair<std::string, std::string>> Columns(const std::string& table) {
    std::vector<std::pair<std::string, std::string>> out;
    Each("SELECT name, type FROM pragma_table_xinfo(?) ORDER BY cid", table,
         [&](sqlite3_stmt* st) { out.emplace_back(Text(st, 0), Text(st, 1)); });
    return out;
  }
  // Empty again: every table dropped. False when that fails.
  bool Empty() {
    std::vector<std::string> tables;
    Each("SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\'", {},
         [&](sqlite3_stmt* st) { tables.push_back(Text(st, 0)); });
    for (const auto& table : tables)
      if (!Run("DROP TABLE " + QuoteId(table))) return false;
    return true;
  }

 private:
  static std::string Text(sqlite3_stmt* st, int column) {
    const unsigned char* value = sqlite3_column_text(st, column);
    return value ? std::string(reinterpret_cast<const char*>(value)) : std::string();
  }
  template <class Row>
  void Each(const char* sql, const std::string& parameter, Row row) {
    sqlite3_stmt* st = nullptr;
    if (db_ && sqlite3_prepare_v2(db_, sql, -1, &st, nullptr) == SQLITE_OK) {
      if (sqlite3_bind_parameter_count(st) > 0)
        sqlite3_bind_text(st, 1, parameter.c_str(), static_cast<int>(parameter.size()), SQLITE_TRANSIENT);
      while (sqlite3_step(st) == SQLITE_ROW) row(st);
    }
    sqlite3_finalize(st);
  }

  sqlite3* db_ = nullptr;
};

// This thread's scratch database, empty; nullptr when none can be had.
Scratch* EmptyScratch() {
  thread_local std::unique_ptr<Scratch> scratch;
  if (scratch && !scratch->Empty()) scratch.reset();
  if (!scratch) scratch = std::make_unique<Scratch>();
  return scratch->Run("SELECT 1") ? scratch.get() : nullptr;
}

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

  std::vector<std::string> old_columns;
  {
    PragmaSubject subject(*this, table);
    Statement st(*this, "SELECT name FROM pragma_table_xinfo(?) ORDER BY cid");
    st.Bind(1, table);
    while (st.Step()) old_columns.push_back(st.Text(0).value_or(""));
  }
  const std::string& old_text = info.declaration;
  auto parsed = ParseTableDeclaration(old_text);
  if (!parsed) return 0;

  // On a table with rows only the leading fields ADD COLUMN takes without
  // looking at the rows go together.
  size_t count = candidates.size();
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
  if (count < 2) return 0;
  // The format only ever goes up: once it is 3 the header need not be read again.
  if (schema_format_ < 3) schema_format_ = SchemaFormat(path_);
  if (schema_format_ < 3) return 0;

  // SQLite's own text after the ADD COLUMNs, made on a copy of the
  // declaration, and the declared type of each new column there. They run
  // together; when one is refused they run again one by one, and the fields
  // before it still go together.
  std::string edited;
  std::vector<std::string> declared_types;
  {
    Scratch* scratch = EmptyScratch();
    if (!scratch || !scratch->Run(old_text)) return 0;
    auto add = [&](size_t i) { return "ALTER TABLE " + QuoteId(table) + " ADD COLUMN " + candidates[i].definition + ";"; };
    std::string all;
    for (size_t i = 0; i < count; ++i) all += add(i);
    if (!scratch->Run(all)) {
      if (!scratch->Empty() || !scratch->Run(old_text)) return 0;
      size_t accepted = 0;
      while (accepted < count && scratch->Run(add(accepted))) ++accepted;
      count = accepted;
      if (count < 2) return 0;
    }
    edited = scratch->Declaration(table);
    // The copy must read as the old columns followed by the new ones.
    std::vector<std::pair<std::string, std::string>> copied = scratch->Columns(table);
    if (edited.empty() || copied.size() != old_columns.size() + count) return 0;
    for (size_t i = 0; i < copied.size(); ++i) {
      if (i < old_columns.size() ? copied[i].first != old_columns[i]
                                 : !IEquals(copied[i].first, candidates[i - old_columns.size()].field->Name()))
        return 0;
      if (i >= old_columns.size()) declared_types.push_back(copied[i].second);
    }
  }

  std::vector<std::string> added;
  for (size_t i = 0; i < count; ++i) added.push_back(candidates[i].field->Name());
  auto record = [&] {
    for (size_t i = 0; i < count; ++i) {
      const Candidate& c = candidates[i];
      if (c.declared) {
        // The declared type as the copy read it: SQLite still reads the
        // table by its old declaration while the new one waits to be read
        // back. A counter never comes here, so no column is the rowid.
        RecordDeclaredFieldAs(table, *c.field, declared_types[i], false, false, Contains(c.definition, "MSysZLS_"));
      } else {
        RecordField(table, *c.field);
      }
    }
  };
  try {
    Atomically([&] {
      EnsureSystemTables();
      record();
      // Inside a batch's transaction the edit is read back with the other
      // tables' (see ReadBackDeclarations); alone it is read back at once.
      if (batch_open_) {
        StageDeclaration(table, edited, old_columns, added);
      } else {
        StoreDeclarationInPlace(table, edited);
        CheckReadAsMeant(table, old_columns, added);
      }
    }, table, true);
  } catch (const Error&) {
    // Nothing was stored; one by one, each field meets its own error.
    return 0;
  }
  return count;
}

}  // namespace brenquil::detail
