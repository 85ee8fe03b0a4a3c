#include "jet/jet_expressions.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "jet/jet_values.h"

namespace brenquil::jet {

namespace {

enum class Tok { kEnd, kNumber, kString, kDate, kName, kWord, kOp };

struct Token {
  Tok kind = Tok::kEnd;
  std::string
      text;  // number as written, string's value, date as stored, name, upper-case word, operator
};

// Refused: the reason travels up as the exception's text.
struct Refused {
  std::string reason;
};

bool Ascii(const std::string& s) {
  for (unsigned char c : s)
    if (c >= 0x80) return false;
  return true;
}

std::string Upper(std::string s) {
  for (auto& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

bool IsWordChar(unsigned char c) { return std::isalnum(c) || c == '_' || c >= 0x80; }

std::vector<Token> Tokenize(const std::string& s) {
  std::vector<Token> out;
  std::size_t i = 0;
  while (i < s.size()) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (std::isspace(c)) {
      ++i;
      continue;
    }
    Token t;
    if (std::isdigit(c) ||
        (c == '.' && i + 1 < s.size() && std::isdigit(static_cast<unsigned char>(s[i + 1])))) {
      std::size_t j = i;
      while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) ++j;
      if (j < s.size() && s[j] == '.') {
        ++j;
        while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) ++j;
      }
      if (j < s.size() && (s[j] == 'e' || s[j] == 'E')) {
        std::size_t k = j + 1;
        if (k < s.size() && (s[k] == '+' || s[k] == '-')) ++k;
        if (k < s.size() && std::isdigit(static_cast<unsigned char>(s[k]))) {
          j = k;
          while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) ++j;
        }
      }
      t.kind = Tok::kNumber;
      t.text = s.substr(i, j - i);
      if (t.text[0] == '.') t.text.insert(0, "0");
      i = j;
    } else if (c == '"' || c == '\'') {
      std::size_t j = i + 1;
      for (;;) {
        if (j >= s.size()) throw Refused{"un texto sin cerrar"};
        if (static_cast<unsigned char>(s[j]) == c) {
          if (j + 1 < s.size() && static_cast<unsigned char>(s[j + 1]) == c) {
            t.text += s[j];
            j += 2;
            continue;
          }
          break;
        }
        t.text += s[j++];
      }
      t.kind = Tok::kString;
      i = j + 1;
    } else if (c == '#') {
      std::size_t j = s.find('#', i + 1);
      if (j == std::string::npos) throw Refused{"una fecha sin cerrar"};
      auto date = JetDateLiteral(s.substr(i + 1, j - i - 1));
      if (!date) throw Refused{"la fecha #" + s.substr(i + 1, j - i - 1) + "# no se entiende"};
      t.kind = Tok::kDate;
      t.text = *date;
      i = j + 1;
    } else if (c == '[') {
      std::size_t j = s.find(']', i + 1);
      if (j == std::string::npos) throw Refused{"un nombre sin cerrar"};
      t.kind = Tok::kName;
      t.text = s.substr(i + 1, j - i - 1);
      i = j + 1;
    } else if (IsWordChar(c)) {
      std::size_t j = i;
      while (j < s.size() && IsWordChar(static_cast<unsigned char>(s[j]))) ++j;
      std::string word = s.substr(i, j - i);
      static const char* const kWords[] = {"AND",  "OR",   "NOT",   "BETWEEN", "IN", "IS", "NULL",
                                           "LIKE", "TRUE", "FALSE", "YES",     "NO", "ON", "OFF"};
      t.kind = Tok::kName;
      t.text = word;
      for (const char* w : kWords)
        if (Upper(word) == w) {
          t.kind = Tok::kWord;
          t.text = w;
        }
      i = j;
    } else {
      static const char* const kOps[] = {"<>", "<=", ">=", "=", "<", ">", "(", ")", ",", "-"};
      t.kind = Tok::kOp;
      for (const char* op : kOps) {
        std::string o = op;
        if (s.compare(i, o.size(), o) == 0) {
          t.text = o;
          break;
        }
      }
      if (t.text.empty())
        throw Refused{std::string("el operador '") + s[i] + "' no tiene equivalente exacto"};
      i += t.text.size();
    }
    out.push_back(std::move(t));
  }
  out.push_back(Token{});
  return out;
}

