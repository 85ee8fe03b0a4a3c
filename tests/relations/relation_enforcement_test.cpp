// What a relation created by the step does to the data, seen by a program
// that writes the old database through the SQLite library alone; and a
// relation that the file declares itself, with a FOREIGN KEY clause.
#include <gtest/gtest.h>

#include <stdexcept>

#include "tests/relations/relation_fixture.h"

namespace brenquil::test {
namespace {

using Rows = std::vector<std::vector<std::string>>;

bool Refused(const std::string& path, const std::string& sql) {
  try {
    RawExec(path, sql);
    return false;
  } catch (const std::runtime_error&) {
    return true;
  }
}

TEST_F(RelationStepTest, CreatedRelationsAreEnforcedForEverySqliteWriter) {
  struct Case {
    const char* what;
    RelationShape relation;
    const char* statement;
    bool refused;
    const char* check;
    Rows expected;
  };
  const char* lineas = "SELECT Num, PedidoNum FROM Lineas ORDER BY Num";
  const Case cases[] = {
      {"orphan refused", PedidoLineas(), "INSERT INTO Lineas VALUES (20, 99, 1)", true, lineas,
       {{"10", "1"}, {"11", "1"}, {"12", "2"}}},
      {"not enforced accepts an orphan", PedidoLineas(dbRelationDontEnforce),
       "INSERT INTO Lineas VALUES (20, 99, 1)", false, lineas,
       {{"10", "1"}, {"11", "1"}, {"12", "2"}, {"20", "99"}}},
      {"referenced parent kept", PedidoLineas(), "DELETE FROM Pedidos WHERE Num = 1", true,
       "SELECT Num FROM Pedidos ORDER BY Num", {{"1"}, {"2"}}},
      {"cascade delete removes children", PedidoLineas(dbRelationDeleteCascade),
       "DELETE FROM Pedidos WHERE Num = 1", false, lineas, {{"12", "2"}}},
      {"referenced key not changed", PedidoLineas(), "UPDATE Pedidos SET Num = 5 WHERE Num = 1",
       true, "SELECT Num FROM Pedidos ORDER BY Num", {{"1"}, {"2"}}},
      {"cascade update follows the key", PedidoLineas(dbRelationUpdateCascade),
       "UPDATE Pedidos SET Num = 5 WHERE Num = 1", false, lineas,
       {{"10", "5"}, {"11", "5"}, {"12", "2"}}},
      {"two-field orphan refused", ClientePedidos(), "INSERT INTO Pedidos VALUES (3, 1, 2, 'x')",
       true, "SELECT Num FROM Pedidos ORDER BY Num", {{"1"}, {"2"}}},
      {"two-field key partly empty accepted", ClientePedidos(),
       "INSERT INTO Pedidos VALUES (3, 1, NULL, 'x')", false,
       "SELECT Num FROM Pedidos ORDER BY Num", {{"1"}, {"2"}, {"3"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir case_dir;
    const std::string case_model = case_dir / "m.mdb", case_old = case_dir / "v.mdb";
    MakeSchema(case_model);
    MakeSchema(case_old);
    AddRelation(case_model, c.relation);
    RawExec(case_old,
            "INSERT INTO Clientes VALUES (1, 1, 'Ana');"
            "INSERT INTO Pedidos VALUES (1, 1, 1, NULL), (2, 1, 1, NULL);"
            "INSERT INTO Lineas VALUES (10, 1, 5), (11, 1, 6), (12, 2, 7);");
    window->Text3.SetText(case_model);
    window->Text4.SetText(case_old);
    ASSERT_FALSE(window->Press(22));
    ASSERT_EQ(RelationsOf(case_old), std::vector<RelationShape>{c.relation});

    EXPECT_EQ(Refused(case_old, c.statement), c.refused);
    EXPECT_EQ(RawQuery(case_old, c.check), c.expected);
  }
  EXPECT_TRUE(window->Journal.Empty());
}

TEST_F(RelationStepTest, ForeignKeyClauseRelationIsListedAndDeletedWithRowsKept) {
  const std::string plain = dir / "plana.mdb";
  RawExec(plain,
          "CREATE TABLE padre (id INTEGER PRIMARY KEY, nombre TEXT);"
          "CREATE TABLE hijo (id INTEGER PRIMARY KEY,"
          "  pid INTEGER REFERENCES padre(id) ON DELETE CASCADE, nota TEXT);"
          "CREATE INDEX hijo_pid ON hijo(pid);"
          "INSERT INTO padre VALUES (1, 'uno'), (2, 'dos');"
          "INSERT INTO hijo VALUES (10, 1, 'a'), (11, 2, 'b');");
  const auto declared = RelationsOf(plain);
  ASSERT_EQ(declared.size(), 1u);
  EXPECT_EQ(declared[0].table, "padre");
  EXPECT_EQ(declared[0].foreign, "hijo");
  EXPECT_EQ(declared[0].pairs, (std::vector<std::pair<std::string, std::string>>{{"id", "pid"}}));
  EXPECT_TRUE(declared[0].attributes & dbRelationDeleteCascade);
  window->Text4.SetText(plain);

  ASSERT_FALSE(window->Press(22));

  EXPECT_EQ(window->List9[1].Items(), std::vector<std::string>{declared[0].name});
  EXPECT_TRUE(RelationsOf(plain).empty());
  EXPECT_EQ(RawQuery(plain, "SELECT id, pid, nota FROM hijo ORDER BY id"),
            (Rows{{"10", "1", "a"}, {"11", "2", "b"}}));
  EXPECT_EQ(RawQuery(plain, "SELECT name FROM sqlite_master WHERE type = 'index' AND "
                            "tbl_name = 'hijo' AND name = 'hijo_pid'"),
            Rows{{"hijo_pid"}});
  // The clause is gone, so the data are no longer held to it.
  RawExec(plain, "PRAGMA foreign_keys = ON; INSERT INTO hijo VALUES (12, 99, 'c')");
  EXPECT_TRUE(window->Journal.Empty());
}

}  // namespace
}  // namespace brenquil::test
