#include "engine/recordset.h"

#include <cctype>

#include "engine/connection.h"
#include "engine/statement.h"

namespace brenquil {

namespace {

using detail::QuoteId;

std::string Trim(const std::string& s) {
  size_t a = 0, b = s.size();
  while (a < b && std::isspace(static_cast<unsigned char>(s[a]))) ++a;
  while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1]))) --b;
  return s.substr(a, b - a);
}

bool StartsWithWord(const std::string& s, size_t& i, const char* word) {
  while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
  size_t n = std::char_traits<char>::length(word);
  if (s.size() - i < n) return false;
  for (size_t k = 0; k < n; ++k)
    if (std::tolower(static_cast<unsigned char>(s[i + k])) != word[k]) return false;
  size_t end = i + n;
  if (end < s.size() && (std::isalnum(static_cast<unsigned char>(s[end])) || s[end] == '_')) return false;
  i = end;
  return true;
}

// A table name as written after FROM: quoted ("", [], ``) or a bare word.
bool ReadName(const std::string& s, size_t& i, std::string& name) {
  while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
  if (i >= s.size()) return false;
  char c = s[i];
  if (c == '"' || c == '`' || c == '[') {
    char close = c == '[' ? ']' : c;
    ++i;
    while (i < s.size()) {
      if (s[i] == close) {
        if (close != ']' && i + 1 < s.size() && s[i + 1] == close) {
          name += close;
          i += 2;
          continue;
        }
        ++i;
        return true;
      }
      name += s[i++];
    }
    return false;
  }
  while (i < s.size() && !std::isspace(static_cast<unsigned char>(s[i])) && s[i] != ';' && s[i] != '(' &&
         s[i] != ',')
    name += s[i++];
  return !name.empty();
}

// True when the text after "Select * from T" orders, groups, limits or
// combines the rows itself (or holds more than one statement); words inside
// quotes and comments do not count.
bool HasOwnShape(const std::string& tail) {
  static const char* const kWords[] = {"order", "group", "limit", "union", "intersect", "except", "window"};
  size_t i = 0;
  while (i < tail.size()) {
    char c = tail[i];
    if (c == '\'' || c == '"' || c == '`' || c == '[') {
      char close = c == '[' ? ']' : c;
      size_t end = tail.find(close, i + 1);
      i = end == std::string::npos ? tail.size() : end + 1;
    } else if (c == '-' && i + 1 < tail.size() && tail[i + 1] == '-') {
      size_t end = tail.find('\n', i);
      i = end == std::string::npos ? tail.size() : end + 1;
    } else if (c == '/' && i + 1 < tail.size() && tail[i + 1] == '*') {
      size_t end = tail.find("*/", i + 2);
      i = end == std::string::npos ? tail.size() : end + 2;
    } else if (c == ';') {
      return true;
    } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
      std::string word;
      while (i < tail.size() && (std::isalnum(static_cast<unsigned char>(tail[i])) || tail[i] == '_'))
        word += static_cast<char>(std::tolower(static_cast<unsigned char>(tail[i++])));
      for (const char* w : kWords)
        if (word == w) return true;
    } else {
      ++i;
    }
  }
  return false;
}

// The tail "where F = 'text'" and nothing more (blanks and comments aside):
// F a name, never a keyword, and the text as its literal says it.
bool SimpleEquality(const std::string& tail, std::string& field, std::string& value) {
  size_t i = 0;
  if (!detail::IEquals(detail::NextToken(tail, i), "where")) return false;
  std::string name = detail::NextToken(tail, i);
  if (name.empty()) return false;
  const char c = name[0];
  if (c == '"' || c == '`' || c == '[') {
    if (name.size() < 2 || name.back() != (c == '[' ? ']' : c)) return false;
    field = detail::Unquote(name);
  } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_' || static_cast<unsigned char>(c) >= 0x80) {
    if (sqlite3_keyword_check(name.data(), static_cast<int>(name.size()))) return false;
    field = name;
  } else {
    return false;
  }
  if (detail::NextToken(tail, i) != "=") return false;
  // "==" is equality too, but "=" followed by anything else is not this shape.
  size_t at = detail::SkipBlanks(tail, i);
  if (at >= tail.size() || tail[at] != '\'') return false;
  std::string literal = detail::NextToken(tail, i);
  if (literal.size() < 2 || literal.back() != '\'') return false;
  if (detail::SkipBlanks(tail, i) != tail.size()) return false;
  value.clear();
  for (size_t k = 1; k + 1 < literal.size(); ++k) {
    value += literal[k];
    if (literal[k] == '\'') ++k;  // '' is one apostrophe
  }
  return true;
}

}  // namespace

