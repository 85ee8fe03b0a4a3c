// Whole runs over names SQLite accepts and the engine's own names in other
// letters: an empty table name, tables that take an engine table's name, a
// counter on a field that cannot count, the model's virtual tables, and a
// model table whose name an old view holds.
#include <gtest/gtest.h>

#include "tests/support/cli_run_fixture.h"

namespace brenquil {
namespace {

using test::RawExec;
using test::RawQuery;
using test::ReadBytes;
using test::Rows;

class NamesAndCounts : public test::CliRunFixture {};

// The table named "" is an ordinary table to SQLite: where both files have
// it, it gains the model's field and index; where only the model has it, the
// engine refuses the name, and the journal says so. Neither the run nor its
// plan stops on it.
TEST_F(NamesAndCounts, ATableWithTheEmptyNameIsWorkedOnOrJournaledNeverACrash) {
  RawExec(Model("ambas.mdb"),
          "CREATE TABLE \"\" (x INTEGER PRIMARY KEY, y TEXT, z INT); CREATE UNIQUE INDEX porY ON \"\" (y);"
          "CREATE VIEW v AS SELECT * FROM \"\"; CREATE TABLE \" \" (a);");
  RawExec(Old("ambas.mdb"), "CREATE TABLE \"\" (x INTEGER PRIMARY KEY, y TEXT); INSERT INTO \"\" VALUES (1, 'a');");
  RawExec(Model("modelo.mdb"), "CREATE TABLE \"\" (x INTEGER); CREATE TABLE t (a);");
  RawExec(Old("modelo.mdb"), "CREATE TABLE t (a);");
  RawExec(Model("vieja.mdb"), "CREATE TABLE t (a, b);");
  RawExec(Old("vieja.mdb"), "CREATE TABLE t (a); CREATE TABLE \"\" (k); CREATE INDEX i ON \"\" (k);");

  test::CliRun plan = Transform({"--plan"});
  EXPECT_EQ(plan.code, kExitJournal) << plan.Both();
  EXPECT_TRUE(plan.Says("nombre de tabla vacío")) << plan.Both();

  test::CliRun run = Transform();
  EXPECT_EQ(run.code, kExitJournal) << run.Both();
  EXPECT_TRUE(run.Says("nombre de tabla vacío")) << run.Both();
  EXPECT_EQ(test::RawColumns(Old("ambas.mdb"), ""), (std::vector<std::string>{"x", "y", "z"}));
  EXPECT_EQ(Declared(Old("ambas.mdb"), "porY"), "CREATE UNIQUE INDEX porY ON \"\" (y)");
  EXPECT_EQ(RawQuery(Old("ambas.mdb"), "SELECT x, y FROM v"), (Rows{{"1", "a"}}));
  EXPECT_EQ(test::RawColumns(Old("ambas.mdb"), " "), (std::vector<std::string>{"a"}));
  EXPECT_EQ(RawQuery(Old("modelo.mdb"), "SELECT count(*) FROM sqlite_master WHERE name = ''"), (Rows{{"0"}}));
  EXPECT_EQ(test::RawColumns(Old("vieja.mdb"), "t"), (std::vector<std::string>{"a", "b"}));
  // The old table the model lacks is the old database's own: it stays, and
  // like any such table loses the index that is not a key.
  EXPECT_EQ(test::RawColumns(Old("vieja.mdb"), ""), (std::vector<std::string>{"k"}));
  EXPECT_EQ(Declared(Old("vieja.mdb"), "i"), "");
  for (const char* name : {"ambas.mdb", "modelo.mdb", "vieja.mdb"})
    EXPECT_EQ(RawQuery(Old(name), "PRAGMA integrity_check"), (Rows{{"ok"}})) << name;
  ExpectSecondRunChangesNothing();
}

// A user table holding an engine table's name in other letters is the
// user's: the database that has one is journaled and left as it is, byte for
// byte; a model's such table is not made in the old database, whose other
// tables still arrive.
TEST_F(NamesAndCounts, AUserTableNamedLikeAnEngineTableLeavesItsDatabaseUntouched) {
  const std::string engine_like =
      "(TableName TEXT NOT NULL, FieldName TEXT NOT NULL, Type INTEGER NOT NULL, Size INTEGER NOT NULL,"
      " Attributes INTEGER NOT NULL DEFAULT 0, AllowZeroLength INTEGER NOT NULL DEFAULT 0,"
      " Required INTEGER NOT NULL DEFAULT 0, PRIMARY KEY (TableName, FieldName))";
  RawExec(Model("a.mdb"), "CREATE TABLE t (a INTEGER, b TEXT); CREATE TABLE nueva (x INTEGER);");
  RawExec(Old("a.mdb"), "CREATE TABLE t (a INTEGER); CREATE TABLE msysfields " + engine_like +
                            "; INSERT INTO msysfields VALUES ('t', 'a', 99, 99, 0, 0, 0);");
  RawExec(Model("b.mdb"), "CREATE TABLE t (a INTEGER, b TEXT);");
  RawExec(Old("b.mdb"), "CREATE TABLE t (a INTEGER); CREATE VIEW MSysQueries AS SELECT 1 AS Name;");
  RawExec(Model("c.mdb"), "CREATE TABLE t (a INTEGER); CREATE TABLE MSYSINDEXES (q TEXT); CREATE TABLE n (x);");
  RawExec(Old("c.mdb"), "CREATE TABLE t (a INTEGER);");
  const std::string a = ReadBytes(Old("a.mdb")), b = ReadBytes(Old("b.mdb"));

  test::CliRun run = Transform();
  EXPECT_EQ(run.code, kExitJournal) << run.Both();
  EXPECT_EQ(ReadBytes(Old("a.mdb")), a) << "a.mdb was written to";
  EXPECT_EQ(ReadBytes(Old("b.mdb")), b) << "b.mdb was written to";
  EXPECT_TRUE(run.Says("'msysfields' lleva el nombre de la tabla del motor 'MSysFields'")) << run.Both();
  EXPECT_TRUE(run.Says("'MSysQueries'")) << run.Both();
  EXPECT_EQ(test::RawColumns(Old("c.mdb"), "n"), (std::vector<std::string>{"x"}));
  EXPECT_EQ(RawQuery(Old("c.mdb"), "SELECT name FROM sqlite_master WHERE name LIKE 'msysindexes'"),
            (Rows{{"MSysIndexes"}}))
      << "only the engine's own table of that name";
  EXPECT_EQ(RawQuery(Old("c.mdb"), "PRAGMA integrity_check"), (Rows{{"ok"}}));
  ExpectSecondRunChangesNothing();
}

// The jobs table's "clave" is made a counter by the field step; the model
// declares it as text here, and a text field cannot count: the field is
// journaled and not added, the table's other fields are.
TEST_F(NamesAndCounts, AModelTextFieldIsNeverMadeACounter) {
  RawExec(Model("j.mdb"), "CREATE TABLE trabajos (nombre TEXT, clave VARCHAR(10), hecho INTEGER);");
  RawExec(Old("j.mdb"), "CREATE TABLE trabajos (nombre TEXT); INSERT INTO trabajos VALUES ('uno');");
  test::CliRun run = Transform();
  EXPECT_EQ(run.code, kExitJournal) << run.Both();
  EXPECT_TRUE(run.Says("error 3259") && run.Says("'clave'")) << run.Both();
  EXPECT_EQ(test::RawColumns(Old("j.mdb"), "trabajos"), (std::vector<std::string>{"nombre", "hecho"}));
  EXPECT_EQ(RawQuery(Old("j.mdb"), "SELECT count(*) FROM sqlite_master WHERE type = 'trigger'"), (Rows{{"0"}}));
  ExpectSecondRunChangesNothing();
}

// The model's FTS5 and R*Tree tables arrive from the model's own statements,
// without the model's rows; one whose module this SQLite lacks is journaled
// by its name; an old table of the same name is left as it is.
TEST_F(NamesAndCounts, TheModelsVirtualTablesArriveOrAreJournaledByName) {
  RawExec(Model("v.mdb"),
          "CREATE TABLE t (a); CREATE VIRTUAL TABLE docs USING fts5(titulo, cuerpo);"
          "CREATE VIRTUAL TABLE zonas USING rtree(id, minx, maxx); CREATE VIRTUAL TABLE ya USING fts5(x);"
          "INSERT INTO docs VALUES ('del modelo', 'no se copia');"
          "CREATE VIEW buscados AS SELECT titulo FROM docs;"
          // Written by a program whose SQLite has a module this one lacks.
          "PRAGMA writable_schema = ON;"
          "INSERT INTO sqlite_master VALUES ('table', 'rara', 'rara', 0, 'CREATE VIRTUAL TABLE rara USING nohay(a, b)');");
  RawExec(Old("v.mdb"), "CREATE TABLE t (a); CREATE TABLE ya (propia); INSERT INTO ya VALUES (1);");
  test::CliRun run = Transform();
  EXPECT_EQ(run.code, kExitJournal) << run.Both();
  EXPECT_TRUE(run.Says("'rara'") && run.Says("'nohay'")) << run.Both();
  EXPECT_TRUE(run.Says("tablas creadas: docs, zonas")) << run.Both();
  EXPECT_EQ(Declared(Old("v.mdb"), "docs"), "CREATE VIRTUAL TABLE docs USING fts5(titulo, cuerpo)");
  EXPECT_EQ(RawQuery(Old("v.mdb"), "SELECT count(*) FROM docs"), (Rows{{"0"}}));
  RawExec(Old("v.mdb"), "INSERT INTO docs VALUES ('ancla', 'texto'); INSERT INTO zonas VALUES (1, 0, 10);");
  EXPECT_EQ(RawQuery(Old("v.mdb"), "SELECT titulo FROM buscados WHERE titulo MATCH 'ancla'"), (Rows{{"ancla"}}));
  EXPECT_EQ(RawQuery(Old("v.mdb"), "SELECT id FROM zonas WHERE minx <= 5 AND maxx >= 5"), (Rows{{"1"}}));
  EXPECT_EQ(RawQuery(Old("v.mdb"), "SELECT * FROM ya"), (Rows{{"1"}}));
  EXPECT_EQ(RawQuery(Old("v.mdb"), "SELECT count(*) FROM sqlite_master WHERE name = 'rara'"), (Rows{{"0"}}));
  EXPECT_EQ(RawQuery(Old("v.mdb"), "PRAGMA integrity_check"), (Rows{{"ok"}}));
  ExpectSecondRunChangesNothing();
}

// The model's tables x and y have the names of old views the model lacks: x
// arrives in the first run, its view gone first; y waits while an old view
// reads it, and the journal says so.
TEST_F(NamesAndCounts, AModelTableWhoseNameAnOldViewHoldsArrivesInOneRun) {
  RawExec(Model("x.mdb"), "CREATE TABLE t (a INT); CREATE TABLE x (k INT, v TEXT); CREATE TABLE y (k INT);");
  RawExec(Old("x.mdb"), "CREATE TABLE t (a INT); CREATE VIEW x AS SELECT a AS k FROM t;"
                        "CREATE VIEW y AS SELECT 2 AS k; CREATE TRIGGER usa AFTER DELETE ON t BEGIN SELECT * FROM y; END;");
  test::CliRun run = Transform();
  EXPECT_EQ(run.code, kExitJournal) << run.Both();
  EXPECT_EQ(Declared(Old("x.mdb"), "x"), "CREATE TABLE x (k INT, v TEXT)");
  EXPECT_TRUE(run.Says("consultas borradas: x")) << run.Both();
  EXPECT_TRUE(run.Says("la tabla 'y' del modelo no se crea") && run.Says("el desencadenador 'usa'")) << run.Both();
  EXPECT_EQ(Declared(Old("x.mdb"), "y"), "CREATE VIEW y AS SELECT 2 AS k");
  RawExec(Old("x.mdb"), "INSERT INTO t VALUES (1); DELETE FROM t;");
  ExpectSecondRunChangesNothing();
}

}  // namespace
}  // namespace brenquil
