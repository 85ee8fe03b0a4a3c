// Reading a CREATE TABLE text into its columns and clauses with their places,
// and cutting clauses out of it. The grammar followed is SQLite's own
// (column-def, column-constraint, table-constraint, foreign-key-clause).
#include "engine/table_declaration.h"

#include <algorithm>
#include <string_view>

#include "engine/sql_text.h"

namespace brenquil::detail {

namespace {

// A token of the text being read: a view into it.
struct Token {
  std::string_view text;
  size_t begin = 0;
  size_t end = 0;
};

std::vector<Token> Tokens(std::string_view sql) {
  std::vector<Token> out;
  size_t i = 0;
  while (true) {
    const size_t begin = SkipBlanks(sql, i);
    i = TokenEnd(sql, begin);
    if (i == begin) break;
    out.push_back(Token{sql.substr(begin, i - begin), begin, i});
  }
  return out;
}

class Reader {
 public:
  Reader(const std::vector<Token>& tokens, size_t from, size_t to) : t_(tokens), i_(from), end_(to) {}

  bool AtEnd() const { return i_ >= end_; }
  const Token& Peek(size_t ahead = 0) const {
    static const Token kNone;
    return i_ + ahead < end_ ? t_[i_ + ahead] : kNone;
  }
  // The words are SQL keywords: most tokens differ from them in length.
  bool Is(std::string_view word, size_t ahead = 0) const {
    const std::string_view text = Peek(ahead).text;
    return text.size() == word.size() && IEquals(text, word);
  }
  bool Take(std::string_view word) {
    if (!Is(word)) return false;
    ++i_;
    return true;
  }
  const Token& Next() { return t_[i_++]; }
  size_t Position() const { return i_; }
  // A parenthesised group starting here; its inner tokens' names are returned
  // when `names` is given (one per comma-separated item: its first token).
  bool Group(std::vector<std::string>* names = nullptr) {
    if (!Is("(")) return false;
    int depth = 0;
    bool item_start = true;
    while (!AtEnd()) {
      const Token& token = Next();
      if (token.text == "(") {
        ++depth;
        if (depth == 1) item_start = true;
        continue;
      }
      if (token.text == ")") {
        if (--depth == 0) return true;
        continue;
      }
      if (depth == 1 && token.text == ",") {
        item_start = true;
        continue;
      }
      if (depth == 1 && item_start && names) names->push_back(Unquote(token.text));
      item_start = false;
    }
    return false;
  }
  void ConflictClause() {
    if (Is("ON") && Is("CONFLICT", 1)) {
      i_ += 2;
      if (!AtEnd()) ++i_;
    }
  }
  void ForeignKeyTail(Clause& clause) {
    // REFERENCES parent [(columns)] {ON DELETE|UPDATE action | MATCH name}
    // [[NOT] DEFERRABLE [INITIALLY DEFERRED|IMMEDIATE]]
    if (!AtEnd()) clause.parent = Unquote(Next().text);
    Group(&clause.parent_columns);
    while (!AtEnd()) {
      if (Is("ON") && (Is("DELETE", 1) || Is("UPDATE", 1))) {
        i_ += 2;
        if (Take("SET")) {
          if (!AtEnd()) ++i_;
        } else if (Take("NO")) {
          Take("ACTION");
        } else if (!AtEnd()) {
          ++i_;
        }
      } else if (Take("MATCH")) {
        if (!AtEnd()) ++i_;
      } else if (Is("NOT") && Is("DEFERRABLE", 1)) {
        i_ += 2;
        if (Take("INITIALLY") && !AtEnd()) ++i_;
      } else if (Take("DEFERRABLE")) {
        if (Take("INITIALLY")) clause.deferred = Take("DEFERRED");
      } else {
        break;
      }
    }
  }

