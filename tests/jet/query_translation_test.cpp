// Jet queries translated into SQLite: the texts written for each construct,
// the rows the views return against tables declared and filled with plain
// SQL (compared with what Jet answers), and the constructs refused.
#include <gtest/gtest.h>

#include <algorithm>

#include "jet/query_translation.h"
#include "tests/support/test_support.h"

namespace brenquil::test {
namespace {

using jet::Catalogue;
using jet::TranslateQuery;
using jet::ValueType;
using Rows = std::vector<std::vector<std::string>>;

Catalogue People() {
  Catalogue c;
  c.AddTable("Personas", {{"Id", ValueType::kInteger},
                          {"Nombre", ValueType::kText},
                          {"Apellido", ValueType::kText},
                          {"Activo", ValueType::kYesNoStored},
                          {"Alta", ValueType::kDate},
                          {"Saldo", ValueType::kNumber},
                          {"Importe", ValueType::kCurrency},
                          {"Edad", ValueType::kInteger}});
  c.AddTable("Pedidos", {{"PedidoId", ValueType::kInteger},
                         {"PersonaId", ValueType::kInteger},
                         {"Total", ValueType::kCurrency}});
  return c;
}

// The same tables as the sqlite3 shell would declare them, Yes/No stored as
// 1 and 0 and dates as 'YYYY-MM-DD HH:MM:SS'.
class TranslationRows : public ::testing::Test {
 protected:
  void SetUp() override {
    RawExec(
        db_,
        "CREATE TABLE Personas (Id INTEGER PRIMARY KEY, Nombre VARCHAR(50), Apellido VARCHAR(50),"
        " Activo BOOLEAN NOT NULL, Alta DATETIME, Saldo DOUBLE, Importe CURRENCY, Edad SMALLINT);"
        "INSERT INTO Personas VALUES"
        " (1, 'Ana', 'García', 1, '2003-01-02 00:00:00', 2.5, 10.5, 30),"
        " (2, 'ana', NULL, 0, '2003-01-02 10:30:00', 3.5, 20, 40),"
        " (3, 'Luis', 'Pérez', 1, '1999-12-31 00:00:00', -2.5, NULL, 40),"
        " (4, NULL, 'López', 0, NULL, NULL, 0, 25),"
        " (5, 'Bea_1', 'x%y', 1, '2010-06-15 08:00:00', 0.5, 5, 40),"
        " (6, NULL, NULL, 0, NULL, NULL, NULL, NULL);"
        "CREATE TABLE Pedidos (PedidoId INTEGER PRIMARY KEY, PersonaId INTEGER, Total CURRENCY);"
        "INSERT INTO Pedidos VALUES (10, 1, 100), (11, 1, 50), (12, 3, 7), (13, 9, 1);");
  }

  // The rows of the view made from `jet_sql`.
  Rows ViewRows(const std::string& jet_sql) {
    const jet::Translation t = TranslateQuery(jet_sql, catalogue_);
    EXPECT_FALSE(t.sqlite_sql.empty()) << jet_sql << "\n" << t.reason;
    if (t.sqlite_sql.empty()) return {};
    const std::string name = "v" + std::to_string(views_++);
    try {
      RawExec(db_, "CREATE VIEW " + name + " AS " + t.sqlite_sql);
      return RawQuery(db_, "SELECT * FROM " + name);
    } catch (const std::exception& e) {
      ADD_FAILURE() << jet_sql << "\n" << t.sqlite_sql << "\n" << e.what();
      return {};
    }
  }