enum class Kind { kNumber, kText, kDate, kBoolean, kNull, kOther };

struct Operand {
  std::string sql;
  Kind kind = Kind::kOther;
  bool field = false;
  bool truth = false;  // a True/False literal, to be given as 1/0 or -1/0 by what it meets
  bool true_value = false;
};

class RuleParser {
 public:
  RuleParser(const std::string& text, const std::string& field, const ExpressionContext& context)
      : tokens_(Tokenize(text)), field_(field), context_(context) {}

  std::string Parse() {
    std::string sql = Or();
    if (Peek().kind != Tok::kEnd) throw Refused{"sobra '" + Peek().text + "'"};
    return sql;
  }

 private:
  const Token& Peek() const { return tokens_[at_]; }
  Token Take() { return tokens_[at_ < tokens_.size() - 1 ? at_++ : at_]; }
  bool Word(const char* w) {
    if (Peek().kind == Tok::kWord && Peek().text == w) {
      ++at_;
      return true;
    }
    return false;
  }
  bool Op(const char* o) {
    if (Peek().kind == Tok::kOp && Peek().text == o) {
      ++at_;
      return true;
    }
    return false;
  }

  std::string Or() {
    std::string sql = And();
    while (Word("OR")) sql = sql + " OR " + And();
    return sql;
  }
  std::string And() {
    std::string sql = Not();
    while (Word("AND")) sql = sql + " AND " + Not();
    return sql;
  }
  std::string Not() {
    if (Word("NOT")) {
      // "Not Null", Access's short way of saying the field must have a value.
      if (!field_.empty() && Peek().kind == Tok::kWord && Peek().text == "NULL") {
        ++at_;
        return FieldOperand(field_).sql + " IS NOT NULL";
      }
      return "NOT (" + Not() + ")";
    }
    return Predicate();
  }

  bool PredicateAhead() const {
    const Token& t = Peek();
    if (t.kind == Tok::kOp)
      return t.text == "=" || t.text == "<>" || t.text == "<" || t.text == ">" || t.text == "<=" ||
             t.text == ">=";
    return t.kind == Tok::kWord && (t.text == "BETWEEN" || t.text == "IN" || t.text == "IS" ||
                                    t.text == "LIKE" || t.text == "NOT");
  }

  Operand FieldOperand(const std::string& name) {
    auto found = context_.field(name);
    if (!found) throw Refused{"'" + name + "' no es un campo de la tabla"};
    Operand o;
    o.sql = context_.reference ? context_.reference(found->name) : QuoteName(found->name);
    o.field = true;
    o.kind = found->kind == "boolean"  ? Kind::kBoolean
             : found->kind == "text"   ? Kind::kText
             : found->kind == "date"   ? Kind::kDate
             : found->kind == "number" ? Kind::kNumber
                                       : Kind::kOther;
    if (o.kind == Kind::kOther)
      throw Refused{"el campo '" + found->name + "' no se puede comparar en SQLite como en Jet"};
    return o;
  }

