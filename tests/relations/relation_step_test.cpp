// The relation step as "Lista Relaciones" runs it: catalogue, lists, deletion
// of the old relations and creation of the model's.
#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>

#include "engine/error.h"
#include "tests/relations/relation_fixture.h"

namespace brenquil::test {
namespace {

using Rows = std::vector<std::vector<std::string>>;

TEST_F(RelationStepTest, TwoFieldPairsGiveTwoRowsInFieldOrderAndAreRebuiltInOrder) {
  AddRelation(model, ClientePedidos(dbRelationUpdateCascade));
  AddRelation(old, {"Antigua", "Pedidos", "Lineas", 0, {{"Num", "PedidoNum"}}});

  ASSERT_FALSE(Window().Press(22));

  EXPECT_EQ(Catalogue(), (Rows{{"ClientePedidos", "Clientes", "Pedidos", "256", "Id", "ClienteId"},
                               {"ClientePedidos", "Clientes", "Pedidos", "256", "Sucursal",
                                "ClienteSuc"}}));
  EXPECT_EQ(Window().List9[0].Items(), std::vector<std::string>{"ClientePedidos"});
  EXPECT_EQ(Window().List9[1].Items(), std::vector<std::string>{"Antigua"});
  EXPECT_EQ(RelationsOf(old), std::vector<RelationShape>{ClientePedidos(dbRelationUpdateCascade)});
  EXPECT_TRUE(Window().Journal.Empty());

  ASSERT_EQ(Window().Report.Databases().size(), 1u);
  const DatabaseChanges& changes = Window().Report.Databases()[0];
  EXPECT_EQ(changes.old, old);
  EXPECT_EQ(changes.relations_deleted, std::vector<std::string>{"Antigua"});
  EXPECT_EQ(changes.relations_created, std::vector<std::string>{"ClientePedidos"});

  // What the step creates holds for a program that writes the file through
  // SQLite alone, with foreign keys on.
  const std::string on = "PRAGMA foreign_keys = ON;";
  RawExec(old, on + "INSERT INTO Clientes VALUES (1, 1, 'Ana')");
  RawExec(old, on + "INSERT INTO Pedidos VALUES (1, 1, 1, NULL)");
  EXPECT_THROW(RawExec(old, on + "INSERT INTO Pedidos VALUES (2, 1, 2, NULL)"), std::runtime_error);
  RawExec(old, on + "UPDATE Clientes SET Id = 5");
  EXPECT_EQ(RawQuery(old, "SELECT ClienteId FROM Pedidos"), Rows{{"5"}}) << "cascade update";
}

TEST_F(RelationStepTest, OldRelationDeclaredByAForeignKeyClauseIsListedAndDeleted) {
  const std::string plain = Dir() / "plana.mdb";
  RawExec(plain,
          "CREATE TABLE padre (id INTEGER PRIMARY KEY, nombre TEXT);"
          "CREATE TABLE hijo (id INTEGER PRIMARY KEY,"
          "  pid INTEGER REFERENCES padre(id) ON DELETE CASCADE, nota TEXT);"
          "INSERT INTO padre VALUES (1, 'uno');"
          "INSERT INTO hijo VALUES (10, 1, 'a');");
  const auto declared = RelationsOf(plain);
  ASSERT_EQ(declared.size(), 1u);
  Window().Text4.SetText(plain);

  ASSERT_FALSE(Window().Press(22));

  EXPECT_EQ(Window().List9[1].Items(), std::vector<std::string>{declared[0].name});
  EXPECT_TRUE(RelationsOf(plain).empty());
  EXPECT_EQ(RawQuery(plain, "SELECT id, pid, nota FROM hijo"), (Rows{{"10", "1", "a"}}));
  EXPECT_TRUE(Window().Journal.Empty());
}

TEST_F(RelationStepTest, SystemRelationsAreSkippedOnBothSides) {
  // Only the exact four-character beginning marks a system relation.
  AddRelation(model, {"MSysModelo", "Pedidos", "Lineas", 0, {{"Num", "PedidoNum"}}});
  AddRelation(model, {"msysMinusculas", "Pedidos", "Lineas", 0, {{"Num", "PedidoNum"}}});
  AddRelation(model, {"MSy", "Pedidos", "Lineas", 0, {{"Num", "PedidoNum"}}});
  AddRelation(old, {"MSysVieja", "Clientes", "Pedidos", 2, {{"Id", "ClienteId"}}});
  AddRelation(old, {"Vieja", "Pedidos", "Lineas", 2, {{"Num", "PedidoNum"}}});

  ASSERT_FALSE(Window().Press(22));

  EXPECT_EQ(Window().List9[0].Items(), (std::vector<std::string>{"msysMinusculas", "MSy"}));
  EXPECT_EQ(Window().List9[1].Items(), std::vector<std::string>{"Vieja"});
  Rows catalogue = Catalogue();
  ASSERT_EQ(catalogue.size(), 2u);
  EXPECT_EQ(catalogue[0][0], "msysMinusculas");
  EXPECT_EQ(catalogue[1][0], "MSy");
  EXPECT_EQ(Names(RelationsOf(old)),
            (std::vector<std::string>{"MSysVieja", "msysMinusculas", "MSy"}));
}

TEST_F(RelationStepTest, ModelWithoutRelationsLeavesOldWithNone) {
  AddRelation(old, ClientePedidos());
  AddRelation(old, PedidoLineas(dbRelationDeleteCascade));

  ASSERT_FALSE(Window().Press(22));

  EXPECT_TRUE(Catalogue().empty());
  EXPECT_EQ(Window().List9[0].ListCount(), 0);
  EXPECT_EQ(Window().List9[1].Items(),
            (std::vector<std::string>{"ClientePedidos", "PedidoLineas"}));
  EXPECT_TRUE(RelationsOf(old).empty());
  EXPECT_TRUE(Window().Journal.Empty());
}

TEST_F(RelationStepTest, SecondRunChangesNothing) {
  AddRelation(model, ClientePedidos(dbRelationDeleteCascade));
  AddRelation(model, PedidoLineas());
  ASSERT_FALSE(Window().Press(22));
  // The creation leaves Data4 on the rows of the last relation only; the
  // second listing must still replace the whole table.
  ASSERT_EQ(Window().Data4.RecordSource(),
            "Select * from relacion where nombrerel = 'PedidoLineas'");
  const Rows catalogue = Catalogue();
  const auto relations = RelationsOf(old);
  ASSERT_EQ(catalogue.size(), 3u);

  ASSERT_FALSE(Window().Press(22));

  EXPECT_EQ(Catalogue(), catalogue);
  EXPECT_EQ(RelationsOf(old), relations);
  EXPECT_EQ(relations, (std::vector<RelationShape>{ClientePedidos(dbRelationDeleteCascade),
                                                   PedidoLineas()}));
  EXPECT_TRUE(Window().Journal.Empty());
}

TEST_F(RelationStepTest, ModelThatDoesNotOpenLeavesCatalogueAndListsUntouched) {
  AddRelation(model, PedidoLineas());
  AddRelation(old, ClientePedidos());
  ASSERT_FALSE(Window().Press(22));
  const Rows catalogue = Catalogue();
  Window().List9[1].AddItem("Previa");
  const auto list0 = Window().List9[0].Items();
  const auto list1 = Window().List9[1].Items();
  const std::string missing = Dir() / "no-existe.mdb";
  Window().Text3.SetText(missing);

  std::optional<Error> error = Window().Press(22);

  ASSERT_TRUE(error);
  EXPECT_EQ(error->Number(), err::kFileNotFound);
  EXPECT_EQ(error->Text().rfind(ErrorDescription(err::kFileNotFound), 0), 0u) << error->Text();
  EXPECT_NE(error->Text().find(missing), std::string::npos) << error->Text();
  ASSERT_EQ(Window().Journal.Entries().size(), 1u);
  EXPECT_EQ(Window().Journal.Entries()[0].operation, "Command22_Click");
  EXPECT_EQ(Window().Journal.Entries()[0].number, err::kFileNotFound);
  EXPECT_EQ(Window().Journal.Entries()[0].text, error->Text());
  EXPECT_EQ(Catalogue(), catalogue);
  EXPECT_EQ(Window().List9[0].Items(), list0);
  EXPECT_EQ(Window().List9[1].Items(), list1);
  EXPECT_EQ(RelationsOf(old), std::vector<RelationShape>{PedidoLineas()});
}

TEST_F(RelationStepTest, AttributeFlagsTravelUnchanged) {
  struct Case {
    long attributes;
    const char* catalogue_text;
  };
  const Case cases[] = {
      {0, "0"},
      {dbRelationDontEnforce, "2"},
      {dbRelationUpdateCascade | dbRelationDeleteCascade, "4352"},
      {dbRelationUnique | dbRelationDontEnforce | dbRelationLeft, "16777219"},
      {dbRelationDontEnforce | dbRelationRight | dbRelationInherited, "33554438"},
      // DAO's Long: the top bit makes the value negative.
      {static_cast<long>(INT32_MIN) | dbRelationDontEnforce, "-2147483646"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.catalogue_text);
    TempDir case_dir;
    const std::string case_model = case_dir / "m.mdb", case_old = case_dir / "v.mdb";
    MakeSchema(case_model);
    MakeSchema(case_old);
    AddRelation(case_model, PedidoLineas(c.attributes));
    Window().Text3.SetText(case_model);
    Window().Text4.SetText(case_old);

    ASSERT_FALSE(Window().Press(22));

    Rows catalogue = Catalogue();
    ASSERT_EQ(catalogue.size(), 1u);
    EXPECT_EQ(catalogue[0][3], c.catalogue_text);
    EXPECT_EQ(RelationsOf(case_old), std::vector<RelationShape>{PedidoLineas(c.attributes)});
  }
  EXPECT_TRUE(Window().Journal.Empty());
}

TEST_F(RelationStepTest, NameWithApostropheSelectsItsOwnRows) {
  // "Pedido" alone is what an unquoted apostrophe would cut the name to.
  AddRelation(model, {"Pedido", "Clientes", "Pedidos", 0, {{"Id", "ClienteId"}, {"Sucursal", "ClienteSuc"}}});
  AddRelation(model, {"Pedido'Lineas", "Pedidos", "Lineas", 0, {{"Num", "PedidoNum"}}});

  ASSERT_FALSE(Window().Press(22));

  EXPECT_TRUE(Window().Journal.Empty());
  EXPECT_EQ(Window().Data4.RecordSource(),
            "Select * from relacion where nombrerel = 'Pedido''Lineas'");
  EXPECT_EQ(RelationsOf(old),
            (std::vector<RelationShape>{
                {"Pedido", "Clientes", "Pedidos", 0, {{"Id", "ClienteId"}, {"Sucursal", "ClienteSuc"}}},
                {"Pedido'Lineas", "Pedidos", "Lineas", 0, {{"Num", "PedidoNum"}}}}));
}

TEST_F(RelationStepTest, CatalogueIndexesDoNotChangeTheFieldOrder) {
  // A catalogue file may carry indexes of its own; one that sorts the field
  // pairs backwards must not reverse the rebuilt relation's pairs.
  RawExec(Installation().RelationCatalog(),
          "CREATE INDEX por_nombre ON relacion (nombrerel, campo DESC, campofor DESC)");
  Window().Data4.Refresh();
  AddRelation(model, ClientePedidos());

  ASSERT_FALSE(Window().Press(22));

  EXPECT_EQ(Catalogue(), (Rows{{"ClientePedidos", "Clientes", "Pedidos", "0", "Id", "ClienteId"},
                               {"ClientePedidos", "Clientes", "Pedidos", "0", "Sucursal", "ClienteSuc"}}));
  EXPECT_EQ(RelationsOf(old), std::vector<RelationShape>{ClientePedidos()});
  EXPECT_TRUE(Window().Journal.Empty());
}

}  // namespace
}  // namespace brenquil::test
