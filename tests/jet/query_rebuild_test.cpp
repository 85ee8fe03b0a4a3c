// Jet SQL rebuilt from MSysQueries rows made by hand, for the clauses the
// genuine files lack, and rows that do not make a query.
#include <gtest/gtest.h>

#include "jet/query_rebuild.h"

namespace brenquil::test {
namespace {

using jet::QueryObject;
using jet::QueryRow;

struct R {
  int attribute;
  const char* expression = nullptr;
  std::optional<int> flag = {};
  const char* name1 = nullptr;
  const char* name2 = nullptr;
  std::optional<long> extra = {};
};

QueryObject Query(long flags, std::vector<R> rows) {
  QueryObject q;
  q.name = "Q";
  q.flags = flags;
  for (const R& r : rows) {
    QueryRow row;
    row.attribute = r.attribute;
    if (r.expression) row.expression = r.expression;
    if (r.name1) row.name1 = r.name1;
    if (r.name2) row.name2 = r.name2;
    row.flag = r.flag;
    row.extra = r.extra;
    q.rows.push_back(row);
  }
  return q;
}

TEST(QueryRebuild, WritesEachClauseAsJetShowsIt) {
  struct Case {
    const char* what;
    QueryObject query;
    const char* kind;
    const char* jet_sql;
  };
  const Case cases[] = {
      {"parameters, predicates, aliases, descending order, owner access",
       Query(0, {{0, nullptr, 0},
                 {2, nullptr, 10, "Nombre buscado", nullptr, 50},
                 {2, nullptr, 8, "Desde"},
                 {1, nullptr, 1},
                 {3, nullptr, 1 | 2 | 4 | 16 | 32, "5"},
                 {5, nullptr, {}, "Clientes"},
                 {6, "Clientes.Nombre", 0, "Nombre completo"},
                 {8, "Clientes.Alta > [Desde]"},
                 {11, "Clientes.Alta", {}, "D"},
                 {11, "Clientes.Nombre"},
                 {255}}),
       "select",
       "PARAMETERS [Nombre buscado] Text ( 50 ), Desde DateTime;\r\n"
       "SELECT DISTINCT TOP 5 PERCENT Clientes.Nombre AS [Nombre completo], *\r\n"
       "FROM Clientes\r\n"
       "WHERE Clientes.Alta > [Desde]\r\n"
       "ORDER BY Clientes.Alta DESC, Clientes.Nombre\r\n"
       "WITH OWNERACCESS OPTION;"},
      {"joins nested, a second condition of one join, a table apart, grouping",
       Query(0, {{1, nullptr, 1},
                 {3, nullptr, 8},
                 {5, nullptr, {}, "A"},
                 {5, nullptr, {}, "B", "B2"},
                 {5, nullptr, {}, "C"},
                 {5, nullptr, {}, "Tabla D"},
                 {6, "Count(*)", 0, "N"},
                 {7, "A.x = B2.x", 1, "A", "B2"},
                 {7, "A.z = B2.z", 1, "A", "B2"},
                 {7, "B2.y = C.y", 2, "B2", "C"},
                 {9, "A.k"},
                 {10, "Count(*) > 1"}}),
       "select",
       "SELECT DISTINCTROW Count(*) AS N\r\n"
       "FROM [Tabla D], (A INNER JOIN B AS B2 ON (A.z = B2.z) AND (A.x = B2.x)) LEFT JOIN C ON "
       "B2.y = C.y\r\n"
       "GROUP BY A.k\r\n"
       "HAVING Count(*) > 1;"},
      {"a union without ALL, its lines ended by CR LF",
       Query(128, {{1, nullptr, 9},
                   {3, nullptr, 2},
                   {5, "SELECT a FROM T\nWHERE a > 1\n\n", {}, nullptr, "X7YZ_____1"},
                   {5, "  SELECT b FROM U", {}, nullptr, "X7YZ_____2"},
                   {11, "a", {}, "D"}}),
       "union", "SELECT a FROM T\r\nWHERE a > 1\r\nUNION SELECT b FROM U\r\nORDER BY a DESC;"},
      {"a union with ALL",
       Query(128, {{1, nullptr, 9},
                   {3, nullptr, 0},
                   {5, "SELECT a FROM T", {}, nullptr, "X7YZ_____2"},
                   {5, "SELECT b FROM U", {}, nullptr, "X7YZ_____1"}}),
       "union", "SELECT b FROM U\r\nUNION ALL SELECT a FROM T;"},
      {"an append of values",
       Query(64, {{1, nullptr, 3, "Pedidos"},
                  {6, "1", -32768, nullptr, "Id"},
                  {6, "'x'", -32768, nullptr, "Nota final"}}),
       "append", "INSERT INTO Pedidos (Id, [Nota final])\r\nVALUES (1, 'x');"},
      {"an update of a bracketed target, from another database",
       Query(48, {{1, nullptr, 4},
                  {4, "dBASE IV;", {}, "C:\\datos"},
                  {5, nullptr, {}, "Tabla 2"},
                  {6, "0", 0, nullptr, "[Tabla 2].Importe neto"},
                  {8, "Importe Is Null"}}),
       "update",
       "UPDATE [Tabla 2] IN 'C:\\datos' [dBASE IV;]\r\nSET [Tabla 2].[Importe neto] = 0\r\nWHERE "
       "Importe Is Null;"},
      {"a make-table into another file",
       Query(80, {{1, nullptr, 2, "Copia", "C:\\otra.mdb"}, {5, nullptr, {}, "A"}, {6, "A.x", 0}}),
       "make-table", "SELECT A.x INTO Copia IN 'C:\\otra.mdb'\r\nFROM A;"},
      {"a crosstab: value, row headings, pivot",
       Query(16, {{1, nullptr, 6},
                  {5, nullptr, {}, "V"},
                  {6, "Sum(V.n)", 0, "Total"},
                  {6, "V.a", 2},
                  {6, "V.b", 1},
                  {9, "V.a", 2},
                  {9, "V.b", 1}}),
       "crosstab",
       "TRANSFORM Sum(V.n) AS Total\r\nSELECT V.a\r\nFROM V\r\nGROUP BY V.a\r\nPIVOT V.b;"},
      {"a delete named by its type row while its object flags say select",
       Query(0, {{1, nullptr, 5}, {3, nullptr, 1}, {5, nullptr, {}, "A"}, {8, "A.x = 1"}}),
       "delete", "DELETE *\r\nFROM A\r\nWHERE A.x = 1;"},
      {"a DDL query", Query(96, {{1, "DROP TABLE T", 7}}), "ddl", "DROP TABLE T"},
      {"a derived table",
       Query(0, {{1, nullptr, 1}, {5, "SELECT a FROM T", {}, nullptr, "D"}, {6, "D.a", 0}}),
       "select", "SELECT D.a\r\nFROM (SELECT a FROM T) AS D;"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const jet::RebuiltQuery r = jet::RebuildQuery(c.query);
    EXPECT_EQ(r.kind, c.kind);
    EXPECT_EQ(r.jet_sql, c.jet_sql) << r.problem;
  }
  const jet::RebuiltQuery pass = jet::RebuildQuery(Query(112, {{1, "SELECT 1", 8, "ODBC;DSN=x"}}));
  EXPECT_EQ(pass.kind, "pass-through");
  EXPECT_EQ(pass.jet_sql, "SELECT 1");
  EXPECT_EQ(pass.connect, "ODBC;DSN=x");
}

TEST(QueryRebuild, RowsThatMakeNoQueryAreNamedNotGuessed) {
  struct Case {
    const char* what;
    QueryObject query;
    const char* problem;
  };
  const Case cases[] = {
      {"two WHERE rows", Query(0, {{5, nullptr, {}, "A"}, {6, "A.x", 0}, {8, "a"}, {8, "b"}}),
       "2 filas de atributo 8"},
      {"a union without its second part", Query(128, {{5, "SELECT 1", {}, nullptr, "X7YZ_____1"}}),
       "X7YZ_____2"},
      {"a join of an unknown kind",
       Query(0, {{5, nullptr, {}, "A"}, {5, nullptr, {}, "B"}, {7, "A.x = B.x", 7, "A", "B"}}),
       "tipo desconocido 7"},
      {"conditions of one pair of tables with two kinds",
       Query(0, {{5, nullptr, {}, "A"},
                 {5, nullptr, {}, "B"},
                 {7, "A.x = B.x", 1, "A", "B"},
                 {7, "A.y = B.y", 2, "A", "B"}}),
       "no son del mismo tipo"},
      {"a parameter of an unknown type", Query(0, {{2, nullptr, 99, "p"}, {5, nullptr, {}, "A"}}),
       "tipo desconocido 99"},
      {"a kind Jet files do not hold", Query(224, {{1, nullptr, 0}}),
       "tipo de consulta desconocido"},
      {"a crosstab without pivot", Query(16, {{5, nullptr, {}, "V"}, {6, "Sum(V.n)", 0}}), "PIVOT"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const jet::RebuiltQuery r = jet::RebuildQuery(c.query);
    EXPECT_EQ(r.jet_sql, "");
    EXPECT_NE(r.problem.find(c.problem), std::string::npos) << r.problem;
  }
  QueryObject cut = Query(0, {{5, nullptr, {}, "A"}, {6, "A.x", 0}});
  cut.problem = "un texto de la consulta es más largo de lo que se puede leer";
  EXPECT_EQ(jet::RebuildQuery(cut).jet_sql, "");
}

}  // namespace
}  // namespace brenquil::test