namespace {

// The columns of a record set over one table: its fields, whose names SQLite
// keeps distinct, taken whole rather than appended one by one.
class TableColumns : public CollectionBackend<Field> {
 public:
  explicit TableColumns(std::vector<std::shared_ptr<Field>> columns) : columns_(std::move(columns)) {}
  std::vector<std::shared_ptr<Field>> Load() override { return columns_; }
  void Append(Field& field) override { columns_.push_back(std::make_shared<Field>(field)); }
  void Delete(const std::string& name) override {
    std::erase_if(columns_, [&](const auto& f) { return SameName(f->Name(), name); });
  }
  bool Stale() override { return false; }

 private:
  std::vector<std::shared_ptr<Field>> columns_;
};

}  // namespace

void Recordset::FieldsOf(const detail::TableInfo& table) {
  std::vector<std::shared_ptr<Field>> columns;
  columns.reserve(table.fields.size());
  for (const auto& info : table.fields) {
    auto field = std::make_shared<Field>(info.name);
    field->Load(info.type, info.size, info.attributes, info.allow_zero_length, info.required, "");
    field->MarkStored();
    columns.push_back(std::move(field));
  }
  fields_.SetBackend(std::make_unique<TableColumns>(std::move(columns)));
}

Recordset::Recordset(std::shared_ptr<detail::Connection> connection, const std::string& source)
    : connection_(std::move(connection)), fields_("Fields", err::kFieldExists) {
  auto& c = *connection_;
  std::string text = Trim(source);
  size_t i = 0;
  std::string where = " en '" + c.Path() + "'";
  bool is_select = StartsWithWord(text, i, "select");
  size_t j = 0;
  if (!is_select && StartsWithWord(text, j, "with")) is_select = true;
  if (!is_select) {
    std::shared_ptr<const detail::TableInfo> info = c.IsTable(text) ? c.Table(text) : nullptr;
    if (info && !info->without_rowid) {
      table_ = text;
      // Rows come in the order they were written: without the ORDER BY,
      // SQLite may walk an index that covers the columns instead.
      sql_ = "SELECT rowid, * FROM " + QuoteId(text) + " ORDER BY rowid";
      has_rowid_ = true;
      // The columns are the table's fields, which the engine knows: the
      // statement is prepared when rows are first read.
      FieldsOf(*info);
      return;
    } else if (c.IsTable(text) || c.IsView(text)) {
      sql_ = "SELECT * FROM " + QuoteId(text);
    } else {
      throw MakeError(err::kInputNotFound, "'" + text + "'" + where);
    }
  } else {
    // "Select * from T [rest]" on a table is updatable: the rows carry their rowid.
    size_t k = i;
    std::string name;
    while (k < text.size() && std::isspace(static_cast<unsigned char>(text[k]))) ++k;
    std::shared_ptr<const detail::TableInfo> info;
    if (k < text.size() && text[k] == '*' && StartsWithWord(text, ++k, "from") && ReadName(text, k, name) &&
        c.IsTable(name) && !(info = c.Table(name))->without_rowid) {
      table_ = name;
      has_rowid_ = true;
      std::string tail = text.substr(k);
      // A "where" on an indexed column would otherwise give the rows in that
      // index's order; a line break keeps the ORDER BY out of a closing comment.
      sql_ = "SELECT rowid, * FROM " + QuoteId(name) + tail + (HasOwnShape(tail) ? "" : "\nORDER BY rowid");
      // The whole table, or its rows whose field holds one text: the columns
      // are the table's fields, and such a selection cannot fail to run.
      std::string field, value;
      if (detail::OnlyBlanksLeft(tail) && tail.find(';') == std::string::npos) {
        FieldsOf(*info);
        return;
      }
      if (SimpleEquality(tail, field, value) && info->FindField(field)) {
        lookup_field_ = field;
        lookup_value_ = value;
        FieldsOf(*info);
        return;
      }
    } else {
      sql_ = text;
    }
  }

  try {
    statement_ = std::make_unique<detail::Statement>(c, sql_);
  } catch (const Error& e) {
    throw MakeError(e.Number() == err::kInputNotFound ? err::kInputNotFound : err::kInvalidSql,
                    "'" + source + "': " + DetailOf(e));
  }
  detail::Statement& st = *statement_;
  int first = has_rowid_ ? 1 : 0;
  std::string last_table;  // columns of one table look it up once; any name, the empty one too
  std::shared_ptr<const detail::TableInfo> last_info;
  for (int col = first; col < st.ColumnCount(); ++col) {
    sqlite3_stmt* h = st.Handle();
    auto field = std::make_shared<Field>(sqlite3_column_name(h, col));
    const char* table = sqlite3_column_table_name(h, col);
    const char* origin = sqlite3_column_origin_name(h, col);
    const char* declared = sqlite3_column_decltype(h, col);
    const detail::FieldInfo* info = nullptr;
    if (table && origin && ((last_info && table == last_table) || c.IsTable(table))) {
      if (!last_info || table != last_table) {
        last_table = table;
        last_info = c.Table(table);
      }
      info = last_info->FindField(origin);
    }
    if (info) {
      field->Load(info->type, info->size, info->attributes, info->allow_zero_length, info->required, "");
    } else {
      auto [type, size] = detail::InferType(declared ? declared : "");
      field->Load(type, size, 0, true, false, "");
    }
    field->MarkStored();
    fields_.Append(field);
  }
  // Rows are read when first asked for (Start): a record source that is
  // only asked for its fields reads none.
}

