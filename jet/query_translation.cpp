// Jet SQL to SQLite. Every construct is either written with the same meaning
// or refused with its reason: a view that answers differently from the query
// it replaces would be worse than no view. Where Jet itself stops with an
// error (a division by zero, a text where a number belongs), the view may
// answer anything; those cases are not meanings to keep.
#include "jet/query_translation.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <regex>
#include <set>
#include <utility>

#include "engine/sql_text.h"
#include "jet/jet_sql_syntax.h"

namespace brenquil::jet {
namespace {

using sql::Expr;
using sql::ExprKind;
using sql::Query;
using sql::Select;

struct Refusal {
  std::string reason;
};
[[noreturn]] void Refuse(std::string reason) { throw Refusal{std::move(reason)}; }

std::string Fold(std::string_view name) { return detail::Upper(name); }
std::string Q(std::string_view name) { return detail::QuoteId(name); }

std::string Written(const std::vector<std::string>& parts) {
  std::string out;
  for (const std::string& p : parts) out += (out.empty() ? "[" : ".[") + p + "]";
  return out;
}

const char* TypeName(ValueType t) {
  switch (t) {
    case ValueType::kNull: return "Null";
    case ValueType::kText: return "un texto";
    case ValueType::kInteger: return "un número entero";
    case ValueType::kCurrency: return "un valor de moneda";
    case ValueType::kNumber: return "un número con decimales";
    case ValueType::kDate: return "una fecha";
    case ValueType::kYesNoStored:
    case ValueType::kYesNo: return "un valor Sí/No";
    case ValueType::kOther: return "un valor binario";
    case ValueType::kUnknown: break;
  }
  return "un valor de tipo desconocido";
}

bool IsTextish(ValueType t) { return t == ValueType::kText || t == ValueType::kUnknown; }
bool IsNumeric(ValueType t) {
  return t == ValueType::kInteger || t == ValueType::kCurrency || t == ValueType::kNumber ||
         t == ValueType::kYesNo || t == ValueType::kNull;
}
bool IsWholeNumber(ValueType t) {
  return t == ValueType::kInteger || t == ValueType::kYesNo || t == ValueType::kNull;
}

// A translated expression.
struct Value {
  std::string sql;
  ValueType type = ValueType::kUnknown;
  bool truth = false;      // an SQLite truth value (1, 0, NULL) where Jet's is -1, 0, Null
  bool literal = false;    // a constant written in the text
  bool aggregate = false;  // holds an aggregate function
};

// One table, query or derived table that a FROM makes visible.
struct ScopeSource {
  std::string key;  // the alias, else the name as the file spells it
  std::vector<Column> columns;
};

struct Scope {
  std::vector<std::unique_ptr<ScopeSource>> sources;
  const Scope* outer = nullptr;
};

struct Resolved {
  const ScopeSource* source;
  const Column* column;
  std::string Sql() const { return Q(source->key) + "." + Q(column->name); }
};

const Column* FindColumn(const ScopeSource& source, const std::string& name) {
  for (const Column& c : source.columns) {
    if (detail::IEquals(c.name, name)) return &c;
  }
  return nullptr;
}

// ---- #date# literals

int TwoDigitYear(int y) { return y < 30 ? 2000 + y : 1900 + y; }

bool ValidDate(int y, int m, int d) {
  static const int days[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (y < 100 || y > 9999 || m < 1 || m > 12 || d < 1 || d > days[m - 1]) return false;
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return m != 2 || d < 29 || leap;
}

int MonthNumber(const std::string& word) {
  static const char* names[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
  const std::string w = Fold(word);
  for (int i = 0; i < 12; ++i) {
    if (w.size() >= 3 && w.compare(0, 3, names[i]) == 0) return i + 1;
  }
  return 0;
}

// ---- Like patterns

struct PatternPiece {
  enum Kind { kLiteral, kAny, kOne, kDigit, kClass } kind;
  std::string text;  // a literal character (UTF-8), or a class's content
  bool negated = false;
};

std::vector<PatternPiece> ReadPattern(const std::string& p) {
  std::vector<PatternPiece> pieces;
  for (size_t i = 0; i < p.size();) {
    const char c = p[i];
    if (c == '*') {
      pieces.push_back({PatternPiece::kAny, {}});
      ++i;
    } else if (c == '?') {
      pieces.push_back({PatternPiece::kOne, {}});
      ++i;
    } else if (c == '#') {
      pieces.push_back({PatternPiece::kDigit, {}});
      ++i;
    } else if (c == '[') {
      const size_t end = p.find(']', i + 1);
      if (end == std::string::npos) Refuse("el patrón de Like '" + p + "' tiene un [ sin cerrar");
      std::string content = p.substr(i + 1, end - i - 1);
      PatternPiece piece{PatternPiece::kClass, content};
      if (!content.empty() && content[0] == '!') {
        piece.negated = true;
        piece.text = content.substr(1);
      }
      if (piece.text.empty()) Refuse("el patrón de Like '" + p + "' tiene una lista vacía");
      // [*], [?], [#], [[] name one character literally
      const bool single =
          piece.text.size() == 1 || (static_cast<unsigned char>(piece.text[0]) >= 0x80 &&
                                     piece.text.find('-') == std::string::npos);
      if (single && !piece.negated) piece.kind = PatternPiece::kLiteral;
      pieces.push_back(piece);
      i = end + 1;
    } else {
      size_t len = 1;
      const unsigned char u = static_cast<unsigned char>(c);
      if (u >= 0xF0)
        len = 4;
      else if (u >= 0xE0)
        len = 3;
      else if (u >= 0xC0)
        len = 2;
      pieces.push_back({PatternPiece::kLiteral, p.substr(i, len)});
      i += len;
    }
  }
  return pieces;
}

// `subject` Like `pattern`: SQLite's LIKE where the pattern has only * and ?
// (both ignore the case of ASCII letters), else GLOB on upper-cased texts.
std::string LikeSql(const std::string& subject, const std::string& pattern, bool negated) {
  const std::vector<PatternPiece> pieces = ReadPattern(pattern);
  const bool simple = std::all_of(pieces.begin(), pieces.end(), [](const PatternPiece& p) {
    return p.kind != PatternPiece::kDigit && p.kind != PatternPiece::kClass;
  });
  std::string out;
  if (simple) {
    bool escaped = false;
    for (const PatternPiece& p : pieces) {
      if (p.kind == PatternPiece::kAny) {
        out += '%';
      } else if (p.kind == PatternPiece::kOne) {
        out += '_';
      } else {
        if (p.text == "%" || p.text == "_" || p.text == "\\") {
          out += '\\';
          escaped = true;
        }
        out += p.text;
      }
    }
    return "(" + subject + (negated ? " NOT LIKE " : " LIKE ") + detail::QuoteLiteral(out) +
           (escaped ? " ESCAPE '\\'" : "") + ")";
  }
  for (const PatternPiece& p : pieces) {
    switch (p.kind) {
      case PatternPiece::kAny: out += '*'; break;
      case PatternPiece::kOne: out += '?'; break;
      case PatternPiece::kDigit: out += "[0-9]"; break;
      case PatternPiece::kClass:
        if (p.text.find(']') != std::string::npos)
          Refuse("el patrón de Like '" + pattern + "' no se puede escribir en SQLite");
        out += "[" + std::string(p.negated ? "^" : "") + detail::Upper(p.text) + "]";
        break;
      case PatternPiece::kLiteral:
        if (p.text == "*" || p.text == "?" || p.text == "[") {
          out += "[" + p.text + "]";
        } else {
          out += detail::Upper(p.text);
        }
        break;
    }
  }
  return "(upper(" + subject + ")" + (negated ? " NOT GLOB " : " GLOB ") +
         detail::QuoteLiteral(out) + ")";
}

// ---- Format's date patterns with an exact strftime equivalent

std::string StrftimePattern(const std::string& format) {
  std::string out;
  bool after_hour = false;
  for (size_t i = 0; i < format.size();) {
    auto run = [&](char c) {
      size_t n = 0;
      while (i + n < format.size() && std::tolower(static_cast<unsigned char>(format[i + n])) == c)
        ++n;
      return n;
    };
    const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(format[i])));
    size_t n = 0;
    if (c == 'y' && (n = run('y')) == 4) {
      out += "%Y";
    } else if (c == 'm' && (n = run('m')) == 2) {
      // mm after an hour or before seconds is minutes, as Format reads it
      size_t j = i + 2;
      while (j < format.size() && (format[j] == ' ' || format[j] == '-')) ++j;
      const bool before_seconds =
          j < format.size() && std::tolower(static_cast<unsigned char>(format[j])) == 's';
      out += after_hour || before_seconds ? "%M" : "%m";
    } else if (c == 'd' && (n = run('d')) == 2) {
      out += "%d";
    } else if (c == 'h' && (n = run('h')) == 2) {
      out += "%H";
    } else if (c == 'n' && (n = run('n')) == 2) {
      out += "%M";
    } else if (c == 's' && (n = run('s')) == 2) {
      out += "%S";
    } else if (format[i] == '-' || format[i] == ' ') {
      out += format[i];
      n = 1;
    } else if (format[i] == '\\' && i + 1 < format.size()) {
      out += format[i + 1] == '%' ? "%%" : std::string(1, format[i + 1]);
      n = 2;
    } else {
      Refuse("Format con el formato \"" + format +
             "\": solo tienen equivalente exacto yyyy, mm, dd, hh, nn, ss con - y espacios "
             "(/ y : dependen de la configuración regional)");
    }
    after_hour = c == 'h' ? true : (c == '-' || c == ' ' ? after_hour : false);
    i += n;
  }
  return out;
}

class Translator {
 public:
  explicit Translator(const Catalogue& catalogue) : catalogue_(catalogue) {}

