// Jet SQL rebuilt from a query's MSysQueries rows, clause by clause, in the
// form Jet's SQL property shows it.
#include "jet/query_rebuild.h"

#include <map>
#include <memory>

#include "engine/sql_text.h"

namespace brenquil::jet {
namespace {

constexpr const char* kNewLine = "\r\n";

struct Broken {
  std::string problem;
};
[[noreturn]] void Fail(std::string problem) { throw Broken{std::move(problem)}; }

enum Attribute {
  kType = 1,
  kParameter = 2,
  kFlags = 3,
  kRemoteDatabase = 4,
  kTable = 5,
  kColumn = 6,
  kJoin = 7,
  kWhere = 8,
  kGroupBy = 9,
  kHaving = 10,
  kOrderBy = 11,
};

enum SelectFlag {
  kStar = 1,
  kDistinct = 2,
  kOwnerAccess = 4,
  kDistinctRow = 8,
  kTop = 16,
  kPercent = 32
};
constexpr int kUnionWithoutAll = 0x02;
constexpr int kAppendValue = 0x8000;
constexpr int kPivot = 0x01, kRowHeading = 0x02;

// A name bracketed when it holds anything but letters, digits and _.
std::string Bracketed(const std::string& name) {
  for (unsigned char c : name) {
    if (!std::isalnum(c) && c != '_') return "[" + name + "]";
  }
  return name;
}

// A target such as Table1.col1 or [Table2].[col1]: each part bracketed when
// it needs it, parts already in brackets kept.
std::string BracketedPath(const std::string& path) {
  std::string out, part;
  bool in_bracket = false;
  auto flush = [&] {
    out += part.size() >= 2 && part.front() == '[' && part.back() == ']' ? part : Bracketed(part);
    part.clear();
  };
  for (char c : path) {
    if (c == '[') in_bracket = true;
    if (c == ']') in_bracket = false;
    if (c == '.' && !in_bracket) {
      flush();
      out += '.';
      continue;
    }
    part += c;
  }
  flush();
  return out;
}

std::string Joined(const std::vector<std::string>& items, const char* separator = ", ") {
  std::string out;
  for (const std::string& s : items) out += (out.empty() ? "" : separator) + s;
  return out;
}

class Rebuilder {
 public:
  explicit Rebuilder(const QueryObject& q) : q_(q) {}

  std::vector<const QueryRow*> Rows(int attribute) const {
    std::vector<const QueryRow*> rows;
    for (const QueryRow& r : q_.rows) {
      if (r.attribute == attribute) rows.push_back(&r);
    }
    return rows;
  }
  const QueryRow* Row(int attribute) const {
    std::vector<const QueryRow*> rows = Rows(attribute);
    if (rows.size() > 1)
      Fail("la consulta tiene " + std::to_string(rows.size()) + " filas de atributo " +
           std::to_string(attribute));
    return rows.empty() ? nullptr : rows.front();
  }
  int Flag(int attribute) const {
    const QueryRow* r = Row(attribute);
    return r && r->flag ? *r->flag : 0;
  }
  bool HasFlag(int bits) const { return (Flag(kFlags) & bits) != 0; }

  std::string Kind() const {
    static const std::map<long, std::string> by_object_flag = {
        {0, "select"},      {16, "crosstab"}, {32, "delete"},        {48, "update"}, {64, "append"},
        {80, "make-table"}, {96, "ddl"},      {112, "pass-through"}, {128, "union"}};
    static const std::map<int, std::string> by_type_row = {
        {1, "select"},   {2, "make-table"}, {3, "append"},       {4, "update"}, {5, "delete"},
        {6, "crosstab"}, {7, "ddl"},        {8, "pass-through"}, {9, "union"}};
    auto object = by_object_flag.find(q_.flags & 0xF0);
    std::string kind = object == by_object_flag.end() ? "unknown" : object->second;
    // A select's object flags are 0, which some writers also leave on other
    // kinds: the type row then says which.
    if ((q_.flags & 0xF0) == 0) {
      for (const QueryRow& r : q_.rows) {
        if (r.attribute != kType || !r.flag) continue;
        if (auto row = by_type_row.find(*r.flag); row != by_type_row.end()) kind = row->second;
        break;
      }
    }
    return kind;
  }