Recordset::~Recordset() = default;

namespace {

// Resets a kept statement on every way out, so that it holds no lock between uses.
struct ResetAfter {
  detail::Statement& st;
  ~ResetAfter() { st.Reset(); }
};

// Reads the row `rowid` with `st` ("SELECT rowid, * FROM T WHERE rowid = ?").
bool ReadRowWith(detail::Statement& st, long long rowid, std::vector<std::optional<std::string>>& values) {
  st.Reset();
  st.Bind(1, rowid);
  if (!st.Step()) return false;
  values.clear();
  for (int col = 1; col < st.ColumnCount(); ++col) values.push_back(st.Text(col));
  st.Reset();
  return true;
}

}  // namespace

detail::Statement& Recordset::RowStatement() const {
  if (!row_statement_)
    row_statement_ = std::make_unique<detail::Statement>(*connection_,
                                                         "SELECT rowid, * FROM " + QuoteId(table_) + " WHERE rowid = ?");
  return *row_statement_;
}

bool Recordset::ReadRow(long long rowid, std::vector<std::optional<std::string>>& values) const {
  return ReadRowWith(RowStatement(), rowid, values);
}

std::vector<Recordset::Row> Recordset::Read(long limit) const {
  std::vector<Row> rows;
  if (!lookup_field_.empty()) {
    if (auto rowids = connection_->RowidsWhere(table_, lookup_field_, lookup_value_)) {
      if (rowids->empty()) return rows;
      detail::Statement& st = RowStatement();
      for (long long rowid : *rowids) {
        if (limit >= 0 && static_cast<long>(rows.size()) >= limit) break;
        Row row;
        row.rowid = rowid;
        if (ReadRowWith(st, rowid, row.values)) rows.push_back(std::move(row));
      }
      return rows;
    }
  }
  // The statement is kept for the next read, reset: it holds no lock between reads.
  if (!statement_) statement_ = std::make_unique<detail::Statement>(*connection_, sql_);
  detail::Statement& st = *statement_;
  ResetAfter reset_after{st};
  int first = has_rowid_ ? 1 : 0;
  while ((limit < 0 || static_cast<long>(rows.size()) < limit) && st.Step()) {
    Row row;
    if (has_rowid_) row.rowid = st.Int(0);
    for (int col = first; col < st.ColumnCount(); ++col) row.values.push_back(st.Text(col));
    rows.push_back(std::move(row));
  }
  return rows;
}