  struct Result {
    std::string sql;
    std::vector<Column> columns;
  };

  Result Statement(const Query& q, const Scope* outer) {
    if (!q.parameters.empty()) {
      std::string names;
      for (const sql::Parameter& p : q.parameters)
        names += (names.empty() ? "[" : ", [") + p.name + "]";
      Refuse("tiene parámetros (" + names + "), que Jet pide al abrirla");
    }
    if (q.parts.size() == 1) return SelectSql(q.parts[0], q.order_by, outer, false, false);
    const bool dedupes =
        std::find(q.union_all.begin(), q.union_all.end(), false) != q.union_all.end();
    std::vector<Result> parts;
    for (size_t i = 0; i < q.parts.size(); ++i)
      parts.push_back(SelectSql(q.parts[i], {}, outer, i == 0 && dedupes, true));
    Result result;
    result.columns = parts[0].columns;
    result.sql = parts[0].sql;
    for (size_t i = 1; i < parts.size(); ++i) {
      if (parts[i].columns.size() != result.columns.size())
        Refuse("las partes de la unión no tienen el mismo número de columnas");
      for (size_t c = 0; c < result.columns.size(); ++c) {
        ValueType& t = result.columns[c].type;
        const ValueType u = parts[i].columns[c].type;
        if ((t == ValueType::kYesNoStored) != (u == ValueType::kYesNoStored) &&
            u != ValueType::kNull && t != ValueType::kNull)
          Refuse("la columna " + result.columns[c].name +
                 " de la unión mezcla un campo Sí/No con otros valores (Jet guarda Sí como -1)");
        if (t == ValueType::kNull)
          t = u;
        else if (u != t && u != ValueType::kNull)
          t = ValueType::kUnknown;
      }
      result.sql += q.union_all[i - 1] ? " UNION ALL " : " UNION ";
      result.sql += parts[i].sql;
    }
    std::string order;
    for (const sql::OrderItem& item : q.order_by) {
      const Column* column = nullptr;
      if (item.expr->kind == ExprKind::kName) {
        for (const Column& c : result.columns) {
          if (detail::IEquals(c.name, item.expr->parts.back())) column = &c;
        }
      }
      if (!column) Refuse("el ORDER BY de la unión no nombra una de sus columnas");
      order += order.empty() ? " ORDER BY " : ", ";
      order += Q(column->name);
      if (IsTextish(column->type)) order += " COLLATE NOCASE";
      if (column->type == ValueType::kYesNoStored) {
        // Jet's Yes (-1) sorts before No; the stored Yes (1) after
        order += item.descending ? " NULLS LAST" : " DESC NULLS FIRST";
      } else if (item.descending) {
        order += " DESC";
      }
    }
    result.sql += order;
    return result;
  }

  std::vector<std::string> queries_used;

 private:
  // One output column of a SELECT.
  struct Out {
    std::string sql;
    std::string name;
    ValueType type;
    const ScopeSource* qualifier = nullptr;  // a field shown as it is: renamed T.name on a clash
    int star = -1;                           // the * it came from
    bool renamed = false;
  };

