// A stored query as a Jet file keeps it (its MSysObjects entry and its rows
// of MSysQueries), and the query's kind and Jet SQL text rebuilt from them.
//
// Each MSysQueries row has an Attribute saying what it holds: 0 and 255 open
// and close the rows, 1 the kind (Flag) and a target or text (Name1, Name2,
// Expression), 2 a parameter (Name1, Flag: its type, LvExtra: a text's size),
// 3 the select flags (Flag: * 1, DISTINCT 2, OWNERACCESS 4, DISTINCTROW 8,
// TOP 16, PERCENT 32; Name1: TOP's number; a union's 2: without ALL), 4 the
// database the tables come from, 5 an input table (Name1, alias Name2; a
// union's parts as Expression), 6 an output column (Expression, alias Name1,
// target Name2), 7 a join (Name1, Name2, Expression: ON, Flag: 1 INNER, 2
// LEFT, 3 RIGHT), 8 WHERE, 9 GROUP BY, 10 HAVING, 11 ORDER BY (Name1 "D":
// descending). Rows of one attribute follow the file's order.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace brenquil::jet {

struct QueryRow {
  int attribute = 0;
  std::optional<std::string> expression, name1, name2;
  std::optional<int> flag;
  std::optional<long> extra;
};

struct QueryObject {
  std::string name;
  long flags = 0;  // MSysObjects.Flags: the kind in its bits 0xF0
  std::vector<QueryRow> rows;
  std::string problem;  // set by the reader when the rows could not be read whole
};

struct RebuiltQuery {
  std::string kind;     // "select", "union", "crosstab", "append", "update", "delete",
                        // "make-table", "ddl", "pass-through", or "unknown"
  std::string jet_sql;  // empty when the rows do not make a query
  std::string connect;  // a pass-through query's connection text
  std::string problem;  // Spanish: why jet_sql is empty
};

// The kind and Jet SQL of a stored query, lines ended by CR LF as Jet's SQL
// property gives them.
RebuiltQuery RebuildQuery(const QueryObject& query);

}  // namespace brenquil::jet