void Recordset::Start() const {
  if (started_) return;
  // The first row tells EOF and BOF; the rest is read when first reached.
  std::vector<Row> rows = Read(1);
  if (!rows.empty()) {
    rows_.push_back(std::move(rows.front()));
    live_ = 1;
  } else {
    complete_ = true;
  }
  started_ = true;
}

void Recordset::FetchAll() {
  Start();
  if (complete_) return;
  rows_ = Read(-1);
  live_ = static_cast<long>(rows_.size());
  complete_ = true;
}

bool Recordset::Eof() const {
  Start();
  return position_ >= static_cast<long>(rows_.size()) || live_ == 0;
}
bool Recordset::Bof() const {
  Start();
  return position_ < 0 || live_ == 0;
}

long Recordset::RecordCount() const {
  Start();
  return live_;
}

void Recordset::MoveFirst() {
  FetchAll();
  for (long p = 0; p < static_cast<long>(rows_.size()); ++p)
    if (!rows_[static_cast<size_t>(p)].deleted) {
      position_ = p;
      return;
    }
  throw MakeError(err::kNoCurrentRecord, "MoveFirst en un conjunto vacío");
}

void Recordset::MoveLast() {
  FetchAll();
  for (long p = static_cast<long>(rows_.size()) - 1; p >= 0; --p)
    if (!rows_[static_cast<size_t>(p)].deleted) {
      position_ = p;
      return;
    }
  throw MakeError(err::kNoCurrentRecord, "MoveLast en un conjunto vacío");
}

void Recordset::MoveNext() {
  FetchAll();
  if (Eof()) throw MakeError(err::kNoCurrentRecord, "MoveNext después del último registro");
  long p = position_ + 1;
  while (p < static_cast<long>(rows_.size()) && rows_[static_cast<size_t>(p)].deleted) ++p;
  position_ = p;
}

void Recordset::MovePrevious() {
  FetchAll();
  if (Bof()) throw MakeError(err::kNoCurrentRecord, "MovePrevious antes del primer registro");
  long p = position_ - 1;
  while (p >= 0 && rows_[static_cast<size_t>(p)].deleted) --p;
  position_ = p;
}

const Recordset::Row& Recordset::Current() const {
  if (Eof() || Bof() || rows_[static_cast<size_t>(position_)].deleted)
    throw MakeError(err::kNoCurrentRecord, "en '" + sql_ + "'");
  Row& row = rows_[static_cast<size_t>(position_)];
  if (!row.read) {
    row.read = true;
    if (!ReadRow(row.rowid, row.values)) {
      // Gone since it was added: no longer a row of the record set.
      row.deleted = true;
      --live_;
      throw MakeError(err::kNoCurrentRecord, "en '" + sql_ + "'");
    }
  }
  return row;
}

std::optional<std::string> Recordset::Value(int column) const {
  const Row& row = Current();
  if (column < 0 || column >= static_cast<int>(row.values.size()))
    throw MakeError(err::kItemNotFound, "columna " + std::to_string(column));
  return row.values[static_cast<size_t>(column)];
}

int Recordset::ColumnIndex(const std::string& column) const {
  int i = 0;
  for (const auto& field : const_cast<Collection<Field>&>(fields_)) {
    if (field->Name() == column) return i;
    ++i;
  }
  return -1;
}

std::optional<std::string> Recordset::Value(const std::string& column) const {
  const int i = ColumnIndex(column);
  if (i < 0) throw MakeError(err::kItemNotFound, "la columna '" + column + "'");
  return Value(i);
}