  Result SelectSql(const Select& s, const std::vector<sql::OrderItem>& order, const Scope* outer,
                   bool nocase_outputs, bool in_union) {
    if (!s.into.empty()) Refuse("crea la tabla " + s.into + " (SELECT ... INTO)");
    if (!s.from_database.empty())
      Refuse("lee tablas de otra base de datos (IN '" + s.from_database + "')");
    Scope scope;
    scope.outer = outer;
    std::string from;
    int leaves = 0;
    for (const auto& source : s.from) {
      if (!from.empty()) from += ", ";
      from += SourceSql(*source, scope, leaves, false);
    }

    std::vector<Out> outs;
    std::vector<std::string> stars;
    int expr_number = 1000;
    for (const sql::SelectItem& item : s.items) {
      const Expr& e = *item.expr;
      if (e.kind == ExprKind::kStar) {
        if (!item.alias.empty()) Refuse("un * no puede llevar alias");
        const int star = static_cast<int>(stars.size());
        bool any = false;
        for (const auto& source : scope.sources) {
          if (!e.parts.empty() && !detail::IEquals(source->key, e.parts.back())) continue;
          any = true;
          for (const Column& c : source->columns)
            outs.push_back({Q(source->key) + "." + Q(c.name), c.name, c.type, source.get(), star});
        }
        if (!any)
          Refuse(e.parts.empty() ? "SELECT * sin tablas"
                                 : Written(e.parts) + ".* no es una tabla de la consulta");
        stars.push_back(e.parts.empty() ? "*" : Q(FindSource(scope, e.parts.back())->key) + ".*");
        continue;
      }
      if (e.kind == ExprKind::kName) {
        const Resolved r = Resolve(e, scope);
        outs.push_back({r.Sql(), item.alias.empty() ? r.column->name : item.alias, r.column->type,
                        item.alias.empty() ? r.source : nullptr});
        continue;
      }
      Value v = AsValue(Translate(e, scope));
      outs.push_back({v.sql,
                      item.alias.empty() ? "Expr" + std::to_string(expr_number++) : item.alias,
                      v.type});
    }
    if (outs.empty()) Refuse("no tiene columnas de salida");
    NameClashes(outs);

    if (s.quantifier == Select::Quantifier::kDistinctRow && leaves > 1)
      Refuse(
          "DISTINCTROW sobre varias tablas (quita las filas repetidas de las tablas de origen): "
          "SQLite no tiene equivalente");
    const bool distinct = s.quantifier == Select::Quantifier::kDistinct;
    const bool nocase = distinct || nocase_outputs;

    std::string items;
    std::vector<bool> star_written(stars.size(), false);
    std::vector<bool> star_whole(stars.size(), true);
    for (const Out& o : outs) {
      if (o.star >= 0 && (o.renamed || (nocase && IsTextish(o.type)))) star_whole[o.star] = false;
    }
    for (const Out& o : outs) {
      if (o.star >= 0 && star_whole[o.star]) {
        if (star_written[o.star]) continue;
        star_written[o.star] = true;
        items += (items.empty() ? "" : ", ") + stars[o.star];
        continue;
      }
      items += (items.empty() ? "" : ", ") + o.sql;
      if (nocase && IsTextish(o.type)) items += " COLLATE NOCASE";
      items += " AS " + Q(o.name);
    }

    std::string tail;
    if (!from.empty()) tail += " FROM " + from;
    if (s.where) {
      Value w = Translate(*s.where, scope);
      if (w.aggregate) Refuse("usa una función de agregado en WHERE");
      tail += " WHERE " + Condition(w);
    }
    if (!s.group_by.empty()) {
      std::string group;
      for (const auto& g : s.group_by) {
        Value v;
        if (g->kind == ExprKind::kName) {
          const Resolved r = Resolve(*g, scope);
          v.sql = r.Sql();
          v.type = r.column->type;
        } else {
          v = AsValue(Translate(*g, scope));
        }
        group += (group.empty() ? "" : ", ") + v.sql + (IsTextish(v.type) ? " COLLATE NOCASE" : "");
      }
      tail += " GROUP BY " + group;
    }
    if (s.having) tail += " HAVING " + Condition(Translate(*s.having, scope));

    std::vector<std::pair<Value, bool>> keys;  // translated ORDER BY items, descending
    for (const sql::OrderItem& item : order)
      keys.push_back({AsValue(Translate(*item.expr, scope)), item.descending});
    auto key_sql = [](const Value& v, bool descending, const std::string& written) {
      return written + (IsTextish(v.type) ? " COLLATE NOCASE" : "") + (descending ? " DESC" : "");
    };
    std::string order_sql;
    for (const auto& [v, descending] : keys)
      order_sql += (order_sql.empty() ? "" : ", ") + key_sql(v, descending, v.sql);

    Result result;
    for (const Out& o : outs) result.columns.push_back({o.name, o.type});
    const std::string select_word = distinct ? "SELECT DISTINCT " : "SELECT ";

    long top = 0;
    if (s.top) {
      if (in_union) Refuse("usa TOP en una parte de una unión");
      if (s.top->find_first_not_of("0123456789") != std::string::npos || s.top->size() > 9)
        Refuse("TOP " + *s.top + ": Jet solo admite un número entero de filas");
      top = std::stol(*s.top);
      if (top == 0) Refuse("TOP 0 no es una consulta válida en Jet");
      if (s.top_percent) {
        if (top != 100)
          Refuse("TOP " + *s.top +
                 " PERCENT: Jet redondea el número de filas a su manera y SQLite no tiene "
                 "equivalente exacto");
        top = 0;
      }
    }
    if (top == 0 || keys.empty()) {
      result.sql = select_word + items + tail;
      if (!order_sql.empty()) result.sql += " ORDER BY " + order_sql;
      if (top > 0) result.sql += " LIMIT " + std::to_string(top);
      return result;
    }

    // TOP n with ORDER BY keeps the rows tied with the n-th: rank() does the same.
    std::string rank = "jet_top_rank";
    while (std::any_of(outs.begin(), outs.end(),
                       [&](const Out& o) { return detail::IEquals(o.name, rank); }))
      rank += "_";
    std::string names;
    for (const Out& o : outs) names += (names.empty() ? "" : ", ") + Q(o.name);
    std::string middle;
    if (distinct) {
      std::string window;
      for (const auto& [v, descending] : keys) {
        auto match =
            std::find_if(outs.begin(), outs.end(), [&](const Out& o) { return o.sql == v.sql; });
        if (match == outs.end())
          Refuse("TOP con DISTINCT ordenado por algo que no es una de sus columnas");
        window += (window.empty() ? "" : ", ") + key_sql(v, descending, Q(match->name));
      }
      middle = "SELECT *, rank() OVER (ORDER BY " + window + ") AS " + Q(rank) + " FROM (" +
               select_word + items + tail + ")";
    } else {
      middle =
          "SELECT " + items + ", rank() OVER (ORDER BY " + order_sql + ") AS " + Q(rank) + tail;
    }
    result.sql = "SELECT " + names + " FROM (" + middle + ") WHERE " + Q(rank) +
                 " <= " + std::to_string(top) + " ORDER BY " + Q(rank);
    return result;
  }

