// The Jet SQL reader: a tokeniser of Jet's lexical rules ([names], "strings"
// and 'strings' with doubled quotes, #dates#, ! between names) and a
// recursive-descent parser with the precedence of Jet's expression service.
#include <algorithm>
#include <cctype>
#include <set>
#include <utility>

#include "engine/sql_text.h"
#include "jet/jet_sql_syntax.h"

namespace brenquil::jet::sql {
namespace {

enum class TokenKind { kWord, kQuotedName, kString, kNumber, kDate, kSymbol, kEnd };

struct Token {
  TokenKind kind;
  std::string text;  // a word as written, a name or string without its quotes
  size_t at;         // where it starts in the text
};

bool IsNameByte(unsigned char c) { return std::isalnum(c) || c == '_' || c >= 0x80; }

std::vector<Token> Tokenise(const std::string& s) {
  std::vector<Token> tokens;
  size_t i = 0;
  auto fail = [&](const std::string& what, size_t at) {
    throw SyntaxError(what + " (posición " + std::to_string(at + 1) + ")");
  };
  while (true) {
    while (i < s.size() && (std::isspace(static_cast<unsigned char>(s[i])) || s[i] == '\0')) ++i;
    if (i >= s.size()) break;
    const size_t start = i;
    const char c = s[i];
    if (c == '[' || c == '`') {
      const char close = c == '[' ? ']' : '`';
      const size_t end = s.find(close, i + 1);
      if (end == std::string::npos) fail("falta el cierre de un nombre", start);
      tokens.push_back({TokenKind::kQuotedName, s.substr(i + 1, end - i - 1), start});
      i = end + 1;
    } else if (c == '"' || c == '\'') {
      std::string value;
      ++i;
      while (true) {
        if (i >= s.size()) fail("falta el cierre de un texto", start);
        if (s[i] == c) {
          if (i + 1 < s.size() && s[i + 1] == c) {
            value += c;
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        value += s[i++];
      }
      tokens.push_back({TokenKind::kString, value, start});
    } else if (c == '#') {
      const size_t end = s.find('#', i + 1);
      if (end == std::string::npos) fail("falta el cierre de una fecha", start);
      tokens.push_back({TokenKind::kDate, s.substr(i + 1, end - i - 1), start});
      i = end + 1;
    } else if (std::isdigit(static_cast<unsigned char>(c)) ||
               (c == '.' && i + 1 < s.size() &&
                std::isdigit(static_cast<unsigned char>(s[i + 1])) &&
                (tokens.empty() || tokens.back().kind == TokenKind::kSymbol))) {
      while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i;
      if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i;
      }
      if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
        if (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) {
          i = j;
          while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i;
        }
      }
      if (i < s.size() && IsNameByte(static_cast<unsigned char>(s[i])))
        fail("número mal escrito", start);
      tokens.push_back({TokenKind::kNumber, s.substr(start, i - start), start});
    } else if (IsNameByte(static_cast<unsigned char>(c))) {
      while (i < s.size() && IsNameByte(static_cast<unsigned char>(s[i]))) ++i;
      if (i < s.size() && s[i] == '$') ++i;  // Left$, Mid$: the text-only forms of functions
      tokens.push_back({TokenKind::kWord, s.substr(start, i - start), start});
    } else {
      std::string symbol(1, c);
      if ((c == '<' && i + 1 < s.size() && (s[i + 1] == '=' || s[i + 1] == '>')) ||
          (c == '>' && i + 1 < s.size() && s[i + 1] == '='))
        symbol += s[i + 1];
      if (std::string("(),.!;*+-/\\^&=<>?").find(c) == std::string::npos)
        fail("carácter inesperado '" + symbol + "'", start);
      tokens.push_back({TokenKind::kSymbol, symbol, start});
      i += symbol.size();
    }
  }
  tokens.push_back({TokenKind::kEnd, "", s.size()});
  return tokens;
}

// Words that end an expression or a FROM item and so cannot be a bare alias.
const std::set<std::string>& Reserved() {
  static const std::set<std::string> words = {
      "AND",   "AS",    "BETWEEN", "BY",    "DISTINCT", "DISTINCTROW", "EQV",    "EXISTS",
      "FROM",  "GROUP", "HAVING",  "IMP",   "IN",       "INNER",       "INTO",   "IS",
      "JOIN",  "LEFT",  "LIKE",    "MOD",   "NOT",      "NULL",        "ON",     "OR",
      "ORDER", "OUTER", "PIVOT",   "RIGHT", "SELECT",   "TOP",         "UNION",  "WHERE",
      "WITH",  "XOR",   "ALL",     "ASC",   "DESC",     "TABLE",       "PERCENT"};
  return words;
}

class Parser {
 public:
  explicit Parser(const std::string& text) : tokens_(Tokenise(text)) {}