void Recordset::Delete() {
  if (!Updatable()) throw MakeError(err::kReadOnly, "'" + sql_ + "' no es actualizable");
  FetchAll();
  const Row& row = Current();
  connection_->PrepareWrite();
  if (!delete_statement_)
    delete_statement_ = std::make_unique<detail::Statement>(*connection_, "DELETE FROM " + QuoteId(table_) + " WHERE rowid = ?");
  detail::Statement& st = *delete_statement_;
  ResetAfter reset_after{st};
  st.Bind(1, row.rowid);
  try {
    st.Step();
  } catch (const Error& error) {
    // A row that a FOREIGN KEY clause refuses to delete has related rows.
    if (error.Number() != err::kRelatedRecordRequired) throw;
    throw MakeError(err::kRelatedRecords, DetailOf(error));
  }
  rows_[static_cast<size_t>(position_)].deleted = true;
  --live_;
}

void Recordset::AddNew() {
  if (!Updatable()) throw MakeError(err::kReadOnly, "'" + sql_ + "' no es actualizable");
  FetchAll();
  adding_ = true;
  new_values_.assign(static_cast<size_t>(fields_.Count()), std::nullopt);
  set_.assign(static_cast<size_t>(fields_.Count()), false);
}

void Recordset::SetValue(const std::string& column, std::optional<std::string> value) {
  if (!adding_) throw MakeError(err::kUpdateWithoutAddNew, "SetValue('" + column + "')");
  const int i = ColumnIndex(column);
  if (i < 0) throw MakeError(err::kItemNotFound, "la columna '" + column + "' de '" + table_ + "'");
  SetValue(i, std::move(value));
}

void Recordset::SetValue(int column, std::optional<std::string> value) {
  if (!adding_) throw MakeError(err::kUpdateWithoutAddNew, "SetValue(" + std::to_string(column) + ")");
  if (column < 0 || column >= static_cast<int>(set_.size()))
    throw MakeError(err::kItemNotFound, "columna " + std::to_string(column));
  new_values_[static_cast<size_t>(column)] = std::move(value);
  set_[static_cast<size_t>(column)] = true;
}

void Recordset::CancelUpdate() {
  adding_ = false;
  new_values_.clear();
}

void Recordset::Update() {
  if (!adding_) throw MakeError(err::kUpdateWithoutAddNew, "en '" + table_ + "'");
  connection_->PrepareWrite();
  std::vector<size_t> bound;
  for (size_t i = 0; i < set_.size(); ++i)
    if (set_[i]) bound.push_back(i);
  // The same columns as the last row's: the same statement.
  if (!insert_statement_ || insert_columns_ != set_) {
    insert_statement_.reset();
    std::string columns, marks;
    for (size_t i : bound) {
      columns += (columns.empty() ? "" : ", ") + QuoteId(fields_[static_cast<int>(i)]->Name());
      marks += marks.empty() ? "?" : ", ?";
    }
    std::string sql = "INSERT INTO " + QuoteId(table_) +
                      (bound.empty() ? std::string(" DEFAULT VALUES") : " (" + columns + ") VALUES (" + marks + ")");
    insert_statement_ = std::make_unique<detail::Statement>(*connection_, sql);
    insert_columns_ = set_;
  }
  detail::Statement& st = *insert_statement_;
  ResetAfter reset_after{st};
  for (size_t k = 0; k < bound.size(); ++k) {
    auto& value = new_values_[bound[k]];
    int type = fields_[static_cast<int>(bound[k])]->Type();
    bool text = type == dbText || type == dbMemo || type == dbChar;
    // An empty box means no value, except in a text column, where it is the
    // zero-length text (which the field may refuse).
    if (!value || (value->empty() && !text))
      st.BindNull(static_cast<int>(k) + 1);
    else
      st.Bind(static_cast<int>(k) + 1, *value);
  }
  st.Step();
  // The new row joins the record set; its values, as the table stored them,
  // are read when it is first shown.
  Row row;
  row.rowid = sqlite3_last_insert_rowid(connection_->Handle());
  row.read = false;
  adding_ = false;
  bool was_empty = live_ == 0;
  rows_.push_back(std::move(row));
  ++live_;
  if (was_empty) position_ = static_cast<long>(rows_.size()) - 1;
}

}  // namespace brenquil