  std::string Predicate() {
    Operand left;
    if (PredicateAhead()) {
      if (field_.empty()) throw Refused{"la regla de la tabla no dice a qué campo se refiere"};
      left = FieldOperand(field_);
    } else if (Op("(")) {
      // A parenthesis opens either a whole condition or just an operand.
      std::size_t was = at_;
      try {
        std::string inner = Or();
        if (Op(")") && !PredicateAhead()) return "(" + inner + ")";
      } catch (const Refused&) {
      }
      at_ = was;
      left = Value();
      if (!Op(")")) throw Refused{"falta ')'"};
    } else {
      left = Value();
    }
    bool negated = Word("NOT");
    if (Word("BETWEEN")) {
      Operand low = Value();
      if (!Word("AND")) throw Refused{"Between sin And"};
      Operand high = Value();
      Check(left, low);
      Check(left, high);
      return Side(left, {&low, &high}) + (negated ? " NOT BETWEEN " : " BETWEEN ") +
             Lit(low, left) + " AND " + Lit(high, left);
    }
    if (Word("IN")) {
      if (!Op("(")) throw Refused{"In sin su lista"};
      std::vector<Operand> items;
      do items.push_back(Value());
      while (Op(","));
      if (!Op(")")) throw Refused{"falta ')' tras la lista de In"};
      std::vector<const Operand*> all;
      std::string list;
      for (auto& item : items) {
        Check(left, item);
        all.push_back(&item);
        list += (list.empty() ? "" : ", ") + Lit(item, left);
      }
      return Side(left, all) + (negated ? " NOT IN (" : " IN (") + list + ")";
    }
    if (Word("LIKE")) {
      Token pattern = Take();
      if (pattern.kind != Tok::kString) throw Refused{"Like sin un texto"};
      if (left.kind != Kind::kText) throw Refused{"Like sobre un campo que no es de texto"};
      return left.sql + (negated ? " NOT LIKE " : " LIKE ") + LikePattern(pattern.text) +
             " ESCAPE '\\'";
    }
    if (negated) throw Refused{"Not donde Jet no lo admite"};
    if (Word("IS")) {
      bool not_null = Word("NOT");
      if (!Word("NULL")) throw Refused{"Is sin Null"};
      return left.sql + (not_null ? " IS NOT NULL" : " IS NULL");
    }
    const Token& op = Peek();
    if (op.kind == Tok::kOp && (op.text == "=" || op.text == "<>" || op.text == "<" ||
                                op.text == ">" || op.text == "<=" || op.text == ">=")) {
      std::string o = Take().text;
      Operand right = Value();
      Check(left, right);
      if ((left.kind == Kind::kBoolean || right.kind == Kind::kBoolean) && o != "=" && o != "<>")
        throw Refused{"un Sí/No comparado con " + o};
      return Side(left, {&right}) + " " + o + " " + Lit(right, left);
    }
    if (left.kind == Kind::kBoolean && left.field)
      return left.sql + " <> 0";  // a Yes/No field alone
    throw Refused{"falta una comparación"};
  }

  // The left side, with NOCASE when text is compared: Jet compares text
  // without regard to case, and NOCASE does so for ASCII letters.
  std::string Side(const Operand& left, std::vector<const Operand*> others) {
    bool text = left.kind == Kind::kText;
    for (auto* o : others) text = text || o->kind == Kind::kText;
    return text ? left.sql + " COLLATE NOCASE" : Lit(left, *others.front());
  }

  // A literal as the other side wants it: True is 1 beside a Yes/No field, -1 elsewhere.
  std::string Lit(const Operand& o, const Operand& other) {
    if (!o.truth) return o.sql;
    if (!o.true_value) return "0";
    return other.kind == Kind::kBoolean ? "1" : "-1";
  }

  // Comparisons whose meaning SQLite keeps with the values the import stores.
  void Check(const Operand& a, const Operand& b) {
    if (a.kind == Kind::kNull || b.kind == Kind::kNull) return;
    auto kinds = [&](Kind x, Kind y) {
      return (a.kind == x && b.kind == y) || (a.kind == y && b.kind == x);
    };
    if (a.kind == b.kind) {
      if (a.kind == Kind::kText && a.field && b.field)
        throw Refused{"compara el texto de dos campos"};
      return;
    }
    if (kinds(Kind::kBoolean, Kind::kNumber)) {
      const Operand& n = a.kind == Kind::kNumber ? a : b;
      if (!n.field && (n.sql == "0" || n.sql == "-1")) return;
    }
    throw Refused{"compara valores de tipos distintos, que Jet convierte y SQLite no"};
  }

