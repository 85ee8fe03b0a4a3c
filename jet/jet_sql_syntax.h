// The syntax tree of a Jet SQL query that reads rows (a SELECT, a UNION of
// SELECTs, with their subqueries), and its parser. The tree keeps what the
// text says, names as written (brackets removed), so that a translator can
// judge every construct; it does not resolve names.
#pragma once

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace brenquil::jet::sql {

// A text the parser cannot read: `what` says where and why, in Spanish.
class SyntaxError : public std::runtime_error {
 public:
  explicit SyntaxError(const std::string& what) : std::runtime_error(what) {}
};

struct Query;

enum class ExprKind {
  kNumber,   // text: the literal as written (digits, point, exponent)
  kString,   // text: the value, quotes removed
  kDate,     // text: what stands between the #s
  kBoolean,  // text: "TRUE" or "FALSE" (Yes and No included)
  kNull,
  kName,      // parts: a name with its qualifiers ("T", "c"); bang: a ! joined them
  kStar,      // parts: the qualifier of T.* (empty for a lone *)
  kUnary,     // op: "-", "+" or "NOT"; args[0]
  kBinary,    // op: "OR", "AND", "XOR", "EQV", "IMP", "=", "<>", "<", ">", "<=", ">=",
              //     "&", "+", "-", "*", "/", "\\", "MOD", "^"; args[0], args[1]
  kIsNull,    // args[0] Is [Not] Null; negated
  kBetween,   // args[0] [Not] Between args[1] And args[2]
  kInList,    // args[0] [Not] In (args[1..])
  kInQuery,   // args[0] [Not] In (subquery)
  kLike,      // args[0] [Not] Like args[1]
  kExists,    // [Not] Exists (subquery)
  kSubquery,  // (subquery) as a value
  kCall,      // name(args); text: the function name as written
};

struct Expr {
  ExprKind kind;
  std::string text;
  std::string op;
  std::vector<std::string> parts;
  bool bang = false;
  bool negated = false;
  std::vector<std::unique_ptr<Expr>> args;
  std::unique_ptr<Query> subquery;
  int depth = 1;  // levels of the tree below and with it, subqueries included
};
using ExprPtr = std::unique_ptr<Expr>;

enum class JoinKind { kInner, kLeft, kRight };

// One item of a FROM list: a table or query by name, a derived table, or a
// join of two items.
struct Source {
  enum class Kind { kNamed, kDerived, kJoin } kind = Kind::kNamed;
  std::string name;      // kNamed
  std::string alias;     // kNamed, kDerived (empty: none)
  std::string database;  // kNamed: the IN 'file' it comes from (empty: this file)
  std::unique_ptr<Query> derived;
  JoinKind join = JoinKind::kInner;
  std::unique_ptr<Source> left, right;
  ExprPtr on;
  int depth = 1;
};

struct SelectItem {
  ExprPtr expr;
  std::string alias;  // empty: none
};

struct OrderItem {
  ExprPtr expr;
  bool descending = false;
};

// One SELECT (a UNION has several).
struct Select {
  enum class Quantifier { kAll, kDistinct, kDistinctRow } quantifier = Quantifier::kAll;
  std::optional<std::string> top;  // TOP's number as written
  bool top_percent = false;
  std::vector<SelectItem> items;
  std::string into;  // SELECT ... INTO table (a make-table query)
  std::vector<std::unique_ptr<Source>> from;
  std::string from_database;  // FROM ... IN 'file'
  ExprPtr where;
  std::vector<ExprPtr> group_by;
  ExprPtr having;
};

struct Parameter {
  std::string name;
  std::string type;  // as written, size included
};

// A statement that reads rows: PARAMETERS, one or more SELECTs joined by
// UNION [ALL], the ORDER BY of the whole, WITH OWNERACCESS OPTION.
struct Query {
  std::vector<Parameter> parameters;
  std::vector<Select> parts;
  std::vector<bool> union_all;  // between parts[i] and parts[i + 1]
  std::vector<OrderItem> order_by;
  bool owner_access = false;
  int depth = 1;
};

// The deepest tree the parser builds: a text nested deeper (a damaged file)
// is a SyntaxError, so that nothing that walks the tree runs out of stack.
inline constexpr int kMaxDepth = 200;

// Reads a Jet SELECT or UNION statement; throws SyntaxError. A TRANSFORM,
// INSERT, UPDATE, DELETE or DDL statement is a SyntaxError too.
Query ParseQuery(const std::string& text);

}  // namespace brenquil::jet::sql