  TempDir dir_;
  std::string db_ = dir_ / "t.db";
  Catalogue catalogue_ = People();
  int views_ = 0;
};

Rows Column(std::initializer_list<std::string> values) {
  Rows rows;
  for (const std::string& v : values) rows.push_back({v});
  return rows;
}

Rows Sorted(Rows rows) {
  std::sort(rows.begin(), rows.end());
  return rows;
}

TEST_F(TranslationRows, ViewsReturnWhatJetReturns) {
  struct Case {
    const char* jet_sql;
    Rows expected;
  };
  const Case cases[] = {
      // & reads Null as "", and gives Null only when both sides are Null
      {"SELECT Nombre & \" \" & Apellido AS N FROM Personas WHERE Id <= 5 ORDER BY Id",
       Column({"Ana García", "ana ", "Luis Pérez", " López", "Bea_1 x%y"})},
      {"SELECT Nombre & Apellido AS N FROM Personas WHERE Id IN (4, 6) ORDER BY Id",
       Column({"López", "NULL"})},
      {"SELECT Id & \"-\" & Edad AS N FROM Personas WHERE Id = 1", Column({"1-30"})},
      // Jet's True is -1; the stored Yes is 1
      {"SELECT Id FROM Personas WHERE Activo = True ORDER BY Id", Column({"1", "3", "5"})},
      {"SELECT Id FROM Personas WHERE Activo = -1 ORDER BY Id", Column({"1", "3", "5"})},
      {"SELECT Id FROM Personas WHERE Activo ORDER BY Id", Column({"1", "3", "5"})},
      {"SELECT Id FROM Personas WHERE Not Activo ORDER BY Id", Column({"2", "4", "6"})},
      {"SELECT Id FROM Personas WHERE Activo = No And Edad > 30", Column({"2"})},
      {"SELECT Sum(Activo) AS S FROM Personas", Column({"-3"})},
      {"SELECT Activo FROM Personas WHERE Id = 1", Column({"1"})},
      {"SELECT (Edad > 30) AS Mayor FROM Personas WHERE Id IN (1, 2) ORDER BY Id",
       Column({"0", "-1"})},
      {"SELECT Id FROM Personas ORDER BY Activo, Id", Column({"1", "3", "5", "2", "4", "6"})},
      // text compares without regard to letter case
      {"SELECT Id FROM Personas WHERE Nombre = \"ANA\" ORDER BY Id", Column({"1", "2"})},
      {"SELECT Count(*) AS N FROM (SELECT DISTINCT Nombre FROM Personas WHERE Id <= 2) AS D",
       Column({"1"})},
      {"SELECT Count(*) AS N FROM Personas WHERE Id <= 3 GROUP BY Nombre ORDER BY Count(*)",
       Column({"1", "2"})},
      {"SELECT Count(*) AS N FROM (SELECT Nombre FROM Personas WHERE Id = 1"
       " UNION SELECT Nombre FROM Personas WHERE Id = 2) AS U",
       Column({"1"})},
      {"SELECT Nombre FROM Personas WHERE Id = 1 UNION ALL SELECT Nombre FROM Personas WHERE Id = "
       "2",
       Column({"Ana", "ana"})},
      {"SELECT Id FROM Personas WHERE Id < 4 ORDER BY Nombre DESC, Id", Column({"3", "1", "2"})},
      // Like's wildcards, and its case rule
      {"SELECT Id FROM Personas WHERE Nombre Like \"a*\" ORDER BY Id", Column({"1", "2"})},
      {"SELECT Id FROM Personas WHERE Nombre Like \"?NA\" ORDER BY Id", Column({"1", "2"})},
      {"SELECT Id FROM Personas WHERE Nombre Like \"*_#\"", Column({"5"})},
      {"SELECT Id FROM Personas WHERE Nombre Like \"[!a-b]*\"", Column({"3"})},
      {"SELECT Id FROM Personas WHERE Apellido Like \"*%*\"", Column({"5"})},
      {"SELECT Id FROM Personas WHERE Nombre Like \"B[a-f]a[_]#\"", Column({"5"})},
      {"SELECT Id FROM Personas WHERE Nombre Not Like \"*a*\" ORDER BY Id", Column({"3"})},
      // #dates# and date functions over the stored text
      {"SELECT Id FROM Personas WHERE Alta = #1/2/2003#", Column({"1"})},
      {"SELECT Id FROM Personas WHERE Alta >= #2003-01-02# And Alta < #1/3/2003# ORDER BY Id",
       Column({"1", "2"})},
      {"SELECT Id FROM Personas WHERE Alta Between #12/31/1999# And #1/2/2003 10:30 AM# ORDER BY "
       "Id",
       Column({"1", "2", "3"})},
      {"SELECT Year(Alta) AS Y, Month(Alta) AS M, Day(Alta) AS D, Hour(Alta) AS H FROM Personas "
       "WHERE Id = 2",
       {{"2003", "1", "2", "10"}}},
      {"SELECT Format(Alta, \"yyyy-mm-dd hh-nn\") AS F FROM Personas WHERE Id = 2",
       Column({"2003-01-02 10-30"})},
      {"SELECT Weekday(Alta) AS W FROM Personas WHERE Id = 1", Column({"5"})},  // a Thursday
      {"SELECT Count(*) AS N FROM Personas WHERE Alta < Now() And Date() > #1/1/2020#",
       Column({"4"})},
      // functions
      {"SELECT IIf(Saldo > 0, \"pos\", \"neg\") AS S FROM Personas ORDER BY Id",
       Column({"pos", "pos", "neg", "neg", "pos", "neg"})},
      {"SELECT Nz(Apellido, \"-\") AS A, Nz(Apellido) AS B FROM Personas WHERE Id = 2",
       {{"-", ""}}},
      {"SELECT CInt(Saldo) AS C FROM Personas ORDER BY Id",
       Column({"2", "4", "-2", "NULL", "0", "NULL"})},
      {"SELECT CLng(Edad) + CCur(Importe) AS C FROM Personas WHERE Id = 1", Column({"40.5"})},
      {"SELECT CDbl(Edad) / 8 AS D, Edad / 8 AS E, Edad \\ 8 AS F, Edad Mod 8 AS G FROM Personas "
       "WHERE Id = 1",
       {{"3.75", "3.75", "3", "6"}}},
      {"SELECT Int(Saldo) AS I, Fix(Saldo) AS F, Abs(Saldo) AS A, Sgn(Saldo) AS S FROM Personas "
       "WHERE Id = 3",
       {{"-3", "-2", "2.5", "-1"}}},
      {"SELECT Left(Nombre, 2) AS L, Right(Nombre, 2) AS R, Mid(Nombre, 2, 2) AS M, Mid(Nombre, 3) "
       "AS N,"
       " Right(Nombre, 10) AS R2, Right(Nombre, 0) AS R3, Len(Nombre) AS K FROM Personas WHERE Id "
       "= 3",
       {{"Lu", "is", "ui", "is", "Luis", "", "4"}}},
      {"SELECT Left$(Nombre, 1) & Mid$(Apellido, 2) AS I FROM Personas WHERE Id = 3",
       Column({"Lérez"})},
      {"SELECT Trim(\"  a  \") & \"|\" & LTrim(\" b \") & \"|\" & RTrim(\" c \") AS T, CStr(Edad) "
       "AS S,"
       " Replace(Apellido, \"%\", \"+\") AS R FROM Personas WHERE Id = 5",
       {{"a|b | c", "40", "x+y"}}},
      {"SELECT Count(Apellido) AS C, Max(Edad) AS Ma, Avg(Edad) AS A FROM Personas WHERE Id <= 4",
       {{"3", "40", "33.75"}}},
      {"SELECT Max(Nombre) AS M FROM Personas WHERE Id In (2, 3)", Column({"Luis"})},
      {"SELECT Id FROM Personas WHERE IsNull(Nombre) ORDER BY Id", Column({"4", "6"})},
      // TOP keeps the rows tied with the last one; without ORDER BY any n rows
      {"SELECT TOP 2 Id FROM Personas ORDER BY Edad DESC", Column({"2", "3", "5"})},
      {"SELECT TOP 1 Edad, Count(*) AS N FROM Personas GROUP BY Edad HAVING Count(*) > 0 ORDER BY "
       "Count(*) DESC",
       {{"40", "3"}}},
      {"SELECT DISTINCT TOP 2 Edad FROM Personas WHERE Edad Is Not Null ORDER BY Edad",
       Column({"25", "30"})},
      {"SELECT TOP 100 PERCENT Id FROM Personas WHERE Id < 3", Column({"1", "2"})},
      // joins, subqueries, derived tables
      {"SELECT Personas.Id, Pedidos.Total FROM Personas LEFT JOIN Pedidos ON Personas.Id = "
       "Pedidos.PersonaId"
       " WHERE Personas.Id <= 2 ORDER BY Personas.Id, Pedidos.Total",
       {{"1", "50"}, {"1", "100"}, {"2", "NULL"}}},
      {"SELECT Pedidos.PedidoId, Personas.Nombre FROM Personas RIGHT JOIN Pedidos ON Personas.Id = "
       "Pedidos.PersonaId"
       " ORDER BY Pedidos.PedidoId",
       {{"10", "Ana"}, {"11", "Ana"}, {"12", "Luis"}, {"13", "NULL"}}},
      {"SELECT DISTINCTROW Nombre FROM Personas WHERE Id <= 2", Column({"Ana", "ana"})},
      {"SELECT Id FROM Personas WHERE Id In (SELECT PersonaId FROM Pedidos) ORDER BY Id",
       Column({"1", "3"})},
      {"SELECT Id FROM Personas AS P WHERE Exists (SELECT * FROM Pedidos WHERE Pedidos.PersonaId = "
       "P.Id)"
       " ORDER BY Id",
       Column({"1", "3"})},
      {"SELECT Id, (SELECT Count(*) FROM Pedidos WHERE PersonaId = Personas.Id) AS N FROM Personas "
       "WHERE Id <= 2"
       " ORDER BY Id",
       {{"1", "2"}, {"2", "0"}}},
      {"SELECT T.N FROM (SELECT Nombre AS N FROM Personas WHERE Id = 3) AS T", Column({"Luis"})},
      {"SELECT X.N FROM [SELECT Nombre AS N FROM Personas WHERE Id = 3]. AS X", Column({"Luis"})},
      {"SELECT Count(*) FROM Personas", Column({"6"})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.jet_sql);
    Rows rows = ViewRows(c.jet_sql);
    if (std::string(c.jet_sql).find("TOP 2 Id") != std::string::npos) rows = Sorted(rows);
    EXPECT_EQ(rows, c.expected);
  }
}

TEST_F(TranslationRows, ColumnsAreNamedAsJetNamesThem) {
  struct Case {
    const char* jet_sql;
    std::vector<std::string> names;
  };
  const Case cases[] = {
      {"SELECT Nombre, Edad + 1, Count(*) AS N, Edad * 2 FROM Personas GROUP BY Nombre, Edad",
       {"Nombre", "Expr1000", "N", "Expr1001"}},
      {"SELECT Personas.*, Pedidos.Total FROM Personas INNER JOIN Pedidos ON Personas.Id = "
       "Pedidos.PersonaId",
       {"Id", "Nombre", "Apellido", "Activo", "Alta", "Saldo", "Importe", "Edad", "Total"}},
      {"SELECT P.Id, Q.Id FROM Personas AS P, Personas AS Q WHERE P.Id = Q.Id", {"P.Id", "Q.Id"}},
      {"SELECT * FROM Personas AS P INNER JOIN Personas AS Q ON P.Id = Q.Id",
       {"P.Id", "P.Nombre", "P.Apellido", "P.Activo", "P.Alta", "P.Saldo", "P.Importe", "P.Edad",
        "Q.Id", "Q.Nombre", "Q.Apellido", "Q.Activo", "Q.Alta", "Q.Saldo", "Q.Importe", "Q.Edad"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.jet_sql);
    const jet::Translation t = TranslateQuery(c.jet_sql, catalogue_);
    std::vector<std::string> names;
    for (const jet::Column& column : t.columns) names.push_back(column.name);
    EXPECT_EQ(names, c.names);
    ASSERT_FALSE(t.sqlite_sql.empty()) << t.reason;
    RawExec(db_, "CREATE VIEW w" + std::to_string(views_++) + " AS " + t.sqlite_sql);
    EXPECT_EQ(RawColumns(db_, "w" + std::to_string(views_ - 1)), c.names);
  }
}

TEST(QueryTranslation, WritesEachConstructAsSQLiteReadsIt) {
  struct Case {
    const char* jet_sql;
    const char* sqlite_sql;
  };
  const Case cases[] = {
      {"SELECT [Nombre] FROM [Personas];",
       "SELECT \"Personas\".\"Nombre\" AS \"Nombre\" FROM \"Personas\""},
      {"SELECT nombre FROM PERSONAS",
       "SELECT \"Personas\".\"Nombre\" AS \"Nombre\" FROM \"Personas\""},
      {"SELECT Id FROM Personas WHERE Alta = #1/2/2003 10:30 PM#",
       "SELECT \"Personas\".\"Id\" AS \"Id\" FROM \"Personas\" WHERE (\"Personas\".\"Alta\" = "
       "'2003-01-02 22:30:00')"},
      {"SELECT Nombre & \"x\" AS N FROM Personas",
       "SELECT (coalesce(\"Personas\".\"Nombre\", '') || 'x') AS \"N\" FROM \"Personas\""},
      {"SELECT Id FROM Personas WHERE Activo = Yes",
       "SELECT \"Personas\".\"Id\" AS \"Id\" FROM \"Personas\" WHERE ((-\"Personas\".\"Activo\") = "
       "-1)"},
      {"SELECT TOP 3 Id FROM Personas",
       "SELECT \"Personas\".\"Id\" AS \"Id\" FROM \"Personas\" LIMIT 3"},
      {"SELECT DISTINCTROW Id FROM Personas",
       "SELECT \"Personas\".\"Id\" AS \"Id\" FROM \"Personas\""},
      {"SELECT IIf(Activo, 1, 0) AS A FROM Personas",
       "SELECT (CASE WHEN (-\"Personas\".\"Activo\") THEN 1 ELSE 0 END) AS \"A\" FROM "
       "\"Personas\""},
      {"SELECT Nz(Saldo, 0) AS S FROM Personas",
       "SELECT coalesce(\"Personas\".\"Saldo\", 0) AS \"S\" FROM \"Personas\""},
      {"SELECT Id FROM Personas WHERE Nombre Like \"A*\"",
       "SELECT \"Personas\".\"Id\" AS \"Id\" FROM \"Personas\" WHERE (\"Personas\".\"Nombre\" LIKE "
       "'A%')"},
      {"SELECT * FROM Personas", "SELECT * FROM \"Personas\""},
      {"SELECT P.* FROM Personas P", "SELECT \"P\".* FROM \"Personas\" AS \"P\""},
  };
  const Catalogue catalogue = People();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.jet_sql);
    const jet::Translation t = TranslateQuery(c.jet_sql, catalogue);
    EXPECT_EQ(t.sqlite_sql, c.sqlite_sql) << t.reason;
  }
}

TEST(QueryTranslation, RefusesWhatSQLiteCannotSayExactly) {
  struct Case {
    const char* jet_sql;
    const char* reason_holds;
  };
  const Case cases[] = {
      {"PARAMETERS [Desde] DateTime; SELECT Id FROM Personas WHERE Alta > [Desde]",
       "parámetros ([Desde])"},
      {"SELECT Id FROM Personas WHERE Nombre = [Forms]![Clientes]![Nombre]", "formulario"},
      {"SELECT Id FROM Personas WHERE Nombre = [Escriba un nombre]",
       "[Escriba un nombre] no es un campo"},
      {"SELECT Personas.Sueldo FROM Personas", "[Personas].[Sueldo] no es un campo"},
      {"SELECT Id FROM Clientes", "«Clientes», que no es una tabla ni una consulta"},
      {"SELECT UCase(Nombre) AS U FROM Personas", "UCase"},
      {"SELECT StDev(Saldo) AS X FROM Personas", "la función StDev"},
      {"SELECT First(Nombre) AS X FROM Personas", "la función First"},
      {"SELECT TOP 10 PERCENT Id FROM Personas ORDER BY Id", "PERCENT"},
      {"SELECT TOP 2.5 Id FROM Personas", "TOP 2.5"},
      {"SELECT DISTINCTROW Personas.Id FROM Personas INNER JOIN Pedidos ON Personas.Id = "
       "Pedidos.PersonaId",
       "DISTINCTROW"},
      {"SELECT Saldo & \"x\" AS X FROM Personas", "& con un número con decimales"},
      {"SELECT Alta & \"x\" AS X FROM Personas", "& con una fecha"},
      {"SELECT Activo & \"x\" AS X FROM Personas", "& con un valor Sí/No"},
      {"SELECT Alta + 1 AS X FROM Personas", "con una fecha"},
      {"SELECT Id FROM Personas WHERE Alta > \"1/1/2003\"", "compara una fecha con un texto"},
      {"SELECT Id FROM Personas WHERE Nombre Like Apellido", "patrón de Like"},
      {"SELECT CCur(Saldo) AS C FROM Personas", "CCur"},
      {"SELECT CInt(Nombre) AS C FROM Personas", "CInt sobre un texto"},
      {"SELECT Format(Alta, \"dd/mm/yyyy\") AS F FROM Personas", "Format"},
      {"SELECT Format(Saldo, \"0.00\") AS F FROM Personas", "Format sobre un número"},
      {"SELECT Id FROM Personas WHERE Alta = #13/1/2003#", "#13/1/2003#"},
      {"SELECT Saldo Mod 2 AS M FROM Personas", "Mod con números con decimales"},
      {"SELECT 2 ^ 3 AS P FROM Personas", "operador ^"},
      {"SELECT Edad And 1 AS X FROM Personas", "bit a bit"},
      {"SELECT Id FROM Personas WHERE Activo Xor True", "XOR"},
      {"SELECT Id FROM Personas WHERE Edad > Avg(Edad)", "agregado en WHERE"},
      {"SELECT Id FROM Personas WHERE", "no se pudo leer"},
      {"SELECT Id FROM Personas IN 'otra.mdb'", "otra base de datos"},
      {"SELECT Total FROM Pedidos AS A, Pedidos AS B", "ambiguo"},
      {"SELECT Nombre FROM Personas UNION SELECT Nombre, Apellido FROM Personas",
       "mismo número de columnas"},
      {"SELECT Activo FROM Personas UNION SELECT Edad > 3 FROM Personas", "mezcla un campo Sí/No"},
      {"SELECT Nombre FROM Personas UNION SELECT Apellido FROM Personas ORDER BY Edad",
       "ORDER BY de la unión"},
      {"SELECT Id, Id FROM Personas", "se llaman"},
      {"SELECT Nombre INTO Copia FROM Personas", "SELECT ... INTO"},
  };
  const Catalogue catalogue = People();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.jet_sql);
    const jet::Translation t = TranslateQuery(c.jet_sql, catalogue);
    EXPECT_TRUE(t.sqlite_sql.empty()) << t.sqlite_sql;
    EXPECT_NE(t.reason.find(c.reason_holds), std::string::npos) << t.reason;
  }
}