  Query ParseStatement() {
    Query query;
    if (IsWord("PARAMETERS")) ParseParameters(query);
    ParseQueryBody(query);
    if (IsWord("WITH")) {
      Next();
      ExpectWord("OWNERACCESS");
      ExpectWord("OPTION");
      query.owner_access = true;
    }
    while (IsSymbol(";")) Next();
    if (Peek().kind != TokenKind::kEnd) Fail("texto de más tras el final de la consulta");
    return query;
  }

 private:
  const Token& Peek(size_t ahead = 0) const {
    return tokens_[std::min(pos_ + ahead, tokens_.size() - 1)];
  }
  const Token& Next() {
    const Token& t = Peek();
    if (pos_ < tokens_.size() - 1) ++pos_;
    return t;
  }
  bool IsWord(const char* word, size_t ahead = 0) const {
    const Token& t = Peek(ahead);
    return t.kind == TokenKind::kWord && detail::IEquals(t.text, word);
  }
  bool IsSymbol(const char* symbol, size_t ahead = 0) const {
    const Token& t = Peek(ahead);
    return t.kind == TokenKind::kSymbol && t.text == symbol;
  }
  [[noreturn]] void Fail(const std::string& what) const {
    const Token& t = Peek();
    std::string near = t.kind == TokenKind::kEnd ? "al final" : "cerca de '" + t.text + "'";
    throw SyntaxError(what + ", " + near + " (posición " + std::to_string(t.at + 1) + ")");
  }
  void ExpectWord(const char* word) {
    if (!IsWord(word)) Fail(std::string("se esperaba ") + word);
    Next();
  }
  void ExpectSymbol(const char* symbol) {
    if (!IsSymbol(symbol)) Fail(std::string("se esperaba '") + symbol + "'");
    Next();
  }
  bool IsName(size_t ahead = 0) const {
    const Token& t = Peek(ahead);
    return t.kind == TokenKind::kQuotedName ||
           (t.kind == TokenKind::kWord && !Reserved().count(detail::Upper(t.text)));
  }
  std::string ExpectName(const char* what) {
    if (!IsName()) Fail(std::string("se esperaba ") + what);
    return Next().text;
  }

  // Counts the parser's own nesting (parentheses, subqueries, joins).
  struct Nest {
    explicit Nest(Parser& p) : parser(p) {
      if (++parser.nesting_ > kMaxDepth) parser.Fail("la consulta anida demasiadas expresiones");
    }
    ~Nest() { --parser.nesting_; }
    Parser& parser;
  };

  ExprPtr Deep(ExprPtr e) {
    for (const auto& a : e->args) e->depth = std::max(e->depth, a->depth + 1);
    if (e->subquery) e->depth = std::max(e->depth, e->subquery->depth + 1);
    if (e->depth > kMaxDepth) Fail("la consulta anida demasiadas expresiones");
    return e;
  }

  void Deepen(int& depth, int below) {
    depth = std::max(depth, below + 1);
    if (depth > kMaxDepth) Fail("la consulta anida demasiadas expresiones");
  }

  void ParseParameters(Query& query) {
    Next();
    while (true) {
      Parameter p;
      p.name = ExpectName("el nombre de un parámetro");
      while (!IsSymbol(",") && !IsSymbol(";") && Peek().kind != TokenKind::kEnd) {
        const Token& t = Next();
        if (!p.type.empty() && t.text != ")" && p.type.back() != '(') p.type += ' ';
        p.type += t.text;
      }
      query.parameters.push_back(std::move(p));
      if (IsSymbol(",")) {
        Next();
        continue;
      }
      ExpectSymbol(";");
      return;
    }
  }