  std::string Parameters() const {
    static const std::map<int, std::string> types = {
        {0, "Value"},    {1, "Bit"},         {2, "Byte"},       {3, "Short"},    {4, "Long"},
        {5, "Currency"}, {6, "IEEESingle"},  {7, "IEEEDouble"}, {8, "DateTime"}, {9, "Binary"},
        {10, "Text"},    {11, "LongBinary"}, {12, "Memo"},      {15, "Guid"},    {16, "Decimal"}};
    std::vector<std::string> parameters;
    for (const QueryRow* r : Rows(kParameter)) {
      if (!r->name1) Fail("un parámetro no tiene nombre");
      auto type = types.find(r->flag.value_or(0));
      if (type == types.end())
        Fail("el parámetro " + *r->name1 + " tiene el tipo desconocido " +
             std::to_string(*r->flag));
      std::string p = Bracketed(*r->name1) + " " + type->second;
      if (type->first == 10 && r->extra.value_or(0) > 0)
        p += " ( " + std::to_string(*r->extra) + " )";
      parameters.push_back(p);
    }
    return parameters.empty() ? "" : "PARAMETERS " + Joined(parameters) + ";" + kNewLine;
  }

  // DISTINCT or DISTINCTROW, then TOP n [PERCENT].
  std::string Predicates() const {
    std::string out;
    if (HasFlag(kDistinct))
      out += "DISTINCT ";
    else if (HasFlag(kDistinctRow))
      out += "DISTINCTROW ";
    if (HasFlag(kTop)) {
      const QueryRow* r = Row(kFlags);
      if (!r->name1) Fail("TOP sin número");
      out += "TOP " + *r->name1 + (HasFlag(kPercent) ? " PERCENT " : " ");
    }
    return out;
  }

  std::string Columns(int without_flags, int with_flags) const {
    std::vector<std::string> columns;
    for (const QueryRow* r : Rows(kColumn)) {
      const int flag = r->flag.value_or(0);
      if ((flag & without_flags) || (with_flags && !(flag & with_flags))) continue;
      if (!r->expression) Fail("una columna de salida no tiene expresión");
      columns.push_back(*r->expression + (r->name1 ? " AS " + Bracketed(*r->name1) : ""));
    }
    if (HasFlag(kStar)) columns.push_back("*");
    return Joined(columns);
  }

  std::string InDatabase(const std::optional<std::string>& path,
                         const std::optional<std::string>& type) const {
    if (!path && !type) return "";
    return " IN '" + path.value_or("") + "'" + (type ? " [" + *type + "]" : "");
  }

  // The FROM list: the input tables, with joins built up pair by pair.
  struct Item {
    std::vector<std::string> names;  // the tables or aliases it holds
    std::string sql;                 // a table's text
    int join_kind = 0;               // 0: a table; else the join's kind
    std::unique_ptr<Item> left, right;
    std::vector<std::string> on;
  };

  static std::string Render(const Item& item, bool top) {
    if (item.join_kind == 0) return item.sql;
    static const char* words[] = {"", " INNER JOIN ", " LEFT JOIN ", " RIGHT JOIN "};
    const std::string on =
        item.on.size() == 1 ? item.on[0] : "(" + Joined(item.on, ") AND (") + ")";
    const std::string sql = Render(*item.left, false) + words[item.join_kind] +
                            Render(*item.right, false) + " ON " + on;
    return top ? sql : "(" + sql + ")";
  }