// A damaged file can hold any text: nesting deeper than any query is refused
// before anything walks it, so the import cannot run out of stack.
TEST(QueryTranslation, RefusesTextsNestedBeyondAnyQuery) {
  const std::string deep_parentheses =
      "SELECT " + std::string(2000, '(') + "1" + std::string(2000, ')') + " AS X FROM Personas";
  std::string long_chain = "SELECT 1";
  for (int i = 0; i < 2000; ++i) long_chain += " + 1";
  long_chain += " AS X FROM Personas";
  std::string nested_subqueries = "SELECT Id FROM Personas WHERE Id IN ";
  for (int i = 0; i < 1000; ++i) nested_subqueries += "(SELECT Id FROM Personas WHERE Id IN ";
  std::string joins = "SELECT Personas.Id FROM Personas";
  for (int i = 0; i < 1000; ++i)
    joins += " INNER JOIN Pedidos AS P" + std::to_string(i) + " ON 1 = 1";
  const Catalogue catalogue = People();
  for (const std::string& text : {deep_parentheses, long_chain, nested_subqueries, joins}) {
    const jet::Translation t = TranslateQuery(text, catalogue);
    EXPECT_EQ(t.sqlite_sql, "");
    EXPECT_NE(t.reason.find("anida demasiadas expresiones"), std::string::npos) << t.reason;
    EXPECT_TRUE(jet::SourceNames(text).empty());
  }
  EXPECT_EQ(jet::DateLiteral(std::string(100000, ' ') + "1/2/2003"), "");
  // Nesting as deep as real queries go is read.
  std::string usual =
      "SELECT Id FROM Personas WHERE " + std::string(30, '(') + "Id = 1" + std::string(30, ')');
  EXPECT_NE(TranslateQuery(usual, catalogue).sqlite_sql, "");
}