  // SELECTs joined by UNION, then the ORDER BY of the whole.
  void ParseQueryBody(Query& query) {
    Nest nest(*this);
    query.parts.push_back(ParsePart());
    while (IsWord("UNION")) {
      Next();
      bool all = false;
      if (IsWord("ALL")) {
        Next();
        all = true;
      }
      query.union_all.push_back(all);
      query.parts.push_back(ParsePart());
    }
    if (IsWord("ORDER")) {
      Next();
      ExpectWord("BY");
      do {
        OrderItem item;
        item.expr = ParseExpr();
        if (IsWord("DESC")) {
          Next();
          item.descending = true;
        } else if (IsWord("ASC")) {
          Next();
        }
        query.order_by.push_back(std::move(item));
      } while (Accept(","));
    }
    for (const Select& s : query.parts) {
      for (const auto& item : s.items) Deepen(query.depth, item.expr->depth);
      for (const auto& source : s.from) Deepen(query.depth, source->depth);
      for (const auto& g : s.group_by) Deepen(query.depth, g->depth);
      if (s.where) Deepen(query.depth, s.where->depth);
      if (s.having) Deepen(query.depth, s.having->depth);
    }
    for (const auto& o : query.order_by) Deepen(query.depth, o.expr->depth);
  }

  bool Accept(const char* symbol) {
    if (!IsSymbol(symbol)) return false;
    Next();
    return true;
  }

  Select ParsePart() {
    if (IsSymbol("(") && IsWord("SELECT", 1)) {
      Next();
      Select inner = ParseSelect();
      ExpectSymbol(")");
      return inner;
    }
    if (IsWord("TABLE")) {  // TABLE t is SELECT * FROM t
      Next();
      Select select;
      auto star = std::make_unique<Expr>();
      star->kind = ExprKind::kStar;
      select.items.push_back({std::move(star), {}});
      auto source = std::make_unique<Source>();
      source->name = ExpectName("el nombre de una tabla");
      select.from.push_back(std::move(source));
      return select;
    }
    if (!IsWord("SELECT")) Fail("se esperaba SELECT");
    return ParseSelect();
  }

  Select ParseSelect() {
    ExpectWord("SELECT");
    Select select;
    if (IsWord("DISTINCT")) {
      Next();
      select.quantifier = Select::Quantifier::kDistinct;
    } else if (IsWord("DISTINCTROW")) {
      Next();
      select.quantifier = Select::Quantifier::kDistinctRow;
    } else if (IsWord("ALL")) {
      Next();
    }
    if (IsWord("TOP")) {
      Next();
      if (Peek().kind != TokenKind::kNumber) Fail("se esperaba el número de TOP");
      select.top = Next().text;
      if (IsWord("PERCENT")) {
        Next();
        select.top_percent = true;
      }
    }
    do {
      SelectItem item;
      item.expr = ParseExpr();
      if (IsWord("AS")) {
        Next();
        item.alias = ExpectName("un alias");
      }
      select.items.push_back(std::move(item));
    } while (Accept(","));
    if (IsWord("INTO")) {
      Next();
      select.into = ExpectName("el nombre de la tabla de destino");
      if (IsWord("IN")) SkipInDatabase();
    }
    if (IsWord("FROM")) {
      Next();
      do select.from.push_back(ParseJoined());
      while (Accept(","));
      if (IsWord("IN")) {
        Next();
        if (Peek().kind != TokenKind::kString) Fail("se esperaba el nombre de un archivo");
        select.from_database = Next().text;
        if (Peek().kind == TokenKind::kQuotedName) Next();
      }
    }
    if (IsWord("WHERE")) {
      Next();
      select.where = ParseExpr();
    }
    if (IsWord("GROUP")) {
      Next();
      ExpectWord("BY");
      do select.group_by.push_back(ParseExpr());
      while (Accept(","));
    }
    if (IsWord("HAVING")) {
      Next();
      select.having = ParseExpr();
    }
    return select;
  }