 private:
  const std::vector<Token>& t_;
  size_t i_;
  size_t end_;
};

bool StartsColumnClause(const Reader& r) {
  static constexpr std::string_view kWords[] = {"CONSTRAINT", "PRIMARY", "NOT",     "NULL",
                                                "UNIQUE",     "CHECK",   "DEFAULT", "COLLATE",
                                                "REFERENCES", "GENERATED", "AS"};
  for (std::string_view word : kWords)
    if (r.Is(word)) return true;
  return false;
}

// One column clause at the reader's place; false when it is not one.
bool ColumnClause(Reader& r, const std::vector<Token>& t, Clause& clause) {
  size_t first = r.Position();
  if (r.Take("CONSTRAINT") && !r.AtEnd()) r.Next();
  if (r.Take("PRIMARY")) {
    if (!r.Take("KEY")) return false;
    clause.kind = ClauseKind::kPrimaryKey;
    if (!r.Take("ASC")) r.Take("DESC");
    r.ConflictClause();
    clause.autoincrement = r.Take("AUTOINCREMENT");
  } else if (r.Take("NOT")) {
    if (!r.Take("NULL")) return false;
    clause.kind = ClauseKind::kNotNull;
    r.ConflictClause();
  } else if (r.Take("NULL")) {
    clause.kind = ClauseKind::kNull;
    r.ConflictClause();
  } else if (r.Take("UNIQUE")) {
    clause.kind = ClauseKind::kUnique;
    r.ConflictClause();
  } else if (r.Take("CHECK")) {
    clause.kind = ClauseKind::kCheck;
    if (!r.Group()) return false;
  } else if (r.Take("DEFAULT")) {
    clause.kind = ClauseKind::kDefault;
    if (!r.Group()) {
      if (r.Is("+") || r.Is("-")) r.Next();
      if (r.AtEnd()) return false;
      r.Next();
    }
  } else if (r.Take("COLLATE")) {
    clause.kind = ClauseKind::kCollate;
    if (r.AtEnd()) return false;
    r.Next();
  } else if (r.Take("REFERENCES")) {
    clause.kind = ClauseKind::kForeignKey;
    r.ForeignKeyTail(clause);
  } else if (r.Is("GENERATED") || r.Is("AS")) {
    if (r.Take("GENERATED") && !r.Take("ALWAYS")) return false;
    if (!r.Take("AS") || !r.Group()) return false;
    clause.kind = ClauseKind::kGenerated;
    if (!r.Take("STORED")) r.Take("VIRTUAL");
  } else {
    return false;
  }
  clause.span = Span{t[first].begin, t[r.Position() - 1].end};
  return true;
}

bool TableClause(Reader& r, const std::vector<Token>& t, Clause& clause) {
  size_t first = r.Position();
  if (r.Take("CONSTRAINT") && !r.AtEnd()) r.Next();
  if (r.Take("PRIMARY")) {
    if (!r.Take("KEY") || !r.Group(&clause.columns)) return false;
    clause.kind = ClauseKind::kPrimaryKey;
    r.ConflictClause();
    clause.autoincrement = false;
  } else if (r.Take("UNIQUE")) {
    if (!r.Group(&clause.columns)) return false;
    clause.kind = ClauseKind::kUnique;
    r.ConflictClause();
  } else if (r.Take("CHECK")) {
    if (!r.Group()) return false;
    clause.kind = ClauseKind::kCheck;
  } else if (r.Take("FOREIGN")) {
    if (!r.Take("KEY") || !r.Group(&clause.columns) || !r.Take("REFERENCES")) return false;
    clause.kind = ClauseKind::kForeignKey;
    r.ForeignKeyTail(clause);
  } else {
    return false;
  }
  if (!r.AtEnd()) return false;
  clause.span = Span{t[first].begin, t[r.Position() - 1].end};
  return true;
}

bool IsTableClauseStart(const Reader& r) {
  size_t k = r.Is("CONSTRAINT") ? 2 : 0;
  return r.Is("PRIMARY", k) || r.Is("UNIQUE", k) || r.Is("CHECK", k) || r.Is("FOREIGN", k);
}

}  // namespace

std::vector<const Clause*> TableDeclaration::KeyClauses(ClauseKind kind) const {
  std::vector<const Clause*> out;
  for (const auto& column : columns)
    for (const auto& clause : column.clauses)
      if (clause.kind == kind) out.push_back(&clause);
  for (const auto& clause : table_clauses)
    if (clause.kind == kind) out.push_back(&clause);
  return out;
}

std::optional<TableDeclaration> ParseTableDeclaration(std::string_view create) {
  TableDeclaration d;
  d.text = std::string(create);
  std::vector<Token> t = Tokens(create);
  Reader head(t, 0, t.size());
  if (!head.Take("CREATE")) return std::nullopt;
  if (!head.Take("TEMP")) head.Take("TEMPORARY");
  if (!head.Take("TABLE")) return std::nullopt;
  if (head.Is("IF")) {
    if (!head.Take("IF") || !head.Take("NOT") || !head.Take("EXISTS")) return std::nullopt;
  }
  if (head.AtEnd()) return std::nullopt;
  size_t name_first = head.Position();
  head.Next();
  if (head.Is(".")) {
    head.Next();
    if (head.AtEnd()) return std::nullopt;
    name_first = head.Position();
    head.Next();
  }
  d.name = Span{t[name_first].begin, t[name_first].end};
  if (!head.Is("(")) return std::nullopt;  // CREATE TABLE ... AS SELECT
  size_t open = head.Position();
  // The body's elements, split at commas of depth one.
  std::vector<std::pair<size_t, size_t>> elements;
  int depth = 0;
  size_t close = t.size();
  size_t start = open + 1;
  for (size_t k = open; k < t.size(); ++k) {
    if (t[k].text == "(") ++depth;
    if (t[k].text == ")" && --depth == 0) {
      close = k;
      break;
    }
    if (depth == 1 && t[k].text == ",") {
      elements.emplace_back(start, k);
      start = k + 1;
    }
  }
  if (close == t.size()) return std::nullopt;
  elements.emplace_back(start, close);
  bool in_constraints = false;
  for (auto [from, to] : elements) {
    if (from >= to) return std::nullopt;
    d.elements.push_back(Span{t[from].begin, t[to - 1].end});
    Reader r(t, from, to);
    if (in_constraints || IsTableClauseStart(r)) {
      in_constraints = true;
      Clause clause{};
      if (!TableClause(r, t, clause)) return std::nullopt;
      d.table_clauses.push_back(std::move(clause));
      continue;
    }
    ColumnDeclaration column;
    column.name = Unquote(r.Next().text);
    column.span = d.elements.back();
    // The type: every token up to the first clause, parentheses included.
    while (!r.AtEnd() && !StartsColumnClause(r)) {
      if (r.Is("(")) {
        if (!r.Group()) return std::nullopt;
      } else {
        r.Next();
      }
    }
    while (!r.AtEnd()) {
      Clause clause{};
      if (!ColumnClause(r, t, clause)) return std::nullopt;
      clause.columns = {column.name};
      column.clauses.push_back(std::move(clause));
    }
    d.columns.push_back(std::move(column));
  }
  // Table options: WITHOUT ROWID, STRICT, separated by commas.
  Reader tail(t, close + 1, t.size());
  while (!tail.AtEnd()) {
    if (tail.Take("WITHOUT")) {
      if (!tail.Take("ROWID")) return std::nullopt;
      d.without_rowid = true;
    } else if (tail.Take("STRICT")) {
      d.strict = true;
    } else if (!tail.Take(",") && !tail.Take(";")) {
      return std::nullopt;
    }
  }
  return d;
}

std::string WithoutClauses(const TableDeclaration& d, const std::vector<const Clause*>& clauses) {
  std::vector<Span> cuts;
  for (const Clause* clause : clauses) {
    bool table_level = false;
    for (const auto& c : d.table_clauses) table_level = table_level || &c == clause;
    Span cut = clause->span;
    if (table_level) {
      // From the comma that ends the element before it.
      size_t k = cut.begin;
      while (k > 0 && d.text[k - 1] != ',') --k;
      cut.begin = k > 0 ? k - 1 : k;
    } else {
      while (cut.begin > 0 && (d.text[cut.begin - 1] == ' ' || d.text[cut.begin - 1] == '\t' ||
                               d.text[cut.begin - 1] == '\n' || d.text[cut.begin - 1] == '\r'))
        --cut.begin;
    }
    cuts.push_back(cut);
  }
  std::sort(cuts.begin(), cuts.end(), [](const Span& a, const Span& b) { return a.begin > b.begin; });
  std::string out = d.text;
  size_t limit = out.size();
  for (const Span& cut : cuts) {
    if (cut.end > limit) continue;  // overlaps a cut already made
    out.erase(cut.begin, cut.end - cut.begin);
    limit = cut.begin;
  }
  return out;
}

std::string WithName(std::string_view create, const TableDeclaration& d, const std::string& quoted_name) {
  std::string out(create);
  return out.replace(d.name.begin, d.name.end - d.name.begin, quoted_name);
}

}  // namespace brenquil::detail
