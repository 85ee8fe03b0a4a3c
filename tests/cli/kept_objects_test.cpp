// Whole runs in which an old object goes only when something takes its place:
// a unique index the old rows refuse, judged as SQLite judges it, leaves the
// old index; a view that old triggers or views still use stays; and a key
// clause of the old table's declaration goes even as the file's first change.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include "engine/dbengine.h"
#include "tests/support/cli_run_fixture.h"

namespace brenquil {
namespace {

using test::RawExec;
using test::RawQuery;
using test::Rows;

class KeptObjects : public test::CliRunFixture {};

// Each unique index of the model is one SQLite refuses on the old rows only
// through its expression, its WHERE or its collation: the old index of that
// name stays, and the journal says which rows refuse the model's.
TEST_F(KeptObjects, AUniqueIndexTheOldRowsRefuseKeepsTheOldIndexWhateverItsKeyIs) {
  struct Case {
    const char* label;
    const char* model_index;
    const char* example;  // a key the journal names
  };
  const Case cases[] = {
      {"expression", "CREATE UNIQUE INDEX porclave ON t (lower(b))", "claves: uno"},
      {"partial", "CREATE UNIQUE INDEX porclave ON t (a) WHERE a > 0", "claves: 1"},
      {"collation", "CREATE UNIQUE INDEX porclave ON t (b COLLATE NOCASE)", "claves: UNO"},
      {"column collation", "CREATE UNIQUE INDEX porclave ON t (c)", "claves: a"},
  };
  const std::string table = "CREATE TABLE t (a INT, b TEXT, c TEXT COLLATE NOCASE);";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string name = std::string("k") + std::to_string(&c - cases) + ".mdb";
    RawExec(Model(name), table + c.model_index);
    // Distinct as the bytes go, the same key as the model's index reads them;
    // -1 rows repeat a, but the partial index leaves them out.
    RawExec(Old(name), table + "CREATE INDEX porclave ON t (b);"
                               "INSERT INTO t VALUES (1, 'Uno', 'a'), (1, 'UNO', 'A'), (-1, 'x', NULL), (-1, 'y', NULL);");
  }
  test::CliRun run = Transform();
  EXPECT_EQ(run.code, kExitJournal) << run.Both();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string name = std::string("k") + std::to_string(&c - cases) + ".mdb";
    EXPECT_EQ(Declared(Old(name), "porclave"), "CREATE INDEX porclave ON t (b)");
    EXPECT_EQ(RawQuery(Old(name), "SELECT count(*) FROM t"), (Rows{{"4"}}));
    EXPECT_EQ(RawQuery(Old(name), "PRAGMA integrity_check"), (Rows{{"ok"}}));
  }
  EXPECT_TRUE(run.Says("2 filas lo impiden (claves: uno)")) << run.Both();
  EXPECT_TRUE(run.Says("2 filas lo impiden (claves: 1)")) << run.Both();
  EXPECT_TRUE(run.Says("2 filas lo impiden (claves: UNO)") || run.Says("2 filas lo impiden (claves: Uno)"))
      << run.Both();
  EXPECT_TRUE(run.Says("2 filas lo impiden (claves: a)") || run.Says("2 filas lo impiden (claves: A)")) << run.Both();
  ExpectSecondRunChangesNothing();
}