TEST(QueryTranslation, ReadsDateLiteralsOneWayOnly) {
  const std::pair<const char*, const char*> cases[] = {
      {"1/2/2003", "2003-01-02 00:00:00"},
      {"2003-01-02", "2003-01-02 00:00:00"},
      {"2003/1/2 8:05:09", "2003-01-02 08:05:09"},
      {"1/2/03", "2003-01-02 00:00:00"},
      {"1/2/45", "1945-01-02 00:00:00"},
      {"10:30:15", "1899-12-30 10:30:15"},
      {"12:00 AM", "1899-12-30 00:00:00"},
      {"12:30 pm", "1899-12-30 12:30:00"},
      {"2-Mar-2004", "2004-03-02 00:00:00"},
      {"2/29/2000", "2000-02-29 00:00:00"},
      {"1/1/100", "0100-01-01 00:00:00"},
      {"12/31/9999 23:59:59", "9999-12-31 23:59:59"},
      {"13/1/2003", ""},
      {"2/29/2001", ""},
      {"1/1/99999", ""},
      {"25:00", ""},
      {"13:00 PM", ""},
      {"", ""},
      {"tomorrow", ""},
  };
  for (const auto& [text, stored] : cases) EXPECT_EQ(jet::DateLiteral(text), stored) << text;
}