  void SkipInDatabase() {
    Next();
    if (Peek().kind != TokenKind::kString) Fail("se esperaba el nombre de un archivo");
    Next();
    if (Peek().kind == TokenKind::kQuotedName) Next();
  }

  std::unique_ptr<Source> ParseJoined() {
    std::unique_ptr<Source> left = ParseSourceItem();
    while (true) {
      JoinKind kind;
      if (IsWord("INNER")) {
        kind = JoinKind::kInner;
      } else if (IsWord("LEFT")) {
        kind = JoinKind::kLeft;
      } else if (IsWord("RIGHT")) {
        kind = JoinKind::kRight;
      } else {
        return left;
      }
      Next();
      if (IsWord("OUTER")) Next();
      ExpectWord("JOIN");
      auto join = std::make_unique<Source>();
      join->kind = Source::Kind::kJoin;
      join->join = kind;
      join->left = std::move(left);
      join->right = ParseSourceItem();
      ExpectWord("ON");
      join->on = ParseExpr();
      Deepen(join->depth, join->left->depth);
      Deepen(join->depth, join->right->depth);
      Deepen(join->depth, join->on->depth);
      left = std::move(join);
    }
  }

  std::string ParseAlias() {
    if (IsWord("AS")) {
      Next();
      return ExpectName("un alias");
    }
    if (IsName()) return Next().text;
    return {};
  }

  std::unique_ptr<Source> ParseSourceItem() {
    Nest nest(*this);
    if (IsSymbol("(")) {
      Next();
      if (IsWord("SELECT")) {
        auto source = std::make_unique<Source>();
        source->kind = Source::Kind::kDerived;
        source->derived = std::make_unique<Query>();
        ParseQueryBody(*source->derived);
        ExpectSymbol(")");
        source->alias = ParseAlias();
        Deepen(source->depth, source->derived->depth);
        return source;
      }
      std::unique_ptr<Source> inner = ParseJoined();
      ExpectSymbol(")");
      return inner;
    }
    const Token& t = Peek();
    // Jet's own way of writing a derived table: [SELECT ...]. AS alias
    if (t.kind == TokenKind::kQuotedName && IsSymbol(".", 1) &&
        detail::Upper(detail::NextTokenAt(t.text)) == "SELECT") {
      auto source = std::make_unique<Source>();
      source->kind = Source::Kind::kDerived;
      Parser inner(t.text);
      source->derived = std::make_unique<Query>();
      inner.ParseQueryBody(*source->derived);
      if (inner.Peek().kind != TokenKind::kEnd) inner.Fail("texto de más en una subconsulta");
      Next();
      Next();
      source->alias = ParseAlias();
      Deepen(source->depth, source->derived->depth);
      return source;
    }
    auto source = std::make_unique<Source>();
    source->name = ExpectName("el nombre de una tabla o consulta");
    while (IsSymbol(".") &&
           (Peek(1).kind == TokenKind::kWord || Peek(1).kind == TokenKind::kQuotedName)) {
      // a qualified table name: kept whole, the translator refuses it
      Next();
      source->name += "." + Next().text;
      source->database = "?";
    }
    if (IsWord("IN") && Peek(1).kind == TokenKind::kString) {
      Next();
      source->database = Next().text;
      if (Peek().kind == TokenKind::kQuotedName) Next();
    }
    source->alias = ParseAlias();
    return source;
  }

  // ---- Expressions, loosest first.

  ExprPtr Binary(std::string op, ExprPtr a, ExprPtr b) {
    auto e = std::make_unique<Expr>();
    e->kind = ExprKind::kBinary;
    e->op = std::move(op);
    e->args.push_back(std::move(a));
    e->args.push_back(std::move(b));
    return Deep(std::move(e));
  }

 public:
  ExprPtr ParseExpr() {
    Nest nest(*this);
    return ParseImp();
  }