  std::string From() const {
    std::vector<std::unique_ptr<Item>> items;
    auto holds = [](const Item& item, const std::string& name) {
      for (const std::string& n : item.names) {
        if (detail::IEquals(n, name)) return true;
      }
      return false;
    };
    auto simple = [](const std::string& name, std::string sql) {
      auto item = std::make_unique<Item>();
      item->names.push_back(name);
      item->sql = std::move(sql);
      return item;
    };
    for (const QueryRow* r : Rows(kTable)) {
      std::string sql;
      if (r->expression && !r->name1) {
        sql = "(" + *r->expression + ")";
      } else {
        if (r->expression)
          sql = (r->expression->front() == '[' ? *r->expression : "[" + *r->expression + "]") + ".";
        if (!r->name1) Fail("una tabla de entrada no tiene nombre");
        sql += Bracketed(*r->name1);
      }
      if (r->name2) sql += " AS " + Bracketed(*r->name2);
      items.push_back(simple(r->name2 ? *r->name2 : r->name1.value_or(""), sql));
    }
    for (const QueryRow* r : Rows(kJoin)) {
      if (!r->name1 || !r->name2 || !r->expression) Fail("una combinación está incompleta");
      const int kind = r->flag.value_or(0);
      if (kind < 1 || kind > 3)
        Fail("una combinación tiene el tipo desconocido " + std::to_string(kind));
      std::unique_ptr<Item> from, to;
      Item* same = nullptr;
      for (auto it = items.begin(); it != items.end() && !same;) {
        if (!from && holds(**it, *r->name1)) {
          if (holds(**it, *r->name2)) {
            same = it->get();  // another condition of a join already made
            break;
          }
          from = std::move(*it);
          it = items.erase(it);
        } else if (!to && holds(**it, *r->name2)) {
          to = std::move(*it);
          it = items.erase(it);
        } else {
          ++it;
        }
      }
      if (same) {
        if (same->join_kind != kind)
          Fail("las combinaciones de " + *r->name1 + " y " + *r->name2 + " no son del mismo tipo");
        same->on.insert(same->on.begin(), *r->expression);  // Jet lists them last first
        continue;
      }
      if (!from) from = simple(*r->name1, Bracketed(*r->name1));
      if (!to) to = simple(*r->name2, Bracketed(*r->name2));
      auto join = std::make_unique<Item>();
      join->join_kind = kind;
      join->names = from->names;
      join->names.insert(join->names.end(), to->names.begin(), to->names.end());
      join->on.push_back(*r->expression);
      join->left = std::move(from);
      join->right = std::move(to);
      items.push_back(std::move(join));
    }
    std::vector<std::string> list;
    for (const auto& item : items) list.push_back(Render(*item, true));
    return Joined(list);
  }

  std::string Expression(int attribute) const {
    const QueryRow* r = Row(attribute);
    return r && r->expression ? *r->expression : "";
  }

  std::vector<std::string> Expressions(int attribute, int without_flags, int with_flags) const {
    std::vector<std::string> out;
    for (const QueryRow* r : Rows(attribute)) {
      const int flag = r->flag.value_or(0);
      if ((flag & without_flags) || (with_flags && !(flag & with_flags))) continue;
      if (!r->expression)
        Fail("una fila de atributo " + std::to_string(attribute) + " no tiene expresión");
      std::string e = *r->expression;
      if (attribute == kOrderBy && r->name1 && detail::IEquals(*r->name1, "D")) e += " DESC";
      out.push_back(e);
    }
    return out;
  }

  // FROM, WHERE, GROUP BY, HAVING, ORDER BY, each on its own line.
  std::string Clauses(int group_without, int group_with) const {
    std::string out;
    const std::string from = From();
    if (!from.empty()) {
      const QueryRow* remote = Row(kRemoteDatabase);
      out += kNewLine + std::string("FROM ") + from +
             (remote ? InDatabase(remote->name1, remote->expression) : "");
    }
    if (const std::string where = Expression(kWhere); !where.empty())
      out += kNewLine + std::string("WHERE ") + where;
    if (auto group = Expressions(kGroupBy, group_without, group_with); !group.empty())
      out += kNewLine + std::string("GROUP BY ") + Joined(group);
    if (const std::string having = Expression(kHaving); !having.empty())
      out += kNewLine + std::string("HAVING ") + having;
    if (auto order = Expressions(kOrderBy, 0, 0); !order.empty())
      out += kNewLine + std::string("ORDER BY ") + Joined(order);
    return out;
  }

  std::string Ending() const {
    return (HasFlag(kOwnerAccess) ? std::string(kNewLine) + "WITH OWNERACCESS OPTION" : "") + ";";
  }

  std::string Target() const {
    const QueryRow* type = Row(kType);
    if (!type || !type->name1) Fail("falta la tabla de destino");
    return Bracketed(*type->name1) + InDatabase(type->name2, type->expression);
  }

  // A union's part: its text with its lines ended by CR LF.
  std::string UnionPart(const char* id) const {
    for (const QueryRow* r : Rows(kTable)) {
      if (r->name2 && *r->name2 == id && r->expression) {
        std::string text = *r->expression, out;
        const size_t first = text.find_first_not_of(" \t\r\n");
        const size_t last = text.find_last_not_of(" \t\r\n");
        if (first == std::string::npos) break;
        text = text.substr(first, last - first + 1);
        for (size_t i = 0; i < text.size(); ++i) {
          if (text[i] == '\r' || text[i] == '\n') {
            while (i + 1 < text.size() && (text[i + 1] == '\r' || text[i + 1] == '\n')) ++i;
            out += kNewLine;
          } else {
            out += text[i];
          }
        }
        return out;
      }
    }
    Fail(std::string("falta la parte ") + id + " de la unión");
  }