  Operand Value() {
    Token t = Take();
    Operand o;
    switch (t.kind) {
      case Tok::kOp:
        if (t.text == "-" && Peek().kind == Tok::kNumber) {
          o.sql = "-" + Take().text;
          o.kind = Kind::kNumber;
          return o;
        }
        break;
      case Tok::kNumber:
        o.sql = t.text;
        o.kind = Kind::kNumber;
        return o;
      case Tok::kString:
        if (!Ascii(t.text))
          throw Refused{"el texto '" + t.text + "' tiene letras que SQLite no compara como Jet"};
        o.sql = QuoteText(t.text);
        o.kind = Kind::kText;
        return o;
      case Tok::kDate:
        o.sql = QuoteText(t.text);
        o.kind = Kind::kDate;
        return o;
      case Tok::kName: return FieldOperand(t.text);
      case Tok::kWord:
        if (t.text == "NULL") {
          o.sql = "NULL";
          o.kind = Kind::kNull;
          return o;
        }
        if (t.text == "TRUE" || t.text == "YES" || t.text == "ON" || t.text == "FALSE" ||
            t.text == "NO" || t.text == "OFF") {
          o.truth = true;
          o.true_value = t.text == "TRUE" || t.text == "YES" || t.text == "ON";
          o.kind = Kind::kBoolean;
          o.sql = o.true_value ? "1" : "0";
          return o;
        }
        break;
      case Tok::kEnd: throw Refused{"la expresión termina antes de tiempo"};
    }
    throw Refused{"'" + t.text + "' no se puede traducir"};
  }

  static std::string LikePattern(const std::string& jet) {
    if (!Ascii(jet))
      throw Refused{"el patrón '" + jet + "' tiene letras que SQLite no compara como Jet"};
    std::string out;
    for (char c : jet) {
      if (c == '*')
        out += '%';
      else if (c == '?')
        out += '_';
      else if (c == '#' || c == '[' || c == ']')
        throw Refused{"el patrón '" + jet + "' usa # o [ ]"};
      else if (c == '%' || c == '_' || c == '\\')
        out += std::string("\\") + c;
      else
        out += c;
    }
    return QuoteText(out);
  }

  std::vector<Token> tokens_;
  std::size_t at_ = 0;
  std::string field_;
  const ExpressionContext& context_;
};

}  // namespace

std::string QuoteName(const std::string& name) {
  std::string out = "\"";
  for (char c : name) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

std::string QuoteText(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("''") : std::string(1, c);
  return out + "'";
}

std::string NewGuidSql() {
  return "('{' || hex(randomblob(4)) || '-' || hex(randomblob(2)) || '-' || hex(randomblob(2)) || "
         "'-' || "
         "hex(randomblob(2)) || '-' || hex(randomblob(6)) || '}')";
}

std::optional<std::string> JetDateLiteral(const std::string& text) {
  int a = 0, b = 0, c = 0, h = 0, mi = 0, s = 0;
  char sep = 0;
  int consumed = 0;
  std::string t = text;
  while (!t.empty() && std::isspace(static_cast<unsigned char>(t.front()))) t.erase(0, 1);
  while (!t.empty() && std::isspace(static_cast<unsigned char>(t.back()))) t.pop_back();
  if (std::sscanf(t.c_str(), "%d%c%d%*c%d%n", &a, &sep, &b, &c, &consumed) < 4 ||
      (sep != '/' && sep != '-'))
    return std::nullopt;
  long long year, month, day;
  if (a > 31) {  // y-m-d
    year = a;
    month = b;
    day = c;
  } else {  // Jet reads m/d/y
    month = a;
    day = b;
    year = c;
    if (c < 30)
      year = 2000 + c;
    else if (c < 100)
      year = 1900 + c;
  }
  std::string rest = t.substr(static_cast<std::size_t>(consumed));
  if (!rest.empty()) {
    int got = std::sscanf(rest.c_str(), " %d:%d:%d", &h, &mi, &s);
    if (got < 2) return std::nullopt;
    std::string upper = Upper(rest);
    if (upper.find("PM") != std::string::npos && h < 12) h += 12;
    if (upper.find("AM") != std::string::npos && h == 12) h = 0;
  }
  static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1 || day > kDays[month - 1] ||
      h < 0 || h > 23 || mi < 0 || mi > 59 || s < 0 || s > 59)
    return std::nullopt;
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  if (month == 2 && day == 29 && !leap) return std::nullopt;
  char out[32];
  std::snprintf(out, sizeof out, "%04lld-%02lld-%02lld %02d:%02d:%02d", year, month, day, h, mi, s);
  return std::string(out);
}

