// Quoting and light tokenising of SQL text: what the engine writes into
// statements and what it reads back out of stored declarations.
#include "engine/sql_text.h"

#include <cctype>

namespace brenquil::detail {

namespace {
// SQLite's own folding: ASCII letters only, whatever the program's locale.
char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
}  // namespace

std::string Upper(std::string_view s) {
  std::string out(s);
  for (auto& c : out) c = AsciiUpper(c);
  return out;
}

bool IEquals(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i] && AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  return true;
}

bool SameNames(const std::vector<std::string>& a, const std::vector<std::string>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (!IEquals(a[i], b[i])) return false;
  return true;
}

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
size_t TokenEnd(std::string_view sql, size_t i) {
  if (i >= sql.size()) return i;
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
  } else if ((c == 'x' || c == 'X') && i + 1 < sql.size() && sql[i + 1] == '\'') {
    // A blob literal, x'...', is one token, as SQLite reads it.
    i = sql.find('\'', i + 2);
    i = i == std::string_view::npos ? sql.size() : i + 1;
  } else if (std::isdigit(static_cast<unsigned char>(c)) ||
             (c == '.' && i + 1 < sql.size() && std::isdigit(static_cast<unsigned char>(sql[i + 1])))) {
    // A number is one token: 12, 1.5, .5, 1e-3, 0x1F.
    auto digit = [&](size_t at) { return at < sql.size() && std::isdigit(static_cast<unsigned char>(sql[at])); };
    if (c == '0' && i + 1 < sql.size() && (sql[i + 1] == 'x' || sql[i + 1] == 'X')) {
      i += 2;
      while (i < sql.size() && std::isxdigit(static_cast<unsigned char>(sql[i]))) ++i;
    } else {
      while (digit(i)) ++i;
      if (i < sql.size() && sql[i] == '.') {
        ++i;
        while (digit(i)) ++i;
      }
      if (i < sql.size() && (sql[i] == 'e' || sql[i] == 'E')) {
        size_t at = i + 1;
        if (at < sql.size() && (sql[at] == '+' || sql[at] == '-')) ++at;
        if (digit(at)) {
          i = at;
          while (digit(i)) ++i;
        }
      }
    }
  } else if (std::isalnum(static_cast<unsigned char>(c)) || c == '_' ||
             static_cast<unsigned char>(c) >= 0x80) {
    while (i < sql.size() && (std::isalnum(static_cast<unsigned char>(sql[i])) || sql[i] == '_' ||
                              static_cast<unsigned char>(sql[i]) >= 0x80 || sql[i] == '$'))
      ++i;
  } else {
    ++i;
  }
  return i;
}

std::string NextToken(std::string_view sql, size_t& i) {
  i = SkipBlanks(sql, i);
  const size_t start = i;
  i = TokenEnd(sql, i);
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

std::string_view EngineTableName(std::string_view name) {
  static constexpr std::string_view kEngineTables[] = {"MSysFields", "MSysIndexes", "MSysRelations",
                                                        "MSysRelationFields", "MSysQueries"};
  for (std::string_view table : kEngineTables)
    if (IEquals(table, name)) return table;
  return {};
}

bool IsEngineTableName(std::string_view name) { return !EngineTableName(name).empty(); }

}  // namespace brenquil::detail

namespace brenquil::detail {

std::string NextTokenAt(std::string_view sql) {
  size_t i = 0;
  return NextToken(sql, i);
}

namespace {

// Where a CREATE VIEW, INDEX or TRIGGER statement names its object (and, for
// an index, its table): [begin, end) of each token; empty when not such a statement.
struct ObjectNames {
  bool found = false;
  size_t name_begin = 0, name_end = 0;
  size_t table_begin = 0, table_end = 0;  // an index's table; both 0 otherwise
};

ObjectNames FindObjectNames(std::string_view create) {
  ObjectNames names;
  size_t i = 0;
  auto next = [&](size_t& begin) {
    begin = SkipBlanks(create, i);
    i = begin;
    return NextToken(create, i);
  };
  size_t at = 0;
  if (!IEquals(next(at), "CREATE")) return names;
  std::string word = next(at);
  if (IEquals(word, "TEMP") || IEquals(word, "TEMPORARY") || IEquals(word, "UNIQUE")) word = next(at);
  bool index = IEquals(word, "INDEX");
  if (!index && !IEquals(word, "VIEW") && !IEquals(word, "TRIGGER")) return names;
  if (IEquals(next(names.name_begin), "IF")) {
    next(at);  // NOT
    next(at);  // EXISTS
    next(names.name_begin);
  }
  names.name_end = i;
  if (next(at) == ".") {  // schema.name: the name is the part after the dot
    next(names.name_begin);
    names.name_end = i;
  }
  i = names.name_end;
  if (index && IEquals(next(at), "ON")) {
    next(names.table_begin);
    names.table_end = i;
  }
  names.found = true;
  return names;
}

}  // namespace

std::string WithObjectName(std::string_view create, const std::string& quoted_name, const std::string& quoted_table) {
  ObjectNames names = FindObjectNames(create);
  if (!names.found) return {};
  std::string out(create.substr(0, names.name_begin));
  out += quoted_name;
  size_t rest = names.name_end;
  if (!quoted_table.empty() && names.table_end > 0) {
    out += std::string(create.substr(names.name_end, names.table_begin - names.name_end)) + quoted_table;
    rest = names.table_end;
  }
  out += std::string(create.substr(rest));
  return out;
}

std::string Renamed(std::string_view create, const std::string& name, const std::string& table) {
  ObjectNames names = FindObjectNames(create);
  if (!names.found) return {};
  auto token = [&](size_t begin, size_t end) { return Unquote(create.substr(begin, end - begin)); };
  bool same_name = token(names.name_begin, names.name_end) == name;
  bool same_table = table.empty() || names.table_end == 0 || token(names.table_begin, names.table_end) == table;
  if (same_name && same_table) return std::string(create);
  return WithObjectName(create, QuoteId(name), table.empty() ? std::string() : QuoteId(table));
}

bool SameDeclaration(std::string_view a, std::string_view b) {
  // The same text says the same, when it is such a statement at all.
  if (a == b) return FindObjectNames(a).found;
  std::string x = WithObjectName(a, "x", "t");
  std::string y = WithObjectName(b, "x", "t");
  if (x.empty() || y.empty()) return false;
  return SameTokens(x, y);
}

bool SameTokens(std::string_view x, std::string_view y) {
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
