#include "engine/row_checks.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <string_view>

#include "engine/connection.h"
#include "engine/database.h"

namespace brenquil {

namespace {

using detail::QuoteId;

// `key_columns`: how many leading columns of the examples make a key (all
// when negative).
BlockingRows Collect(detail::Connection& c, const std::string& count_sql, const std::string& examples_sql,
                     int key_columns = -1) {
  BlockingRows out;
  {
    detail::Statement st(c, count_sql);
    if (st.Step()) out.count = static_cast<long>(st.Int(0));
  }
  if (out.count == 0) return out;
  detail::Statement st(c, examples_sql);
  while (st.Step() && out.examples.size() < 5) {
    std::string key;
    const int columns = key_columns < 0 ? st.ColumnCount() : std::min(key_columns, st.ColumnCount());
    for (int col = 0; col < columns; ++col)
      key += (col ? ", " : "") + st.Text(col).value_or("NULL");
    out.examples.push_back(key);
  }
  return out;
}

// What a CREATE INDEX statement keys its rows on: each key part as written
// (an expression, with its COLLATE, without ASC or DESC), and its WHERE.
struct IndexKey {
  bool unique = false;
  std::vector<std::string> parts;
  std::string where;  // empty: every row
};

std::string Trimmed(std::string_view text) {
  size_t begin = 0, end = text.size();
  while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
  while (end > begin && (std::isspace(static_cast<unsigned char>(text[end - 1])) || text[end - 1] == ';')) --end;
  return std::string(text.substr(begin, end - begin));
}

// One key part without its sort order.
std::string WithoutOrder(std::string_view part) {
  size_t i = 0, last = std::string_view::npos;
  std::string token, last_token;
  for (;;) {
    size_t at = detail::SkipBlanks(part, i);
    token = detail::NextToken(part, i);
    if (token.empty()) break;
    last = at;
    last_token = token;
  }
  if (last != std::string_view::npos && (detail::IEquals(last_token, "ASC") || detail::IEquals(last_token, "DESC")))
    part = part.substr(0, last);
  return Trimmed(part);
}

std::optional<IndexKey> ReadIndexKey(std::string_view create) {
  using detail::IEquals;
  using detail::NextToken;
  size_t i = 0;
  if (!IEquals(NextToken(create, i), "CREATE")) return std::nullopt;
  IndexKey key;
  std::string token = NextToken(create, i);
  if (IEquals(token, "UNIQUE")) {
    key.unique = true;
    token = NextToken(create, i);
  }
  if (!IEquals(token, "INDEX")) return std::nullopt;
  // A quoted name is never the keyword.
  do token = NextToken(create, i);
  while (!token.empty() && !IEquals(token, "ON"));
  if (token.empty() || NextToken(create, i).empty() || NextToken(create, i) != "(") return std::nullopt;
  int depth = 0;
  size_t part_begin = i;
  for (;;) {
    const size_t at = detail::SkipBlanks(create, i);
    token = NextToken(create, i);
    if (token.empty()) return std::nullopt;
    if (token == "(") {
      ++depth;
    } else if (token == ")" && depth > 0) {
      --depth;
    } else if (depth == 0 && (token == "," || token == ")")) {
      std::string part = WithoutOrder(create.substr(part_begin, at - part_begin));
      if (part.empty()) return std::nullopt;
      key.parts.push_back(std::move(part));
      part_begin = i;
      if (token == ")") break;
    }
  }
  token = NextToken(create, i);
  if (IEquals(token, "WHERE")) {
    key.where = Trimmed(create.substr(i));
    if (key.where.empty()) return std::nullopt;
  } else if (!detail::OnlyBlanksLeft(token)) {
    return std::nullopt;
  }
  return key;
}

}  // namespace

BlockingRows RowsRepeatingKey(Database& db, const std::string& table, const std::vector<std::string>& fields) {
  if (fields.empty()) return {};
  std::string list, set;
  for (const auto& f : fields) {
    list += (list.empty() ? "" : ", ") + QuoteId(f);
    set += (set.empty() ? "" : " AND ") + QuoteId(f) + " IS NOT NULL";
  }
  std::string groups = "SELECT " + list + ", count(*) AS brenquil_n FROM " + QuoteId(table) + " WHERE " + set +
                       " GROUP BY " + list + " HAVING count(*) > 1";
  return Collect(*db.Connection(), "SELECT IFNULL(sum(brenquil_n), 0) FROM (" + groups + ")",
                 "SELECT " + list + " FROM (" + groups + ") LIMIT 5");
}

BlockingRows RowsRefusingIndex(Database& db, const std::string& table, const std::string& create_index) {
  std::optional<IndexKey> key = ReadIndexKey(create_index);
  if (!key)
    throw MakeError(err::kInvalidOperation, "no se entiende la declaración del índice: " + create_index);
  // Each part in parentheses of its own, and a line break before each closing
  // one, so that a comment at a part's end swallows nothing.
  std::string list, set;
  for (const auto& part : key->parts) {
    const std::string wrapped = "(" + part + "\n)";
    list += (list.empty() ? "" : ", ") + wrapped;
    set += (set.empty() ? "" : " AND ") + wrapped + " IS NOT NULL";
  }
  if (!key->where.empty()) set += " AND (" + key->where + "\n)";
  std::string groups = "SELECT " + list + ", count(*) AS brenquil_n FROM " + QuoteId(table) + " WHERE " + set +
                       " GROUP BY " + list + " HAVING count(*) > 1";
  const std::string count = "SELECT IFNULL(sum(brenquil_n), 0) FROM (" + groups + ")";
  if (!key->unique) {
    // Any row will do; preparing the statement tells whether the table can
    // take the index's expressions at all.
    detail::Statement st(*db.Connection(), count);
    return {};
  }
  return Collect(*db.Connection(), count, "SELECT * FROM (" + groups + ") LIMIT 5",
                 static_cast<int>(key->parts.size()));
}

BlockingRows RowsWithoutParent(Database& db, const std::string& parent, const std::string& child,
                               const std::vector<std::pair<std::string, std::string>>& pairs) {
  if (pairs.empty()) return {};
  std::string set, match, keys;
  for (const auto& [p, c] : pairs) {
    set += (set.empty() ? "" : " AND ") + std::string("brenquil_hijo.") + QuoteId(c) + " IS NOT NULL";
    match += (match.empty() ? "" : " AND ") + std::string("brenquil_padre.") + QuoteId(p) + " = brenquil_hijo." +
             QuoteId(c);
    keys += (keys.empty() ? "" : ", ") + std::string("brenquil_hijo.") + QuoteId(c);
  }
  std::string from = " FROM " + QuoteId(child) + " AS brenquil_hijo WHERE " + set + " AND NOT EXISTS (SELECT 1 FROM " +
                     QuoteId(parent) + " AS brenquil_padre WHERE " + match + ")";
  return Collect(*db.Connection(), "SELECT count(*)" + from, "SELECT " + keys + from + " LIMIT 5");
}

BlockingRows RowsLeftEmpty(Database& db, const std::string& table) {
  detail::Connection& c = *db.Connection();
  std::string keys;
  {
    detail::Statement st(c, "SELECT name FROM pragma_table_info(?) WHERE pk > 0 ORDER BY pk");
    st.Bind(1, table);
    while (st.Step()) keys += (keys.empty() ? "" : ", ") + QuoteId(st.Text(0).value_or(""));
  }
  if (keys.empty()) keys = "rowid";
  const std::string from = " FROM " + QuoteId(table);
  return Collect(c, "SELECT count(*)" + from, "SELECT " + keys + from + " LIMIT 5");
}

std::string DescribeBlockingRows(const BlockingRows& rows) {
  std::string text = std::to_string(rows.count) + (rows.count == 1 ? " fila lo impide" : " filas lo impiden");
  if (!rows.examples.empty()) {
    text += " (claves:";
    for (size_t i = 0; i < rows.examples.size(); ++i) text += (i ? "; " : " ") + rows.examples[i];
    text += ")";
  }
  return text;
}

}  // namespace brenquil