 private:
  ExprPtr ParseWordOps(ExprPtr (Parser::*next)(), const char* word) {
    ExprPtr left = (this->*next)();
    while (IsWord(word)) {
      Next();
      left = Binary(word, std::move(left), (this->*next)());
    }
    return left;
  }
  ExprPtr ParseImp() { return ParseWordOps(&Parser::ParseEqv, "IMP"); }
  ExprPtr ParseEqv() { return ParseWordOps(&Parser::ParseXor, "EQV"); }
  ExprPtr ParseXor() { return ParseWordOps(&Parser::ParseOr, "XOR"); }
  ExprPtr ParseOr() { return ParseWordOps(&Parser::ParseAnd, "OR"); }
  ExprPtr ParseAnd() { return ParseWordOps(&Parser::ParseNot, "AND"); }

  ExprPtr ParseNot() {
    if (IsWord("NOT") && !IsWord("EXISTS", 1)) {
      Next();
      auto e = std::make_unique<Expr>();
      e->kind = ExprKind::kUnary;
      e->op = "NOT";
      e->args.push_back(ParseNot());
      return Deep(std::move(e));
    }
    return ParseComparison();
  }

  ExprPtr ParseComparison() {
    ExprPtr left = ParseConcat();
    while (true) {
      const Token& t = Peek();
      if (t.kind == TokenKind::kSymbol && (t.text == "=" || t.text == "<>" || t.text == "<" ||
                                           t.text == ">" || t.text == "<=" || t.text == ">=")) {
        std::string op = Next().text;
        left = Binary(op, std::move(left), ParseConcat());
        continue;
      }
      if (IsWord("IS")) {
        Next();
        const bool is_not = IsWord("NOT");
        if (is_not) Next();
        ExpectWord("NULL");
        left = Deep(Predicate(ExprKind::kIsNull, is_not, std::move(left)));
        continue;
      }
      const bool negated = IsWord("NOT");
      const size_t ahead = negated ? 1 : 0;
      ExprKind kind;
      if (IsWord("LIKE", ahead)) {
        kind = ExprKind::kLike;
      } else if (IsWord("BETWEEN", ahead)) {
        kind = ExprKind::kBetween;
      } else if (IsWord("IN", ahead)) {
        kind = ExprKind::kInList;
      } else {
        return left;
      }
      if (negated) Next();
      Next();
      ExprPtr e = Predicate(kind, negated, std::move(left));
      if (kind == ExprKind::kInList) {
        ExpectSymbol("(");
        if (IsWord("SELECT")) {
          e->kind = ExprKind::kInQuery;
          e->subquery = std::make_unique<Query>();
          ParseQueryBody(*e->subquery);
        } else {
          do e->args.push_back(ParseExpr());
          while (Accept(","));
        }
        ExpectSymbol(")");
      } else {
        e->args.push_back(ParseConcat());
        if (kind == ExprKind::kBetween) {
          ExpectWord("AND");
          e->args.push_back(ParseConcat());
        }
      }
      left = Deep(std::move(e));
    }
  }

  // A test on `left`: Is Null, Like, Between, In.
  static ExprPtr Predicate(ExprKind kind, bool negated, ExprPtr left) {
    auto e = std::make_unique<Expr>();
    e->kind = kind;
    e->negated = negated;
    e->args.push_back(std::move(left));
    return e;
  }

  ExprPtr ParseSymbolOps(ExprPtr (Parser::*next)(), std::initializer_list<const char*> ops) {
    ExprPtr left = (this->*next)();
    while (true) {
      const char* found = nullptr;
      for (const char* op : ops) {
        if (IsSymbol(op) || IsWord(op)) found = op;
      }
      if (!found) return left;
      Next();
      left = Binary(found, std::move(left), (this->*next)());
    }
  }
  ExprPtr ParseConcat() { return ParseSymbolOps(&Parser::ParseAdditive, {"&"}); }
  ExprPtr ParseAdditive() { return ParseSymbolOps(&Parser::ParseMod, {"+", "-"}); }
  ExprPtr ParseMod() { return ParseSymbolOps(&Parser::ParseIntDiv, {"MOD"}); }
  ExprPtr ParseIntDiv() { return ParseSymbolOps(&Parser::ParseMultiplicative, {"\\"}); }
  ExprPtr ParseMultiplicative() { return ParseSymbolOps(&Parser::ParseNegation, {"*", "/"}); }

