#include "engine/recordset.h"

#include <cctype>

#include "engine/connection.h"

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

}  // namespace

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
    if (c.IsTable(text) && !c.Table(text)->without_rowid) {
      table_ = text;
      // Rows come in the order they were written: without the ORDER BY,
      // SQLite may walk an index that covers the columns instead.
      sql_ = "SELECT rowid, * FROM " + QuoteId(text) + " ORDER BY rowid";
      has_rowid_ = true;
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
    if (k < text.size() && text[k] == '*' && StartsWithWord(text, ++k, "from") && ReadName(text, k, name) &&
        c.IsTable(name) && !c.Table(name)->without_rowid) {
      table_ = name;
      has_rowid_ = true;
      std::string tail = text.substr(k);
      // A "where" on an indexed column would otherwise give the rows in that
      // index's order; a line break keeps the ORDER BY out of a closing comment.
      sql_ = "SELECT rowid, * FROM " + QuoteId(name) + tail + (HasOwnShape(tail) ? "" : "\nORDER BY rowid");
    } else {
      sql_ = text;
    }
  }

  detail::Statement st = [&]() -> detail::Statement {
    try {
      return detail::Statement(c, sql_);
    } catch (const Error& e) {
      throw MakeError(e.Number() == err::kInputNotFound ? err::kInputNotFound : err::kInvalidSql,
                      "'" + source + "': " + DetailOf(e));
    }
  }();
  int first = has_rowid_ ? 1 : 0;
  std::string last_table;  // columns of one table look it up once
  std::shared_ptr<const detail::TableInfo> last_info;
  for (int col = first; col < st.ColumnCount(); ++col) {
    sqlite3_stmt* h = st.Handle();
    auto field = std::make_shared<Field>(sqlite3_column_name(h, col));
    const char* table = sqlite3_column_table_name(h, col);
    const char* origin = sqlite3_column_origin_name(h, col);
    const char* declared = sqlite3_column_decltype(h, col);
    const detail::FieldInfo* info = nullptr;
    if (table && origin && (table == last_table || c.IsTable(table))) {
      if (table != last_table) {
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

void Recordset::Start() const {
  if (started_) return;
  // The first row tells EOF and BOF; the rest is read when first reached.
  detail::Statement st(*connection_, sql_);
  int first = has_rowid_ ? 1 : 0;
  if (st.Step()) {
    Row row;
    if (has_rowid_) row.rowid = st.Int(0);
    for (int col = first; col < st.ColumnCount(); ++col) row.values.push_back(st.Text(col));
    rows_.push_back(std::move(row));
    live_ = 1;
  } else {
    complete_ = true;
  }
  started_ = true;
}

void Recordset::FetchAll() {
  Start();
  if (complete_) return;
  detail::Statement st(*connection_, sql_);
  std::vector<Row> rows;
  int first = has_rowid_ ? 1 : 0;
  while (st.Step()) {
    Row row;
    if (has_rowid_) row.rowid = st.Int(0);
    for (int col = first; col < st.ColumnCount(); ++col) row.values.push_back(st.Text(col));
    rows.push_back(std::move(row));
  }
  rows_ = std::move(rows);
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
  return rows_[static_cast<size_t>(position_)];
}

std::optional<std::string> Recordset::Value(int column) const {
  const Row& row = Current();
  if (column < 0 || column >= static_cast<int>(row.values.size()))
    throw MakeError(err::kItemNotFound, "columna " + std::to_string(column));
  return row.values[static_cast<size_t>(column)];
}

std::optional<std::string> Recordset::Value(const std::string& column) const {
  auto& fields = const_cast<Collection<Field>&>(fields_);
  for (int i = 0; i < fields.Count(); ++i)
    if (fields[i]->Name() == column) return Value(i);
  throw MakeError(err::kItemNotFound, "la columna '" + column + "'");
}

void Recordset::Delete() {
  if (!Updatable()) throw MakeError(err::kReadOnly, "'" + sql_ + "' no es actualizable");
  FetchAll();
  const Row& row = Current();
  connection_->PrepareWrite();
  detail::Statement st(*connection_, "DELETE FROM " + QuoteId(table_) + " WHERE rowid = ?");
  st.Bind(1, row.rowid);
  st.Step();
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
  for (int i = 0; i < fields_.Count(); ++i)
    if (fields_[i]->Name() == column) {
      new_values_[static_cast<size_t>(i)] = std::move(value);
      set_[static_cast<size_t>(i)] = true;
      return;
    }
  throw MakeError(err::kItemNotFound, "la columna '" + column + "' de '" + table_ + "'");
}

void Recordset::CancelUpdate() {
  adding_ = false;
  new_values_.clear();
}

void Recordset::Update() {
  if (!adding_) throw MakeError(err::kUpdateWithoutAddNew, "en '" + table_ + "'");
  connection_->PrepareWrite();
  std::string columns, marks;
  std::vector<size_t> bound;
  for (size_t i = 0; i < set_.size(); ++i) {
    if (!set_[i]) continue;
    columns += (columns.empty() ? "" : ", ") + QuoteId(fields_[static_cast<int>(i)]->Name());
    marks += marks.empty() ? "?" : ", ?";
    bound.push_back(i);
  }
  std::string sql = "INSERT INTO " + QuoteId(table_) +
                    (bound.empty() ? std::string(" DEFAULT VALUES") : " (" + columns + ") VALUES (" + marks + ")");
  detail::Statement st(*connection_, sql);
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
  long long rowid = sqlite3_last_insert_rowid(connection_->Handle());
  adding_ = false;
  detail::Statement back(*connection_, "SELECT rowid, * FROM " + QuoteId(table_) + " WHERE rowid = ?");
  back.Bind(1, rowid);
  if (back.Step()) {
    Row row;
    row.rowid = back.Int(0);
    for (int col = 1; col < back.ColumnCount(); ++col) row.values.push_back(back.Text(col));
    bool was_empty = live_ == 0;
    rows_.push_back(std::move(row));
    ++live_;
    if (was_empty) position_ = static_cast<long>(rows_.size()) - 1;
  }
}

}  // namespace brenquil
