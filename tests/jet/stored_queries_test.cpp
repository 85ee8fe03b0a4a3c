// The stored queries of genuine Jet files, read through libmdb, and queries
// that read other queries. The genuine files live in ../shared/jet; the tests
// that need them are skipped, saying so, when it is absent.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "jet/stored_queries.h"
#include "tests/support/test_support.h"

namespace brenquil::test {
namespace {

using jet::StoredQuery;

std::string JetFile(const std::string& name) {
  return std::string(BRENQUIL_JET_FILES) + "/" + name;
}

#define REQUIRE_JET_FILES()                               \
  if (!std::filesystem::is_directory(BRENQUIL_JET_FILES)) \
  GTEST_SKIP() << "the genuine Jet files are absent (" << BRENQUIL_JET_FILES << "): skipped"

// An open Jet file, closed at the end.
struct OpenJet {
  explicit OpenJet(const std::string& path) : mdb(mdb_open(path.c_str(), MDB_NOFLAGS)) {}
  ~OpenJet() {
    if (mdb) mdb_close(mdb);
  }
  MdbHandle* mdb;
};

// What the query test files declare, as their MSysQueries rows say.
const std::map<std::string, std::pair<std::string, std::string>>& Declared() {
  static const std::map<std::string, std::pair<std::string, std::string>> queries = {
      {"SelectQuery",
       {"select",
        "SELECT DISTINCT Table1.*, Table2.col1, Table2.col2, Table3.col3\r\n"
        "FROM (Table1 LEFT JOIN Table3 ON Table1.col1 = Table3.col1) INNER JOIN Table2 ON "
        "(Table3.col1 = "
        "Table2.col2) AND (Table3.col1 = Table2.col1)\r\n"
        "WHERE (((Table2.col2)=\"foo\" Or (Table2.col2) In (\"buzz\",\"bazz\")))\r\n"
        "ORDER BY Table2.col1;"}},
      {"DeleteQuery",
       {"delete",
        "DELETE Table1.col1, Table1.col2, Table1.col3\r\nFROM Table1\r\nWHERE "
        "(((Table1.col1)>\"blah\"));"}},
      {"AppendQuery",
       {"append",
        "INSERT INTO Table3 (col2, col2, col3)\r\n"
        "SELECT [Table1].[col2], [Table2].[col2], [Table2].[col3]\r\n"
        "FROM Table3, Table1 INNER JOIN Table2 ON [Table1].[col1]=[Table2].[col1];"}},
      {"UpdateQuery",
       {"update",
        "PARAMETERS [User Name] Text;\r\n"
        "UPDATE Table1\r\n"
        "SET Table1.col1 = \"foo\", Table1.col2 = [Table2].[col3], [Table2].[col1] = [User "
        "Name]\r\n"
        "WHERE ((([Table2].[col1]) Is Not Null));"}},
      {"MakeTableQuery",
       {"make-table",
        "SELECT Max(Table2.col1) AS MaxOfcol1, Table2.col2, Table3.col2 INTO Table4\r\n"
        "FROM (Table2 INNER JOIN Table1 ON Table2.col1 = Table1.col2) RIGHT JOIN Table3 ON "
        "Table1.col2 = "
        "Table3.col3\r\n"
        "GROUP BY Table2.col2, Table3.col2\r\n"
        "HAVING (((Max(Table2.col1))=\"buzz\") AND ((Table2.col2)<>\"blah\"));"}},
      {"CrosstabQuery",
       {"crosstab",
        "TRANSFORM Count([Table2].[col2]) AS CountOfcol2\r\n"
        "SELECT Table2_1.col1, [Table2].[col3], Avg(Table2_1.col2) AS AvgOfcol2\r\n"
        "FROM (Table1 INNER JOIN Table2 ON [Table1].[col1]=[Table2].[col1]) INNER JOIN Table2 AS "
        "Table2_1 ON "
        "[Table2].[col1]=Table2_1.col3\r\n"
        "WHERE ((([Table1].[col1])>\"10\") And ((Table2_1.col1) Is Not Null) And "
        "((Avg(Table2_1.col2))>\"10\"))\r\n"
        "GROUP BY Table2_1.col1, [Table2].[col3]\r\n"
        "ORDER BY [Table2].[col3]\r\n"
        "PIVOT [Table1].[col1];"}},
      {"UnionQuery",
       {"union",
        "Select Table1.col1, Table1.col2\r\n"
        "where Table1.col1 = \"foo\"\r\n"
        "UNION\r\n"
        "Select Table2.col1, Table2.col2\r\n"
        "UNION ALL Select Table3.col1, Table3.col2\r\n"
        "where Table3.col3 > \"blah\";"}},
      {"PassthroughQuery", {"pass-through", "ALTER TABLE Table4 DROP COLUMN col5;"}},
      {"DataDefinitionQuery", {"ddl", "CREATE TABLE Table5 (col1 CHAR, col2 CHAR);"}},
  };
  return queries;
}

TEST(GenuineStoredQueries, EveryQueryIsFoundWithItsKindAndItsJetSql) {
  REQUIRE_JET_FILES();
  const std::map<std::string, std::vector<std::string>> order = {
      {"queryTestV1997.mdb",
       {"AppendQuery", "CrosstabQuery", "DataDefinitionQuery", "DeleteQuery", "MakeTableQuery",
        "PassthroughQuery", "SelectQuery", "UnionQuery", "UpdateQuery"}},
      {"queryTestV2000.mdb",
       {"SelectQuery", "UpdateQuery", "AppendQuery", "DeleteQuery", "MakeTableQuery",
        "CrosstabQuery", "UnionQuery", "PassthroughQuery", "DataDefinitionQuery"}},
      {"queryTestV2003.mdb",
       {"SelectQuery", "UpdateQuery", "AppendQuery", "DeleteQuery", "MakeTableQuery",
        "CrosstabQuery", "UnionQuery", "PassthroughQuery", "DataDefinitionQuery"}},
  };
  for (const auto& [file, names] : order) {
    SCOPED_TRACE(file);
    OpenJet jet(JetFile(file));
    ASSERT_NE(jet.mdb, nullptr);
    const std::vector<StoredQuery> queries = jet::ReadStoredQueries(jet.mdb);
    std::vector<std::string> found;
    for (const StoredQuery& q : queries) {
      SCOPED_TRACE(q.name);
      found.push_back(q.name);
      ASSERT_TRUE(Declared().count(q.name));
      EXPECT_EQ(q.kind, Declared().at(q.name).first);
      EXPECT_EQ(q.jet_sql, Declared().at(q.name).second);
      // Only the select query reads tables alone; the union's parts have no
      // FROM, so Jet would ask for Table1.col1 as a parameter.
      if (q.name == "SelectQuery") {
        EXPECT_NE(q.sqlite_sql, "") << q.reason;
        EXPECT_EQ(q.reason, "");
      } else {
        EXPECT_EQ(q.sqlite_sql, "");
        EXPECT_NE(q.reason, "");
      }
      EXPECT_TRUE(q.depends_on.empty());
    }
    EXPECT_EQ(found, names);
    const auto reason = [&](const std::string& name) {
      for (const StoredQuery& q : queries) {
        if (q.name == name) return q.reason;
      }
      return std::string();
    };
    EXPECT_EQ(reason("UnionQuery"),
              "[Table1].[col1] no es un campo de las tablas de la consulta: Jet lo pide como "
              "parámetro al abrirla");
    EXPECT_EQ(
        reason("PassthroughQuery"),
        "es una consulta de paso a través: su SQL se envía tal cual al servidor ODBC (ODBC;)");
  }
}

// The select query's view, made against the file's tables declared by hand,
// returns what Jet returns: joins and comparisons ignore letter case, and
// DISTINCT drops rows equal but for letter case.
TEST(GenuineStoredQueries, TheSelectQueryBecomesAViewThatAnswersAsJet) {
  REQUIRE_JET_FILES();
  for (const char* file : {"queryTestV1997.mdb", "queryTestV2000.mdb", "queryTestV2003.mdb"}) {
    SCOPED_TRACE(file);
    OpenJet jet(JetFile(file));
    ASSERT_NE(jet.mdb, nullptr);
    std::string select;
    for (const StoredQuery& q : jet::ReadStoredQueries(jet.mdb)) {
      if (q.name == "SelectQuery") select = q.sqlite_sql;
    }
    ASSERT_NE(select, "");
    TempDir dir;
    const std::string db = dir / "q.db";
    RawExec(
        db,
        "CREATE TABLE Table1 (col1 VARCHAR(255), col2 VARCHAR(255), col3 VARCHAR(255));"
        "CREATE TABLE Table2 (col1 VARCHAR(255), col2 VARCHAR(255), col3 VARCHAR(255));"
        "CREATE TABLE Table3 (col1 VARCHAR(255), col2 VARCHAR(255), col3 VARCHAR(255));"
        "INSERT INTO Table1 VALUES ('foo', '1a', '1b'), ('foo', '1A', '1b'), ('Buzz', '2a', '2b'),"
        " ('zip', '3a', '3b'), ('FOO', '4a', '4b');"
        "INSERT INTO Table3 VALUES ('foo', 't2', 't3'), ('buzz', 'u2', 'u3');"
        "INSERT INTO Table2 VALUES ('FOO', 'foo', 'v3'), ('buzz', 'BUZZ', 'w3'), ('zip', 'zip', "
        "'x3'),"
        " ('foo', 'bar', 'y3');"
        "CREATE VIEW SelectQuery AS " +
            select);
    EXPECT_EQ(RawColumns(db, "SelectQuery"),
              (std::vector<std::string>{"Table1.col1", "Table1.col2", "Table1.col3", "Table2.col1",
                                        "Table2.col2", "Table3.col3"}));
    std::vector<std::vector<std::string>> rows = RawQuery(db, "SELECT * FROM SelectQuery");
    ASSERT_EQ(rows.size(), 3u);
    // Ordered by Table2.col1: "buzz" before the two "FOO"s, whose order Jet leaves open.
    EXPECT_EQ(rows[0], (std::vector<std::string>{"Buzz", "2a", "2b", "buzz", "BUZZ", "u3"}));
    std::sort(rows.begin() + 1, rows.end());
    EXPECT_EQ(rows[1], (std::vector<std::string>{"FOO", "4a", "4b", "FOO", "foo", "t3"}));
    EXPECT_EQ(rows[2][0], "foo");
    EXPECT_TRUE(rows[2][1] == "1a" || rows[2][1] == "1A") << rows[2][1];
    EXPECT_EQ(RawQuery(db, "PRAGMA integrity_check"),
              (std::vector<std::vector<std::string>>{{"ok"}}));
  }
}

// The caller keeps its catalogue entries and table definitions: reading the
// queries neither reads the catalogue again nor leaves the bind size changed.
TEST(GenuineStoredQueries, ReadingLeavesTheCallersHandleAsItWas) {
  REQUIRE_JET_FILES();
  OpenJet jet(JetFile("queryTestV2000.mdb"));
  ASSERT_NE(jet.mdb, nullptr);
  ASSERT_NE(mdb_read_catalog(jet.mdb, MDB_ANY), nullptr);
  GPtrArray* catalogue = jet.mdb->catalog;
  MdbTableDef* table = nullptr;
  for (guint i = 0; i < catalogue->len; ++i) {
    auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(catalogue, i));
    if (std::string(entry->object_name) == "Table2") table = mdb_read_table(entry);
  }
  ASSERT_NE(table, nullptr);
  const size_t bind_size = jet.mdb->bind_size;

