// Quoting and light tokenising of SQL text: what the engine writes into
// statements and what it reads back out of stored declarations.
#include "engine/sql_text.h"

#include <cctype>

namespace brenquil::detail {

std::string Upper(std::string_view s) {
  std::string out(s);
  for (auto& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

bool IEquals(std::string_view a, std::string_view b) { return Upper(a) == Upper(b); }

bool Contains(std::string_view haystack, std::string_view needle) {
  return haystack.find(needle) != std::string_view::npos;
}

// Skips blanks and SQL comments from `i`.
size_t SkipBlanks(std::string_view sql, size_t i) {
  while (i < sql.size()) {
    if (std::isspace(static_cast<unsigned char>(sql[i]))) {
      ++i;
    } else if (sql.compare(i, 2, "--") == 0) {
      while (i < sql.size() && sql[i] != '\n') ++i;
    } else if (sql.compare(i, 2, "/*") == 0) {
      size_t end = sql.find("*/", i + 2);
      i = end == std::string_view::npos ? sql.size() : end + 2;
    } else {
      break;
    }
  }
  return i;
}

// The token at `i` (a word, a quoted name, or one character); `i` moves past it.
std::string NextToken(std::string_view sql, size_t& i) {
  i = SkipBlanks(sql, i);
  if (i >= sql.size()) return {};
  size_t start = i;
  char c = sql[i];
  if (c == '"' || c == '`' || c == '[' || c == '\'') {
    char close = c == '[' ? ']' : c;
    ++i;
    while (i < sql.size()) {
      if (sql[i] == close) {
        if (close != ']' && i + 1 < sql.size() && sql[i + 1] == close) {
          i += 2;
          continue;
        }
        ++i;
        break;
      }
      ++i;
    }
  } else if (std::isalnum(static_cast<unsigned char>(c)) || c == '_' ||
             static_cast<unsigned char>(c) >= 0x80) {
    while (i < sql.size() && (std::isalnum(static_cast<unsigned char>(sql[i])) || sql[i] == '_' ||
                              static_cast<unsigned char>(sql[i]) >= 0x80 || sql[i] == '$'))
      ++i;
  } else {
    ++i;
  }
  return std::string(sql.substr(start, i - start));
}

// The SELECT of "CREATE VIEW name [(columns)] AS select".
std::string ViewSelect(std::string_view create) {
  size_t i = 0;
  int depth = 0;
  while (i < create.size()) {
    std::string token = NextToken(create, i);
    if (token.empty()) break;
    if (token == "(") ++depth;
    if (token == ")") --depth;
    if (depth == 0 && IEquals(token, "AS")) {
      size_t start = i;
      while (start < create.size() && std::isspace(static_cast<unsigned char>(create[start]))) ++start;
      return std::string(create.substr(start));
    }
  }
  return std::string(create);
}

bool IsSelectText(std::string_view sql) {
  size_t i = 0;
  std::string first;
  do {
    first = NextToken(sql, i);
  } while (first == "(");
  return IEquals(first, "SELECT") || IEquals(first, "WITH") || IEquals(first, "VALUES");
}

bool OnlyBlanksLeft(std::string_view sql) {
  size_t i = 0;
  while (true) {
    i = SkipBlanks(sql, i);
    if (i < sql.size() && sql[i] == ';') {
      ++i;
      continue;
    }
    return i >= sql.size();
  }
}
std::string QuoteId(std::string_view name) {
  std::string out = "\"";
  for (char c : name) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string QuoteLiteral(std::string_view text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') out += '\'';
    out += c;
  }
  return out + "'";
}

bool IsSystemName(std::string_view name) { return name.substr(0, 4) == "MSys"; }

}  // namespace brenquil::detail

namespace brenquil::detail {

std::string NextTokenAt(std::string_view sql) {
  size_t i = 0;
  return NextToken(sql, i);
}

std::string WithObjectName(std::string_view create, const std::string& quoted_name, const std::string& quoted_table) {
  size_t i = 0;
  auto next = [&](size_t& begin) {
    begin = SkipBlanks(create, i);
    i = begin;
    return NextToken(create, i);
  };
  size_t at = 0;
  if (!IEquals(next(at), "CREATE")) return {};
  std::string word = next(at);
  if (IEquals(word, "TEMP") || IEquals(word, "TEMPORARY") || IEquals(word, "UNIQUE")) word = next(at);
  bool index = IEquals(word, "INDEX");
  if (!index && !IEquals(word, "VIEW") && !IEquals(word, "TRIGGER")) return {};
  size_t name_at = 0;
  std::string name = next(name_at);
  if (IEquals(name, "IF")) {
    next(at);  // NOT
    next(at);  // EXISTS
    name = next(name_at);
  }
  size_t name_end = i;
  size_t peek = i;
  size_t dot_at = 0;
  std::string dot = (i = peek, next(dot_at));
  if (dot == ".") {
    next(name_at);
    name_end = i;
  } else {
    i = peek;
  }
  std::string out(create.substr(0, name_at));
  out += quoted_name;
  size_t rest = name_end;
  if (index && !quoted_table.empty()) {
    i = name_end;
    size_t on_at = 0;
    if (IEquals(next(on_at), "ON")) {
      size_t table_at = 0;
      next(table_at);
      size_t table_end = i;
      out += std::string(create.substr(name_end, table_at - name_end)) + quoted_table;
      rest = table_end;
    }
  }
  out += std::string(create.substr(rest));
  return out;
}

std::string Renamed(std::string_view create, const std::string& name, const std::string& table) {
  // The statement with markers where its names stand tells what they are.
  const std::string mark_name = "\x01", mark_table = "\x02";
  std::string marked = WithObjectName(create, mark_name, table.empty() ? std::string() : mark_table);
  if (marked.empty()) return {};
  size_t at = marked.find(mark_name);
  std::string before = std::string(create.substr(at));
  size_t i = 0;
  std::string token = NextToken(before, i);
  bool same_name = Unquote(token) == name;
  bool same_table = true;
  if (!table.empty()) {
    size_t t = marked.find(mark_table);
    // The table's token starts where the marker stands, shifted by the name's change.
    size_t offset = t - (mark_name.size()) + token.size();
    std::string rest = std::string(create.substr(std::min(offset, create.size())));
    size_t k = 0;
    same_table = Unquote(NextToken(rest, k)) == table;
  }
  if (same_name && same_table) return std::string(create);
  return WithObjectName(create, QuoteId(name), table.empty() ? std::string() : QuoteId(table));
}

bool SameDeclaration(std::string_view a, std::string_view b) {
  std::string x = WithObjectName(a, "x", "t");
  std::string y = WithObjectName(b, "x", "t");
  if (x.empty() || y.empty()) return false;
  size_t i = 0, j = 0;
  while (true) {
    std::string s = NextToken(x, i);
    std::string t = NextToken(y, j);
    if (s.empty() || t.empty()) return s.empty() && t.empty();
    if (s[0] == '\'' || t[0] == '\'') {
      if (s != t) return false;
    } else if (!IEquals(Unquote(s), Unquote(t))) {
      return false;
    }
  }
}

std::string Unquote(std::string_view token) {
  if (token.size() < 2) return std::string(token);
  char open = token.front();
  char close = open == '[' ? ']' : open;
  if ((open != '"' && open != '`' && open != '[' && open != '\'') || token.back() != close)
    return std::string(token);
  std::string out;
  for (size_t i = 1; i + 1 < token.size(); ++i) {
    out += token[i];
    if (close != ']' && token[i] == close && i + 2 < token.size() && token[i + 1] == close) ++i;
  }
  return out;
}

}  // namespace brenquil::detail