  // Jet names two shown fields of one name after their tables: T.name.
  static void NameClashes(std::vector<Out>& outs) {
    auto count = [&](const std::string& name) {
      return std::count_if(outs.begin(), outs.end(),
                           [&](const Out& o) { return detail::IEquals(o.name, name); });
    };
    std::vector<bool> clash(outs.size());
    for (size_t i = 0; i < outs.size(); ++i)
      clash[i] = outs[i].qualifier && count(outs[i].name) > 1;
    for (size_t i = 0; i < outs.size(); ++i) {
      if (!clash[i]) continue;
      outs[i].name = outs[i].qualifier->key + "." + outs[i].name;
      outs[i].renamed = true;
    }
    for (const Out& o : outs) {
      if (count(o.name) > 1) Refuse("dos columnas de salida se llaman " + o.name);
    }
  }

  const ScopeSource* FindSource(const Scope& scope, const std::string& key) const {
    for (const auto& s : scope.sources) {
      if (detail::IEquals(s->key, key)) return s.get();
    }
    return nullptr;
  }

  std::string SourceSql(const sql::Source& source, Scope& scope, int& leaves, bool nested) {
    using Kind = sql::Source::Kind;
    if (source.kind == Kind::kJoin) {
      std::string left = SourceSql(*source.left, scope, leaves, true);
      std::string right = SourceSql(*source.right, scope, leaves, true);
      const char* word = source.join == sql::JoinKind::kInner  ? " INNER JOIN "
                         : source.join == sql::JoinKind::kLeft ? " LEFT JOIN "
                                                               : " RIGHT JOIN ";
      std::string sql = left + word + right + " ON " + Condition(Translate(*source.on, scope));
      return nested ? "(" + sql + ")" : sql;
    }
    ++leaves;
    auto entry = std::make_unique<ScopeSource>();
    std::string sql;
    if (source.kind == Kind::kDerived) {
      if (source.alias.empty()) Refuse("una subconsulta de FROM no tiene alias");
      Result inner = Statement(*source.derived, nullptr);
      entry->key = source.alias;
      entry->columns = inner.columns;
      sql = "(" + inner.sql + ") AS " + Q(source.alias);
    } else {
      if (!source.database.empty()) Refuse("lee " + source.name + " de otra base de datos");
      const Catalogue::Entry* found = catalogue_.Find(source.name);
      if (!found)
        Refuse("lee «" + source.name + "», que no es una tabla ni una consulta del archivo");
      if (found->refused)
        Refuse("lee la consulta «" + found->name + "», que no puede ser una vista");
      if (found->is_query &&
          std::find(queries_used.begin(), queries_used.end(), found->name) == queries_used.end())
        queries_used.push_back(found->name);
      entry->key = source.alias.empty() ? found->name : source.alias;
      entry->columns = found->columns;
      sql = Q(found->name) + (source.alias.empty() ? "" : " AS " + Q(source.alias));
    }
    if (FindSource(scope, entry->key)) Refuse(entry->key + " aparece dos veces en FROM");
    scope.sources.push_back(std::move(entry));
    return sql;
  }

  Resolved Resolve(const Expr& e, const Scope& scope) const {
    const std::vector<std::string>& parts = e.parts;
    static const std::set<std::string> objects = {"FORMS",    "REPORTS", "SCREEN",
                                                  "TEMPVARS", "PARENT",  "ME"};
    if (parts.size() >= 2 && objects.count(Fold(parts[0])))
      Refuse("hace referencia a " + Written(parts) +
             ", de un formulario o informe, que Jet lee al abrirla");
    const std::string param =
        Written(parts) +
        " no es un campo de las tablas de la consulta: Jet lo pide como parámetro al abrirla";
    if (parts.size() == 1) {
      for (const Scope* s = &scope; s; s = s->outer) {
        Resolved found{nullptr, nullptr};
        for (const auto& source : s->sources) {
          if (const Column* c = FindColumn(*source, parts[0])) {
            if (found.source)
              Refuse("el campo " + parts[0] + " es ambiguo: lo tienen " + found.source->key +
                     " y " + source->key);
            found = {source.get(), c};
          }
        }
        if (found.source) return found;
      }
      Refuse(param);
    }
    if (parts.size() == 2) {
      for (const Scope* s = &scope; s; s = s->outer) {
        if (const ScopeSource* source = FindSource(*s, parts[0])) {
          if (const Column* c = FindColumn(*source, parts[1])) return {source, c};
          Refuse(param);
        }
      }
    }
    Refuse(param);
  }

  static Value AsValue(Value v) {
    if (v.truth) {
      v.sql = "(-" + v.sql + ")";
      v.type = ValueType::kYesNo;
      v.truth = false;
    }
    return v;
  }

  static std::string Condition(const Value& v) {
    if (v.type == ValueType::kText || v.type == ValueType::kDate || v.type == ValueType::kOther)
      Refuse("usa " + std::string(TypeName(v.type)) + " como condición");
    return v.sql;
  }

  static Value Truth(std::string sql, bool aggregate) {
    Value v;
    v.sql = std::move(sql);
    v.truth = true;
    v.type = ValueType::kYesNo;
    v.aggregate = aggregate;
    return v;
  }

  Value Arg(const Expr& e, const Scope& scope) { return AsValue(Translate(e, scope)); }

  // A truth operand of Not, And, Or: Jet's are bitwise on numbers, which
  // agrees with SQLite's logic only on Yes/No values.
  std::string Logical(const Expr& e, const Scope& scope, const char* op, bool& aggregate) {
    Value v = Translate(e, scope);
    aggregate = aggregate || v.aggregate;
    if (!v.truth && v.type != ValueType::kYesNo && v.type != ValueType::kNull)
      Refuse(std::string(op) + " sobre " + TypeName(v.type) +
             ": en Jet opera bit a bit y SQLite no tiene equivalente");
    return v.sql;
  }

  static void Comparable(const Value& a, const Value& b, const std::string& op) {
    auto bad = [&](ValueType x, ValueType y) {
      if (x == ValueType::kOther) return true;
      if (x == ValueType::kDate)
        return y != ValueType::kDate && y != ValueType::kNull && y != ValueType::kUnknown;
      if (x == ValueType::kText) return IsNumeric(y) && y != ValueType::kNull;
      return false;
    };
    if (bad(a.type, b.type) || bad(b.type, a.type))
      Refuse("compara " + std::string(TypeName(a.type)) + " con " + TypeName(b.type) + " (" + op +
             "): Jet convierte uno de ellos y SQLite no");
  }

  static std::string Nocase(const Value& a, const Value& b) {
    return IsTextish(a.type) && IsTextish(b.type) ? " COLLATE NOCASE" : "";
  }