  RebuiltQuery Build() const {
    RebuiltQuery result;
    result.kind = Kind();
    try {
      result.jet_sql = Text(result.kind, result.connect);
    } catch (const Broken& b) {
      result.jet_sql.clear();
      result.problem = b.problem;
    }
    return result;
  }

  std::string Text(const std::string& kind, std::string& connect) const {
    if (kind == "ddl" || kind == "pass-through") {
      const QueryRow* type = Row(kType);
      if (!type || !type->expression) Fail("falta el texto de la consulta");
      if (kind == "pass-through") connect = type->name1.value_or("");
      return *type->expression;
    }
    if (kind == "unknown")
      Fail("tipo de consulta desconocido (Flags " + std::to_string(q_.flags) + ")");
    std::string sql = Parameters();
    if (kind == "union") {
      sql += UnionPart("X7YZ_____1") + kNewLine + "UNION " +
             (HasFlag(kUnionWithoutAll) ? "" : "ALL ") + UnionPart("X7YZ_____2");
      if (auto order = Expressions(kOrderBy, 0, 0); !order.empty())
        sql += kNewLine + std::string("ORDER BY ") + Joined(order);
      return sql + Ending();
    }
    if (kind == "select") {
      return sql + "SELECT " + Predicates() + Columns(0, 0) + Clauses(0, 0) + Ending();
    }
    if (kind == "make-table") {
      return sql + "SELECT " + Predicates() + Columns(0, 0) + " INTO " + Target() + Clauses(0, 0) +
             Ending();
    }
    if (kind == "delete") {
      return sql + "DELETE " + Predicates() + Columns(0, 0) + Clauses(0, 0) + Ending();
    }
    if (kind == "crosstab") {
      std::string transform;
      for (const QueryRow* r : Rows(kColumn)) {
        if (r->flag.value_or(0) & (kPivot | kRowHeading)) continue;
        if (!transform.empty() || !r->expression)
          Fail("la consulta de referencias cruzadas no tiene un solo valor");
        transform = *r->expression + (r->name1 ? " AS " + Bracketed(*r->name1) : "");
      }
      std::vector<std::string> pivot = Expressions(kColumn, 0, kPivot);
      if (pivot.size() != 1) Fail("la consulta de referencias cruzadas no tiene un solo PIVOT");
      if (!transform.empty()) sql += "TRANSFORM " + transform + kNewLine;
      return sql + "SELECT " + Predicates() + Columns(~kRowHeading & 0xFFFF, kRowHeading) +
             Clauses(0, kRowHeading) + kNewLine + "PIVOT " + pivot[0] + Ending();
    }
    if (kind == "append") {
      sql += "INSERT INTO " + Target();
      std::vector<std::string> targets;
      for (const QueryRow* r : Rows(kColumn)) {
        if (r->name2) targets.push_back(BracketedPath(*r->name2));
      }
      if (!targets.empty()) sql += " (" + Joined(targets) + ")";
      std::vector<std::string> values = Expressions(kColumn, 0, kAppendValue);
      if (!values.empty()) return sql + kNewLine + "VALUES (" + Joined(values) + ")" + Ending();
      return sql + kNewLine + "SELECT " + Predicates() + Columns(kAppendValue, 0) + Clauses(0, 0) +
             Ending();
    }
    if (kind == "update") {
      std::vector<std::string> sets;
      for (const QueryRow* r : Rows(kColumn)) {
        if (!r->name2 || !r->expression) Fail("una asignación de UPDATE está incompleta");
        sets.push_back(BracketedPath(*r->name2) + " = " + *r->expression);
      }
      const QueryRow* remote = Row(kRemoteDatabase);
      sql += "UPDATE " + std::string(HasFlag(kDistinctRow) ? "DISTINCTROW " : "") + From() +
             (remote ? InDatabase(remote->name1, remote->expression) : "") + kNewLine + "SET " +
             Joined(sets);
      if (const std::string where = Expression(kWhere); !where.empty())
        sql += kNewLine + std::string("WHERE ") + where;
      return sql + Ending();
    }
    Fail("tipo de consulta desconocido");
  }

 private:
  const QueryObject& q_;
};

}  // namespace

RebuiltQuery RebuildQuery(const QueryObject& query) {
  RebuiltQuery result = Rebuilder(query).Build();
  if (!query.problem.empty()) {
    result.jet_sql.clear();
    result.problem = query.problem;
  }
  return result;
}

}  // namespace brenquil::jet