  ExprPtr ParseNegation() {
    if (IsSymbol("-") || IsSymbol("+")) {
      auto e = std::make_unique<Expr>();
      e->kind = ExprKind::kUnary;
      e->op = Next().text;
      e->args.push_back(ParseNegation());
      return Deep(std::move(e));
    }
    return ParsePower();
  }

  ExprPtr ParsePower() {
    ExprPtr left = ParsePrimary();
    while (IsSymbol("^")) {
      Next();
      ExprPtr right;
      if (IsSymbol("-") || IsSymbol("+")) {
        right = ParseNegation();
      } else {
        right = ParsePrimary();
      }
      left = Binary("^", std::move(left), std::move(right));
    }
    return left;
  }

  ExprPtr Leaf(ExprKind kind, std::string text) {
    auto e = std::make_unique<Expr>();
    e->kind = kind;
    e->text = std::move(text);
    return e;
  }

  ExprPtr ParsePrimary() {
    const Token& t = Peek();
    switch (t.kind) {
      case TokenKind::kNumber: return Leaf(ExprKind::kNumber, Next().text);
      case TokenKind::kString: return Leaf(ExprKind::kString, Next().text);
      case TokenKind::kDate: return Leaf(ExprKind::kDate, Next().text);
      case TokenKind::kEnd: Fail("falta una expresión");
      default: break;
    }
    if (IsSymbol("(")) {
      Next();
      if (IsWord("SELECT")) {
        auto e = std::make_unique<Expr>();
        e->kind = ExprKind::kSubquery;
        e->subquery = std::make_unique<Query>();
        ParseQueryBody(*e->subquery);
        ExpectSymbol(")");
        return Deep(std::move(e));
      }
      ExprPtr inner = ParseExpr();
      ExpectSymbol(")");
      return inner;
    }
    if (IsSymbol("*")) {
      Next();
      return Leaf(ExprKind::kStar, {});
    }
    if (IsWord("NULL")) {
      Next();
      return Leaf(ExprKind::kNull, "NULL");
    }
    if (IsWord("TRUE") || IsWord("YES")) {
      Next();
      return Leaf(ExprKind::kBoolean, "TRUE");
    }
    if (IsWord("FALSE") || IsWord("NO")) {
      Next();
      return Leaf(ExprKind::kBoolean, "FALSE");
    }
    bool not_exists = false;
    if (IsWord("NOT") && IsWord("EXISTS", 1)) {
      Next();
      not_exists = true;
    }
    if (IsWord("EXISTS")) {
      Next();
      ExpectSymbol("(");
      auto e = std::make_unique<Expr>();
      e->kind = ExprKind::kExists;
      e->negated = not_exists;
      e->subquery = std::make_unique<Query>();
      ParseQueryBody(*e->subquery);
      ExpectSymbol(")");
      return Deep(std::move(e));
    }
    if (Peek().kind == TokenKind::kWord && IsSymbol("(", 1)) {  // a function call (Left too)
      auto e = Leaf(ExprKind::kCall, Next().text);
      Next();
      if (!IsSymbol(")")) {
        do e->args.push_back(ParseExpr());
        while (Accept(","));
      }
      ExpectSymbol(")");
      return Deep(std::move(e));
    }
    if (!IsName()) Fail("se esperaba un valor o un nombre");
    auto e = Leaf(ExprKind::kName, {});
    e->parts.push_back(Next().text);
    while (IsSymbol(".") || IsSymbol("!")) {
      if (IsSymbol("!")) e->bang = true;
      Next();
      if (IsSymbol("*")) {
        Next();
        e->kind = ExprKind::kStar;
        return e;
      }
      if (Peek().kind != TokenKind::kWord && Peek().kind != TokenKind::kQuotedName)
        Fail("se esperaba un nombre");
      e->parts.push_back(Next().text);
    }
    return e;
  }

  std::vector<Token> tokens_;
  size_t pos_ = 0;
  int nesting_ = 0;
};

}  // namespace

Query ParseQuery(const std::string& text) { return Parser(text).ParseStatement(); }

}  // namespace brenquil::jet::sql