  Value Translate(const Expr& e, const Scope& scope) {
    Value v;
    switch (e.kind) {
      case ExprKind::kNumber: {
        v.literal = true;
        v.sql = e.text[0] == '.' ? "0" + e.text : e.text;
        const bool whole = e.text.find_first_of(".eE") == std::string::npos;
        v.type = whole && e.text.size() <= 9 ? ValueType::kInteger : ValueType::kNumber;
        return v;
      }
      case ExprKind::kString:
        v.literal = true;
        v.sql = detail::QuoteLiteral(e.text);
        v.type = ValueType::kText;
        return v;
      case ExprKind::kDate: {
        const std::string stored = DateLiteral(e.text);
        if (stored.empty()) Refuse("la fecha #" + e.text + "# no se lee de una sola manera");
        v.literal = true;
        v.sql = detail::QuoteLiteral(stored);
        v.type = ValueType::kDate;
        return v;
      }
      case ExprKind::kBoolean:
        v.literal = true;
        v.sql = e.text == "TRUE" ? "-1" : "0";
        v.type = ValueType::kYesNo;
        return v;
      case ExprKind::kNull:
        v.literal = true;
        v.sql = "NULL";
        v.type = ValueType::kNull;
        return v;
      case ExprKind::kName: {
        const Resolved r = Resolve(e, scope);
        v.sql = r.Sql();
        v.type = r.column->type;
        if (v.type == ValueType::kYesNoStored) {
          v.sql = "(-" + v.sql + ")";
          v.type = ValueType::kYesNo;
        }
        return v;
      }
      case ExprKind::kStar: Refuse("un * fuera de la lista de columnas o de Count(*)");
      case ExprKind::kUnary: {
        if (e.op == "NOT") {
          bool aggregate = false;
          std::string operand = Logical(*e.args[0], scope, "Not", aggregate);
          return Truth("(NOT " + operand + ")", aggregate);
        }
        Value a = Arg(*e.args[0], scope);
        if (!IsNumeric(a.type)) Refuse("el signo " + e.op + " delante de " + TypeName(a.type));
        a.sql = "(" + e.op + a.sql + ")";
        if (a.type == ValueType::kYesNo) a.type = ValueType::kInteger;
        a.literal = false;
        return a;
      }
      case ExprKind::kBinary: return BinarySql(e, scope);
      case ExprKind::kIsNull: {
        Value a = Arg(*e.args[0], scope);
        return Truth("(" + a.sql + (e.negated ? " IS NOT NULL)" : " IS NULL)"), a.aggregate);
      }
      case ExprKind::kBetween: {
        Value a = Arg(*e.args[0], scope), lo = Arg(*e.args[1], scope), hi = Arg(*e.args[2], scope);
        Comparable(a, lo, "Between");
        Comparable(a, hi, "Between");
        const std::string collate =
            Nocase(a, lo).empty() && Nocase(a, hi).empty() ? "" : " COLLATE NOCASE";
        return Truth("(" + a.sql + collate + (e.negated ? " NOT BETWEEN " : " BETWEEN ") + lo.sql +
                         " AND " + hi.sql + ")",
                     a.aggregate || lo.aggregate || hi.aggregate);
      }
      case ExprKind::kInList: {
        Value a = Arg(*e.args[0], scope);
        std::string list;
        bool nocase = false, aggregate = a.aggregate;
        for (size_t i = 1; i < e.args.size(); ++i) {
          Value item = Arg(*e.args[i], scope);
          Comparable(a, item, "In");
          nocase = nocase || !Nocase(a, item).empty();
          aggregate = aggregate || item.aggregate;
          list += (list.empty() ? "" : ", ") + item.sql;
        }
        return Truth("(" + a.sql + (nocase ? " COLLATE NOCASE" : "") +
                         (e.negated ? " NOT IN (" : " IN (") + list + "))",
                     aggregate);
      }
      case ExprKind::kInQuery: {
        Value a = Arg(*e.args[0], scope);
        Result sub = Statement(*e.subquery, &scope);
        if (sub.columns.size() != 1) Refuse("la subconsulta de In no devuelve una sola columna");
        Value item;
        item.type = sub.columns[0].type == ValueType::kYesNoStored ? ValueType::kYesNo
                                                                   : sub.columns[0].type;
        if (sub.columns[0].type == ValueType::kYesNoStored)
          Refuse("compara con un campo Sí/No de una subconsulta (Jet guarda Sí como -1)");
        Comparable(a, item, "In");
        return Truth(
            "(" + a.sql + Nocase(a, item) + (e.negated ? " NOT IN (" : " IN (") + sub.sql + "))",
            a.aggregate);
      }
      case ExprKind::kLike: {
        Value a = Arg(*e.args[0], scope);
        if (!IsTextish(a.type) && a.type != ValueType::kInteger && a.type != ValueType::kNull)
          Refuse("Like sobre " + std::string(TypeName(a.type)) +
                 ", que Jet convierte a texto a su manera");
        if (e.args[1]->kind != ExprKind::kString)
          Refuse(
              "el patrón de Like no es un texto fijo: los comodines de Jet no se pueden traducir "
              "al ejecutarla");
        return Truth(LikeSql(a.sql, e.args[1]->text, e.negated), a.aggregate);
      }
      case ExprKind::kExists: {
        Result sub = Statement(*e.subquery, &scope);
        return Truth(std::string("(") + (e.negated ? "NOT " : "") + "EXISTS (" + sub.sql + "))",
                     false);
      }
      case ExprKind::kSubquery: {
        Result sub = Statement(*e.subquery, &scope);
        if (sub.columns.size() != 1)
          Refuse("una subconsulta usada como valor no devuelve una sola columna");
        v.sql = "(" + sub.sql + ")";
        v.type = sub.columns[0].type;
        if (v.type == ValueType::kYesNoStored)
          Refuse("usa como valor un campo Sí/No de una subconsulta (Jet guarda Sí como -1)");
        return v;
      }
      case ExprKind::kCall: return Call(e, scope);
    }
    Refuse("expresión desconocida");
  }