// A partial unique index whose WHERE leaves the repeated rows out, and an
// index whose expression names a field the old table cannot take: the first
// replaces the old index, the second leaves it.
TEST_F(KeptObjects, AReplacementSQLiteTakesArrivesAndOneItCannotBuildLeavesTheOldIndex) {
  RawExec(Model("p.mdb"),
          "CREATE TABLE t (a INT, b TEXT);"
          "CREATE UNIQUE INDEX positivos ON t (a DESC, b) WHERE a > 0 -- sólo los positivos\n;");
  {
    // A function of the program that wrote the model, which this one lacks.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(Model("p.mdb").c_str(), &db), SQLITE_OK);
    auto twice = [](sqlite3_context* context, int, sqlite3_value** values) {
      sqlite3_result_int64(context, 2 * sqlite3_value_int64(values[0]));
    };
    sqlite3_create_function(db, "doble", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, twice, nullptr, nullptr);
    EXPECT_EQ(sqlite3_exec(db, "CREATE INDEX rara ON t (doble(a))", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
  }
  RawExec(Old("p.mdb"),
          "CREATE TABLE t (a INT, b TEXT); CREATE INDEX positivos ON t (a); CREATE INDEX rara ON t (b);"
          "INSERT INTO t VALUES (-1, 'x'), (-1, 'x'), (2, 'x');");
  test::CliRun run = Transform();
  EXPECT_EQ(run.code, kExitJournal) << run.Both();
  EXPECT_EQ(Declared(Old("p.mdb"), "positivos"),
            "CREATE UNIQUE INDEX positivos ON t (a DESC, b) WHERE a > 0 -- sólo los positivos\n");
  EXPECT_THROW(RawExec(Old("p.mdb"), "INSERT INTO t VALUES (2, 'x')"), std::runtime_error);
  EXPECT_EQ(Declared(Old("p.mdb"), "rara"), "CREATE INDEX rara ON t (b)");
  EXPECT_TRUE(run.Says("'rara'") && run.Says("doble") && run.Says("se conserva el índice anterior")) << run.Both();
}

// Views the model lacks: one an old trigger reads stays; so do one that a
// view reads and that view, which a trigger reads; two that only each other
// read go, the reader first. The triggers still work; the model's view
// replaces its namesake. The engine refuses to delete a table a view reads.
TEST_F(KeptObjects, AViewOldTriggersOrViewsStillUseStays) {
  const std::string tables = "CREATE TABLE t (a INT); CREATE TABLE log (n INT);";
  RawExec(Model("v.mdb"), tables + "CREATE VIEW vista AS SELECT a FROM t;");
  RawExec(Old("v.mdb"), tables +
                            "CREATE VIEW vcount AS SELECT count(*) AS n FROM t;"
                            "CREATE TRIGGER cuenta AFTER INSERT ON t BEGIN INSERT INTO log SELECT n FROM \"vcount\"; END;"
                            "CREATE VIEW base AS SELECT a FROM t; CREATE VIEW encima AS SELECT a * 10 AS a FROM [base];"
                            "CREATE TRIGGER mira BEFORE DELETE ON t BEGIN INSERT INTO log SELECT max(a) FROM encima; END;"
                            "CREATE VIEW suelta AS SELECT a FROM t; CREATE VIEW sola AS SELECT * FROM suelta;"
                            "CREATE VIEW vista AS SELECT a FROM suelta;");
  test::CliRun run = Transform();
  EXPECT_EQ(run.code, kExitJournal) << run.Both();
  EXPECT_TRUE(run.Says("'vcount' no borrada") && run.Says("el desencadenador 'cuenta'")) << run.Both();
  EXPECT_TRUE(run.Says("'base' no borrada") && run.Says("la consulta 'encima'")) << run.Both();
  EXPECT_TRUE(run.Says("'encima' no borrada") && run.Says("el desencadenador 'mira'")) << run.Both();
  EXPECT_EQ(RawQuery(Old("v.mdb"), "SELECT name FROM sqlite_master WHERE type = 'view' ORDER BY name"),
            (Rows{{"base"}, {"encima"}, {"vcount"}, {"vista"}}));
  EXPECT_EQ(Declared(Old("v.mdb"), "vista"), "CREATE VIEW vista AS SELECT a FROM t");
  RawExec(Old("v.mdb"), "INSERT INTO t VALUES (7); DELETE FROM t;");  // both triggers find their views
  EXPECT_EQ(RawQuery(Old("v.mdb"), "SELECT n FROM log ORDER BY rowid"), (Rows{{"1"}, {"70"}}));
  ExpectSecondRunChangesNothing();

  auto db = DBEngine::Instance().OpenDatabase(Old("v.mdb"));
  EXPECT_EQ(test::NumberOf([&] { db->TableDefs().Delete("t"); }), err::kInvalidOperation);
  db->Close();
  DBEngine::Instance().CloseIdle();
  EXPECT_EQ(RawQuery(Old("v.mdb"), "SELECT count(*) FROM sqlite_master WHERE name = 't'"), (Rows{{"1"}}));
}

// The old table's UNIQUE or PRIMARY KEY clause is the index the model lacks,
// and removing it is the first change the run makes to the file.
TEST_F(KeptObjects, AKeyClauseOfTheDeclarationGoesAsTheFilesFirstChange) {
  const char* const olds[] = {
      "CREATE TABLE t (a INT UNIQUE, b TEXT)",
      "CREATE TABLE t (a INT, b TEXT, PRIMARY KEY (a, b))",
  };
  for (int i = 0; i < 2; ++i) {
    const std::string name = "u" + std::to_string(i) + ".mdb";
    RawExec(Model(name), "CREATE TABLE t (a INT, b TEXT); CREATE INDEX porb ON t (b);");
    RawExec(Old(name), std::string(olds[i]) + "; INSERT INTO t VALUES (1, 'x'), (2, 'y');");
  }
  test::CliRun run = Transform();
  EXPECT_EQ(run.code, kExitOk) << run.Both();
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(olds[i]);
    const std::string name = "u" + std::to_string(i) + ".mdb";
    EXPECT_EQ(Declared(Old(name), "t"), "CREATE TABLE t (a INT, b TEXT)");
    // The rest of the index step ran: the model's index is there.
    EXPECT_EQ(Declared(Old(name), "porb"), "CREATE INDEX porb ON t (b)");
    EXPECT_EQ(RawQuery(Old(name), "SELECT rowid, a, b FROM t ORDER BY rowid"),
              (Rows{{"1", "1", "x"}, {"2", "2", "y"}}));
    RawExec(Old(name), "INSERT INTO t VALUES (1, 'x')");
    EXPECT_EQ(RawQuery(Old(name), "PRAGMA integrity_check"), (Rows{{"ok"}}));
  }
}

}  // namespace
}  // namespace brenquil