TEST(QueryTranslation, NamesTheQueriesItReads) {
  Catalogue catalogue = People();
  catalogue.AddView("Activos", {{"Id", ValueType::kInteger}, {"Nombre", ValueType::kText}});
  catalogue.AddRefused("Por fecha", "tiene parámetros");
  jet::Translation t = TranslateQuery(
      "SELECT A.Nombre FROM Activos AS A WHERE A.Id In (SELECT Id FROM activos WHERE Id > 1)",
      catalogue);
  EXPECT_EQ(t.queries, std::vector<std::string>{"Activos"});
  EXPECT_NE(t.sqlite_sql.find("FROM \"Activos\" AS \"A\""), std::string::npos) << t.sqlite_sql;

  t = TranslateQuery("SELECT Id FROM [Por fecha]", catalogue);
  EXPECT_TRUE(t.sqlite_sql.empty());
  EXPECT_EQ(t.reason, "lee la consulta «Por fecha», que no puede ser una vista");

  EXPECT_EQ(jet::SourceNames(
                "SELECT * FROM (A INNER JOIN B ON A.x = B.x), C WHERE Exists (SELECT * FROM D)"
                " UNION SELECT * FROM a"),
            (std::vector<std::string>{"A", "B", "C", "D"}));
}

}  // namespace
}  // namespace brenquil::test