  Value BinarySql(const Expr& e, const Scope& scope) {
    const std::string& op = e.op;
    if (op == "AND" || op == "OR") {
      bool aggregate = false;
      std::string a = Logical(*e.args[0], scope, op == "AND" ? "And" : "Or", aggregate);
      std::string b = Logical(*e.args[1], scope, op == "AND" ? "And" : "Or", aggregate);
      return Truth("(" + a + " " + op + " " + b + ")", aggregate);
    }
    if (op == "XOR" || op == "EQV" || op == "IMP")
      Refuse("el operador " + op + " de Jet opera bit a bit y SQLite no tiene equivalente");
    Value a = Arg(*e.args[0], scope), b = Arg(*e.args[1], scope);
    const bool aggregate = a.aggregate || b.aggregate;
    if (op == "=" || op == "<>" || op == "<" || op == ">" || op == "<=" || op == ">=") {
      Comparable(a, b, op);
      return Truth("(" + a.sql + " " + op + " " + b.sql + Nocase(a, b) + ")", aggregate);
    }
    Value v;
    v.aggregate = aggregate;
    if (op == "&") {
      for (const Value* x : {&a, &b}) {
        if (!IsTextish(x->type) && x->type != ValueType::kInteger && x->type != ValueType::kNull)
          Refuse("& con " + std::string(TypeName(x->type)) +
                 ", que Jet escribe como texto según la configuración regional");
        if (x->type == ValueType::kUnknown) Refuse("& con un valor de tipo desconocido");
      }
      v.type = ValueType::kText;
      // Jet's & reads Null as "" unless both sides are Null.
      if (a.literal && a.type != ValueType::kNull) {
        v.sql = "(" + a.sql + " || coalesce(" + b.sql + ", ''))";
      } else if (b.literal && b.type != ValueType::kNull) {
        v.sql = "(coalesce(" + a.sql + ", '') || " + b.sql + ")";
      } else {
        v.sql = "(CASE WHEN " + a.sql + " IS NULL AND " + b.sql +
                " IS NULL THEN NULL ELSE coalesce(" + a.sql + ", '') || coalesce(" + b.sql +
                ", '') END)";
      }
      return v;
    }
    if (op == "+" && a.type == ValueType::kText && b.type == ValueType::kText) {
      v.type = ValueType::kText;  // + joins texts and passes Null on, as || does
      v.sql = "(" + a.sql + " || " + b.sql + ")";
      return v;
    }
    for (const Value* x : {&a, &b}) {
      if (!IsNumeric(x->type))
        Refuse("el operador " + op + " con " + TypeName(x->type) +
               (x->type == ValueType::kDate ? ": Jet calcula con fechas como números" : ""));
    }
    const bool whole = IsWholeNumber(a.type) && IsWholeNumber(b.type);
    if (op == "+" || op == "-" || op == "*") {
      v.type = whole ? ValueType::kInteger
               : (a.type == ValueType::kCurrency || b.type == ValueType::kCurrency) &&
                       (a.type != ValueType::kNumber && b.type != ValueType::kNumber)
                   ? ValueType::kCurrency
                   : ValueType::kNumber;
      v.sql = "(" + a.sql + " " + op + " " + b.sql + ")";
      return v;
    }
    if (op == "/") {
      v.type = ValueType::kNumber;
      v.sql = "(CAST(" + a.sql + " AS REAL) / " + b.sql + ")";
      return v;
    }
    if (op == "\\" || op == "MOD") {
      if (!whole)
        Refuse(std::string(op == "MOD" ? "Mod" : "\\") +
               " con números con decimales, que Jet redondea antes al par más cercano");
      v.type = ValueType::kInteger;
      v.sql = "(" + a.sql + (op == "MOD" ? " % " : " / ") + b.sql + ")";
      return v;
    }
    Refuse("el operador " + op + " no tiene equivalente exacto en SQLite");
  }