ExpressionTranslation TranslateDefault(const std::string& jet, const std::string& kind) {
  ExpressionTranslation t;
  try {
    std::string text = jet;
    std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first != std::string::npos && text[first] == '=') text.erase(0, first + 1);
    std::vector<Token> tokens = Tokenize(text);
    auto upper_call = [&](const char* name) {
      return tokens.size() == 4 && tokens[0].kind == Tok::kName && Upper(tokens[0].text) == name &&
             tokens[1].text == "(" && tokens[2].text == ")";
    };
    if (upper_call("DATE") && kind == "date")
      t.sql = "(date('now', 'localtime') || ' 00:00:00')";
    else if (upper_call("NOW") && kind == "date")
      t.sql = "(datetime('now', 'localtime'))";
    else if (upper_call("TIME") && kind == "date")
      t.sql = "('1899-12-30 ' || time('now', 'localtime'))";
    else if (upper_call("GENGUID") && kind == "guid")
      t.sql = NewGuidSql();
    if (t.ok()) return t;
    std::size_t i = 0;
    bool negative = false;
    if (tokens[i].kind == Tok::kOp && tokens[i].text == "-") {
      negative = true;
      ++i;
    }
    const Token& v = tokens[i];
    if (tokens.size() != i + 2) throw Refused{"no es un solo valor"};
    if (v.kind == Tok::kNumber) {
      std::string number = (negative ? "-" : "") + v.text;
      if (kind == "number")
        t.sql = number;
      else if (kind == "text")
        t.sql = QuoteText(number);
      else if (kind == "boolean")
        t.sql = std::strtod(number.c_str(), nullptr) != 0 ? "1" : "0";
      else
        throw Refused{"un número como valor de un campo de tipo " + kind};
    } else if (negative) {
      throw Refused{"un signo delante de algo que no es un número"};
    } else if (v.kind == Tok::kString) {
      if (kind == "text") {
        t.sql = QuoteText(v.text);
      } else if (kind == "number") {
        char* end = nullptr;
        std::strtod(v.text.c_str(), &end);
        if (v.text.empty() || *end != '\0')
          throw Refused{"el texto '" + v.text + "' no es un número"};
        t.sql = v.text;
      } else if (kind == "date") {
        auto date = JetDateLiteral(v.text);
        if (!date) throw Refused{"el texto '" + v.text + "' no es una fecha"};
        t.sql = QuoteText(*date);
      } else {
        throw Refused{"un texto como valor de un campo de tipo " + kind};
      }
    } else if (v.kind == Tok::kDate) {
      if (kind != "date") throw Refused{"una fecha como valor de un campo de tipo " + kind};
      t.sql = QuoteText(v.text);
    } else if (v.kind == Tok::kWord && v.text == "NULL") {
      t.sql = "NULL";
    } else if (v.kind == Tok::kWord && (v.text == "TRUE" || v.text == "YES" || v.text == "ON" ||
                                        v.text == "FALSE" || v.text == "NO" || v.text == "OFF")) {
      bool truth = v.text == "TRUE" || v.text == "YES" || v.text == "ON";
      if (kind == "boolean")
        t.sql = truth ? "1" : "0";
      else if (kind == "number")
        t.sql = truth ? "-1" : "0";
      else
        throw Refused{"Sí/No como valor de un campo de tipo " + kind};
    } else {
      throw Refused{"la expresión no tiene equivalente exacto en SQLite"};
    }
  } catch (const Refused& r) {
    t.sql.clear();
    t.reason = r.reason;
  }
  return t;
}

ExpressionTranslation TranslateRule(const std::string& jet, const std::string& field,
                          const ExpressionContext& context) {
  ExpressionTranslation t;
  try {
    t.sql = RuleParser(jet, field, context).Parse();
  } catch (const Refused& r) {
    t.sql.clear();
    t.reason = r.reason;
  }
  return t;
}

}  // namespace brenquil::jet