  EXPECT_EQ(jet::ReadStoredQueries(jet.mdb).size(), 9u);

  EXPECT_EQ(jet.mdb->catalog, catalogue);
  EXPECT_EQ(jet.mdb->bind_size, bind_size);
  EXPECT_STREQ(table->entry->object_name, "Table2");
  ASSERT_NE(mdb_read_columns(table), nullptr);
  EXPECT_EQ(table->num_cols, 3u);
  mdb_free_tabledef(table);
}

TEST(GenuineStoredQueries, FilesWithoutQueriesHaveNone) {
  REQUIRE_JET_FILES();
  for (const char* file : {"testV1997.mdb", "test2V2000.mdb", "indexTestV2003.mdb"}) {
    SCOPED_TRACE(file);
    OpenJet jet(JetFile(file));
    ASSERT_NE(jet.mdb, nullptr);
    EXPECT_TRUE(jet::ReadStoredQueries(jet.mdb).empty());
  }
}

// ---- Queries over queries, from rows made by hand.

jet::QueryObject SelectObject(const std::string& name, const std::string& table,
                              const std::string& column, long flags = 0) {
  jet::QueryObject q;
  q.name = name;
  q.flags = flags;
  jet::QueryRow type, source, output;
  type.attribute = 1;
  type.flag = flags == 16 ? 6 : 1;
  source.attribute = 5;
  source.name1 = table;
  output.attribute = 6;
  output.expression = table + "." + column;
  q.rows = {type, source, output};
  if (flags == 16) {  // a crosstab: the column is the pivot too
    jet::QueryRow value = output, pivot = output;
    value.expression = "Count(*)";
    pivot.flag = 1;
    q.rows = {type, source, value, pivot};
  }
  return q;
}

TEST(JetStoredQueries, AQueryOverAQueryIsAViewOverAView) {
  const std::vector<std::pair<std::string, std::vector<jet::Column>>> tables = {
      {"Clientes", {{"Id", jet::ValueType::kInteger}, {"Nombre", jet::ValueType::kText}}}};
  const std::vector<StoredQuery> queries = jet::StoredQueriesOf(
      {SelectObject("Nombres de nombres", "Nombres", "Nombre"),
       SelectObject("Nombres", "Clientes", "Nombre"), SelectObject("Por cruce", "Cruce", "Nombre"),
       SelectObject("Cruce", "Clientes", "Nombre", 16), SelectObject("Uno", "Otro", "x"),
       SelectObject("Otro", "Uno", "x")},
      tables);
  ASSERT_EQ(queries.size(), 6u);
  EXPECT_EQ(queries[0].depends_on, std::vector<std::string>{"Nombres"});
  EXPECT_EQ(queries[0].sqlite_sql, "SELECT \"Nombres\".\"Nombre\" AS \"Nombre\" FROM \"Nombres\"");
  EXPECT_EQ(queries[1].sqlite_sql,
            "SELECT \"Clientes\".\"Nombre\" AS \"Nombre\" FROM \"Clientes\"");
  EXPECT_EQ(queries[2].reason, "lee la consulta «Cruce», que no puede ser una vista");
  EXPECT_EQ(queries[3].kind, "crosstab");
  EXPECT_EQ(queries[4].reason, "lee consultas que a su vez la leen a ella");
  EXPECT_EQ(queries[5].reason, "lee consultas que a su vez la leen a ella");

  const std::vector<size_t> order = jet::ViewOrder(queries);
  EXPECT_EQ(order, (std::vector<size_t>{1, 0}));
  TempDir dir;
  const std::string db = dir / "v.db";
  RawExec(db,
          "CREATE TABLE Clientes (Id INTEGER, Nombre VARCHAR(50)); INSERT INTO Clientes VALUES (1, "
          "'Ana');");
  for (size_t i : order)
    RawExec(db, "CREATE VIEW \"" + queries[i].name + "\" AS " + queries[i].sqlite_sql);
  EXPECT_EQ(RawQuery(db, "SELECT * FROM \"Nombres de nombres\""),
            (std::vector<std::vector<std::string>>{{"Ana"}}));
}

}  // namespace
}  // namespace brenquil::test