  Value Call(const Expr& e, const Scope& scope) {
    std::string name = Fold(e.text);
    if (name.size() > 1 && name.back() == '$') name.pop_back();  // Left$ is Left, for a text
    const size_t n = e.args.size();
    auto need = [&](size_t low, size_t high) {
      if (n < low || n > high) Refuse(e.text + " con " + std::to_string(n) + " argumentos");
    };
    auto arg = [&](size_t i) { return Arg(*e.args[i], scope); };
    auto text_arg = [&](size_t i) {
      Value a = arg(i);
      if (!IsTextish(a.type) && a.type != ValueType::kInteger && a.type != ValueType::kNull)
        Refuse(e.text + " sobre " + TypeName(a.type) +
               ", que Jet convierte a texto según la configuración regional");
      if (a.type == ValueType::kUnknown) Refuse(e.text + " sobre un valor de tipo desconocido");
      return a;
    };
    auto whole_arg = [&](size_t i) {
      Value a = arg(i);
      if (!IsWholeNumber(a.type))
        Refuse(e.text + " con " + TypeName(a.type) + " como número de caracteres");
      return a;
    };
    auto date_arg = [&](size_t i) {
      Value a = arg(i);
      if (a.type != ValueType::kDate && a.type != ValueType::kNull)
        Refuse(e.text + " sobre " + TypeName(a.type) +
               ", que Jet lee como fecha según la configuración regional");
      return a;
    };
    auto make = [&](std::string sql, ValueType type, bool aggregate) {
      Value v;
      v.sql = std::move(sql);
      v.type = type;
      v.aggregate = aggregate;
      return v;
    };

    // Aggregates.
    if (name == "COUNT") {
      need(1, 1);
      if (e.args[0]->kind == ExprKind::kStar && e.args[0]->parts.empty())
        return make("count(*)", ValueType::kInteger, true);
      return make("count(" + arg(0).sql + ")", ValueType::kInteger, true);
    }
    if (name == "SUM" || name == "AVG") {
      need(1, 1);
      Value a = arg(0);
      if (!IsNumeric(a.type)) Refuse(e.text + " sobre " + TypeName(a.type));
      const ValueType t = name == "AVG"           ? ValueType::kNumber
                          : IsWholeNumber(a.type) ? ValueType::kInteger
                                                  : a.type;
      return make((name == "SUM" ? "sum(" : "avg(") + a.sql + ")", t, true);
    }
    if (name == "MIN" || name == "MAX") {
      need(1, 1);
      Value a = arg(0);
      return make(std::string(name == "MIN" ? "min(" : "max(") + a.sql +
                      (IsTextish(a.type) ? " COLLATE NOCASE)" : ")"),
                  a.type, true);
    }
    // Conditionals and Null.
    if (name == "IIF") {
      need(3, 3);
      Value c = Translate(*e.args[0], scope);
      Value a = arg(1), b = arg(2);
      const ValueType t = a.type == b.type || b.type == ValueType::kNull ? a.type
                          : a.type == ValueType::kNull                   ? b.type
                                                                         : ValueType::kUnknown;
      return make("(CASE WHEN " + Condition(c) + " THEN " + a.sql + " ELSE " + b.sql + " END)", t,
                  c.aggregate || a.aggregate || b.aggregate);
    }
    if (name == "NZ") {
      need(1, 2);
      Value a = arg(0);
      if (n == 1) {  // in a query Nz gives "" for Null
        return make("coalesce(" + a.sql + ", '')",
                    a.type == ValueType::kText ? a.type : ValueType::kUnknown, a.aggregate);
      }
      Value b = arg(1);
      return make("coalesce(" + a.sql + ", " + b.sql + ")",
                  a.type == b.type ? a.type : ValueType::kUnknown, a.aggregate || b.aggregate);
    }
    if (name == "ISNULL") {
      need(1, 1);
      Value a = arg(0);
      return Truth("(" + a.sql + " IS NULL)", a.aggregate);
    }
    // Conversions.
    if (name == "CINT" || name == "CLNG") {
      need(1, 1);
      Value a = arg(0);
      if (IsWholeNumber(a.type)) return make(a.sql, ValueType::kInteger, a.aggregate);
      if (!IsNumeric(a.type))
        Refuse(e.text + " sobre " + TypeName(a.type) +
               ", que Jet lee según la configuración regional");
      // Jet rounds halves to the even neighbour.
      return make("CAST(CASE WHEN abs(" + a.sql + " - CAST(" + a.sql +
                      " AS INTEGER)) = 0.5 THEN 2 * round(" + a.sql + " / 2.0) ELSE round(" +
                      a.sql + ") END AS INTEGER)",
                  ValueType::kInteger, a.aggregate);
    }
    if (name == "CDBL") {
      need(1, 1);
      Value a = arg(0);
      if (!IsNumeric(a.type))
        Refuse(e.text + " sobre " + TypeName(a.type) +
               ", que Jet lee según la configuración regional");
      return make("CAST(" + a.sql + " AS REAL)", ValueType::kNumber, a.aggregate);
    }
    if (name == "CCUR") {
      need(1, 1);
      Value a = arg(0);
      const size_t point = a.sql.find('.');
      const bool short_literal =
          a.literal && a.type == ValueType::kNumber && point != std::string::npos &&
          a.sql.find_first_of("eE") == std::string::npos && a.sql.size() - point - 1 <= 4;
      if (IsWholeNumber(a.type) || a.type == ValueType::kCurrency || short_literal)
        return make(a.sql, ValueType::kCurrency, a.aggregate);
      Refuse(
          "CCur sobre " + std::string(TypeName(a.type)) +
          ": Jet redondea a 4 decimales al par más cercano y SQLite no tiene equivalente exacto");
    }
    if (name == "CSTR") {
      need(1, 1);
      Value a = text_arg(0);
      return make(a.type == ValueType::kText ? a.sql : "CAST(" + a.sql + " AS TEXT)",
                  ValueType::kText, a.aggregate);
    }
    if (name == "CBOOL") {
      need(1, 1);
      Value a = arg(0);
      if (!IsNumeric(a.type)) Refuse("CBool sobre " + std::string(TypeName(a.type)));
      return make("(-(" + a.sql + " <> 0))", ValueType::kYesNo, a.aggregate);
    }
    // Numbers.
    if (name == "ABS") {
      need(1, 1);
      Value a = arg(0);
      if (!IsNumeric(a.type)) Refuse("Abs sobre " + std::string(TypeName(a.type)));
      return make("abs(" + a.sql + ")", a.type == ValueType::kYesNo ? ValueType::kInteger : a.type,
                  a.aggregate);
    }
    if (name == "INT" || name == "FIX") {
      need(1, 1);
      Value a = arg(0);
      if (!IsNumeric(a.type)) Refuse(e.text + " sobre " + TypeName(a.type));
      if (IsWholeNumber(a.type)) return make(a.sql, ValueType::kInteger, a.aggregate);
      std::string cut = "CAST(" + a.sql + " AS INTEGER)";
      if (name == "FIX") return make(cut, ValueType::kInteger, a.aggregate);
      return make("(" + cut + " - (" + a.sql + " < " + cut + "))", ValueType::kInteger,
                  a.aggregate);
    }
    if (name == "SGN") {
      need(1, 1);
      Value a = arg(0);
      if (!IsNumeric(a.type)) Refuse("Sgn sobre " + std::string(TypeName(a.type)));
      return make("(CASE WHEN " + a.sql + " > 0 THEN 1 WHEN " + a.sql + " < 0 THEN -1 WHEN " +
                      a.sql + " = 0 THEN 0 END)",
                  ValueType::kInteger, a.aggregate);
    }
    // Texts.
    if (name == "LEN") {
      need(1, 1);
      Value a = text_arg(0);
      return make("length(" + a.sql + ")", ValueType::kInteger, a.aggregate);
    }
    if (name == "LEFT") {
      need(2, 2);
      Value s = text_arg(0), k = whole_arg(1);
      return make("substr(" + s.sql + ", 1, " + k.sql + ")", ValueType::kText,
                  s.aggregate || k.aggregate);
    }
    if (name == "RIGHT") {
      need(2, 2);
      Value s = text_arg(0), k = whole_arg(1);
      return make("substr(" + s.sql + ", max(length(" + s.sql + ") - " + k.sql + " + 1, 1))",
                  ValueType::kText, s.aggregate || k.aggregate);
    }
    if (name == "MID") {
      need(2, 3);
      Value s = text_arg(0), start = whole_arg(1);
      std::string sql = "substr(" + s.sql + ", " + start.sql;
      bool aggregate = s.aggregate || start.aggregate;
      if (n == 3) {
        Value k = whole_arg(2);
        sql += ", " + k.sql;
        aggregate = aggregate || k.aggregate;
      }
      return make(sql + ")", ValueType::kText, aggregate);
    }
    if (name == "TRIM" || name == "LTRIM" || name == "RTRIM") {
      need(1, 1);
      Value s = text_arg(0);
      const char* function = name == "TRIM" ? "trim(" : name == "LTRIM" ? "ltrim(" : "rtrim(";
      return make(function + s.sql + ")", ValueType::kText, s.aggregate);
    }
    if (name == "REPLACE") {
      need(3, 3);
      Value s = text_arg(0), a = text_arg(1), b = text_arg(2);
      return make("replace(" + s.sql + ", " + a.sql + ", " + b.sql + ")", ValueType::kText,
                  s.aggregate || a.aggregate || b.aggregate);
    }
    if (name == "UCASE" || name == "LCASE")
      Refuse(e.text +
             ": upper() y lower() de SQLite solo cambian las letras ASCII (ñ, á quedarían igual)");
    // Dates.
    static const std::map<std::string, std::string> parts = {{"YEAR", "%Y"},   {"MONTH", "%m"},
                                                             {"DAY", "%d"},    {"HOUR", "%H"},
                                                             {"MINUTE", "%M"}, {"SECOND", "%S"}};
    if (auto part = parts.find(name); part != parts.end()) {
      need(1, 1);
      Value d = date_arg(0);
      return make("CAST(strftime('" + part->second + "', " + d.sql + ") AS INTEGER)",
                  ValueType::kInteger, d.aggregate);
    }
    if (name == "WEEKDAY") {
      need(1, 1);
      Value d = date_arg(0);
      return make("(CAST(strftime('%w', " + d.sql + ") AS INTEGER) + 1)", ValueType::kInteger,
                  d.aggregate);
    }
    if (name == "DATE") {
      need(0, 0);
      return make("(date('now', 'localtime') || ' 00:00:00')", ValueType::kDate, false);
    }
    if (name == "NOW") {
      need(0, 0);
      return make("datetime('now', 'localtime')", ValueType::kDate, false);
    }
    if (name == "TIME") {
      need(0, 0);
      return make("('1899-12-30 ' || time('now', 'localtime'))", ValueType::kDate, false);
    }
    if (name == "FORMAT") {
      need(2, 2);
      Value d = date_arg(0);
      if (e.args[1]->kind != ExprKind::kString)
        Refuse("Format con un formato que no es un texto fijo");
      const std::string pattern = StrftimePattern(e.args[1]->text);
      return make("strftime(" + detail::QuoteLiteral(pattern) + ", " + d.sql + ")",
                  ValueType::kText, d.aggregate);
    }
    Refuse("la función " + e.text + " no tiene equivalente exacto en SQLite");
  }

  const Catalogue& catalogue_;
};

void CollectSources(const Query& q, std::vector<std::string>& out);

void CollectExpr(const Expr* e, std::vector<std::string>& out) {
  if (!e) return;
  if (e->subquery) CollectSources(*e->subquery, out);
  for (const auto& a : e->args) CollectExpr(a.get(), out);
}

void CollectSource(const sql::Source& s, std::vector<std::string>& out) {
  switch (s.kind) {
    case sql::Source::Kind::kNamed:
      if (std::none_of(out.begin(), out.end(),
                       [&](const std::string& n) { return detail::IEquals(n, s.name); }))
        out.push_back(s.name);
      return;
    case sql::Source::Kind::kDerived: CollectSources(*s.derived, out); return;
    case sql::Source::Kind::kJoin:
      CollectSource(*s.left, out);
      CollectSource(*s.right, out);
      CollectExpr(s.on.get(), out);
      return;
  }
}

void CollectSources(const Query& q, std::vector<std::string>& out) {
  for (const Select& s : q.parts) {
    for (const auto& source : s.from) CollectSource(*source, out);
    for (const auto& item : s.items) CollectExpr(item.expr.get(), out);
    CollectExpr(s.where.get(), out);
    for (const auto& g : s.group_by) CollectExpr(g.get(), out);
    CollectExpr(s.having.get(), out);
  }
  for (const auto& o : q.order_by) CollectExpr(o.expr.get(), out);
}

}  // namespace

void Catalogue::AddTable(const std::string& name, std::vector<Column> columns) {
  entries_[Fold(name)] = {name, false, false, {}, std::move(columns)};
}
void Catalogue::AddView(const std::string& name, std::vector<Column> columns) {
  entries_[Fold(name)] = {name, true, false, {}, std::move(columns)};
}
void Catalogue::AddRefused(const std::string& name, const std::string& reason) {
  entries_[Fold(name)] = {name, true, true, reason, {}};
}
const Catalogue::Entry* Catalogue::Find(std::string_view name) const {
  auto it = entries_.find(Fold(name));
  return it == entries_.end() ? nullptr : &it->second;
}

Translation TranslateQuery(const std::string& jet_sql, const Catalogue& catalogue) {
  Translation t;
  Translator translator(catalogue);
  try {
    const Query q = sql::ParseQuery(jet_sql);
    Translator::Result r = translator.Statement(q, nullptr);
    t.sqlite_sql = std::move(r.sql);
    t.columns = std::move(r.columns);
  } catch (const sql::SyntaxError& e) {
    t.reason = std::string("su SQL de Jet no se pudo leer: ") + e.what();
  } catch (const Refusal& r) {
    t.reason = r.reason;
  }
  t.queries = translator.queries_used;
  return t;
}

std::vector<std::string> SourceNames(const std::string& jet_sql) {
  std::vector<std::string> names;
  try {
    CollectSources(sql::ParseQuery(jet_sql), names);
  } catch (const sql::SyntaxError&) {
    return {};
  }
  return names;
}

std::string DateLiteral(std::string_view text) {
  static const std::regex date_re(
      R"(^\s*(?:(\d{1,4})([/-])(\d{1,2})\2(\d{1,4})|(\d{1,2})-([A-Za-z]{3,9})-(\d{2,4}))?)"
      R"(\s*(?:(\d{1,2}):(\d{1,2})(?::(\d{1,2}))?\s*([AaPp][Mm])?)?\s*$)");
  std::cmatch m;
  if (text.size() > 40) return {};  // no date is longer; and std::regex recurses per character
  const std::string s(text);
  if (s.find_first_not_of(" \t") == std::string::npos || !std::regex_match(s.c_str(), m, date_re))
    return {};
  int y = 1899, mo = 12, d = 30;
  if (m[1].matched) {
    const std::string a = m[1], b = m[3], c = m[4];
    if (a.size() == 4) {  // y-m-d
      if (c.size() > 2) return {};
      y = std::stoi(a), mo = std::stoi(b), d = std::stoi(c);
    } else {  // m/d/y, as Jet reads a literal
      if (a.size() > 2) return {};
      mo = std::stoi(a), d = std::stoi(b), y = std::stoi(c);
      if (c.size() <= 2) y = TwoDigitYear(y);
    }
  } else if (m[5].matched) {
    d = std::stoi(m[5].str());
    mo = MonthNumber(m[6]);
    const std::string c = m[7];
    if (mo == 0) return {};
    y = c.size() <= 2 ? TwoDigitYear(std::stoi(c)) : std::stoi(c);
  }
  if (!ValidDate(y, mo, d)) return {};
  int h = 0, mi = 0, se = 0;
  if (m[8].matched) {
    h = std::stoi(m[8].str()), mi = std::stoi(m[9].str());
    se = m[10].matched ? std::stoi(m[10].str()) : 0;
    if (m[11].matched) {
      if (h < 1 || h > 12) return {};
      const bool pm = std::toupper(static_cast<unsigned char>(m[11].str()[0])) == 'P';
      h = h % 12 + (pm ? 12 : 0);
    }
    if (h > 23 || mi > 59 || se > 59) return {};
  }
  char out[80];
  std::snprintf(out, sizeof out, "%04d-%02d-%02d %02d:%02d:%02d", y, mo, d, h, mi, se);
  return out;
}

}  // namespace brenquil::jet
