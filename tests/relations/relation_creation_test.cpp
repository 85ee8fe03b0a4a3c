// "Crea Relacion" and "Borrar Relacion" on their own, and what the creation
// does with a relation the engine refuses.
#include <gtest/gtest.h>

#include "engine/error.h"
#include "tests/relations/relation_fixture.h"

namespace brenquil::test {
namespace {

// Lineas gains a second reference to Pedidos so that a relation over three
// pairs has fields to join.
RelationShape ThreePairs() {
  return {"TresPares", "Lineas", "Lineas", dbRelationDontEnforce,
          {{"Num", "Num"}, {"PedidoNum", "PedidoNum"}, {"Cantidad", "Cantidad"}}};
}

TEST_F(RelationStepTest, ThreePairsEndBar5AtThreeOfThreeInRowOrder) {
  AddRelation(model, ThreePairs());
  const long refreshes = Window().Frame13.Refreshes();

  ASSERT_FALSE(Window().Press(22));

  EXPECT_EQ(Window().Bar5.Max(), 3.0f);
  EXPECT_EQ(Window().Bar5.Value(), 3.0f);
  EXPECT_EQ(Window().Frame13.Refreshes() - refreshes, 3);
  EXPECT_EQ(RelationsOf(old), std::vector<RelationShape>{ThreePairs()});
}

TEST_F(RelationStepTest, NameWithoutCatalogueRowsIsSkippedWithoutTouchingBar5) {
  Window().List9[0].AddItem("Fantasma");
  Window().Bar5.SetMax(7);
  Window().Bar5.SetValue(5);

  ASSERT_FALSE(Window().Press(21));

  EXPECT_EQ(Window().Bar5.Max(), 7.0f);
  EXPECT_EQ(Window().Bar5.Value(), 5.0f);
  EXPECT_TRUE(RelationsOf(old).empty());
  EXPECT_TRUE(Window().Journal.Empty());
  EXPECT_EQ(Window().Data4.RecordSource(), "Select * from relacion where nombrerel = 'Fantasma'");
}

// Each way the engine refuses the first of two relations: the refusal is
// journaled under the relation's name and the second is still created.
TEST_F(RelationStepTest, RefusedRelationIsJournaledAndTheNextIsCreated) {
  struct Case {
    const char* what;
    RelationShape refused;
    std::function<void(const std::string& old)> prepare;
    int number;
  };
  const Case cases[] = {
      {"old rows break it", ClientePedidos(),
       [](const std::string& path) {
         RawExec(path, "INSERT INTO Pedidos (Num, ClienteId, ClienteSuc) VALUES (1, 9, 9)");
       },
       err::kRelatedRecordRequired},
      {"field missing in the old table",
       {"SinCampo", "Pedidos", "Lineas", 0, {{"Num", "NoHay"}}},
       [](const std::string&) {}, err::kItemNotFound},
      {"table missing in the old database",
       {"SinTabla", "Pedidos", "Facturas", 0, {{"Num", "PedidoNum"}}},
       [](const std::string&) {}, err::kObjectNotFound},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir case_dir;
    const std::string case_model = case_dir / "m.mdb", case_old = case_dir / "v.mdb";
    MakeSchema(case_model);
    MakeSchema(case_old);
    if (c.refused.foreign == "Facturas") {
      auto db = DBEngine::Instance().OpenDatabase(case_model);
      auto t = db->CreateTableDef("Facturas");
      t->Fields().Append(t->CreateField("PedidoNum", dbLong));
      db->TableDefs().Append(t);
      db->Close();
    }
    if (c.refused.pairs[0].second == "NoHay") {
      auto db = DBEngine::Instance().OpenDatabase(case_model);
      db->TableDefs()["Lineas"]->Fields().Append(
          db->TableDefs()["Lineas"]->CreateField("NoHay", dbLong));
      db->Close();
    }
    AddRelation(case_model, c.refused);
    AddRelation(case_model, PedidoLineas());
    c.prepare(case_old);
    Window().Journal.Clear();
    Window().Text3.SetText(case_model);
    Window().Text4.SetText(case_old);

    ASSERT_FALSE(Window().Press(22));

    ASSERT_EQ(Window().Journal.Entries().size(), 1u);
    const JournalEntry& entry = Window().Journal.Entries()[0];
    EXPECT_EQ(entry.operation, "Command21_Click");
    EXPECT_EQ(entry.number, c.number) << entry.text;
    const std::string prefix = "Relación '" + c.refused.name + "' no creada: ";
    EXPECT_EQ(entry.text.rfind(prefix + ErrorDescription(c.number), 0), 0u) << entry.text;
    EXPECT_EQ(RelationsOf(case_old), std::vector<RelationShape>{PedidoLineas()});
    EXPECT_EQ(Window().Report.For(case_old, case_model).relations_created,
              std::vector<std::string>{"PedidoLineas"});
  }
}

TEST_F(RelationStepTest, DeletionPressedTwiceFailsAtTheFirstNameTheSecondTime) {
  AddRelation(old, ClientePedidos());
  AddRelation(old, PedidoLineas());
  Window().List9[1].AddItem("ClientePedidos");
  Window().List9[1].AddItem("PedidoLineas");

  ASSERT_FALSE(Window().Press(20));
  EXPECT_TRUE(RelationsOf(old).empty());
  EXPECT_EQ(Window().List9[1].ListCount(), 2);
  EXPECT_EQ(Window().List9[1].ListIndex(), 1);

  std::optional<Error> error = Window().Press(20);

  ASSERT_TRUE(error);
  EXPECT_EQ(error->Number(), err::kItemNotFound);
  EXPECT_NE(error->Text().find("ClientePedidos"), std::string::npos) << error->Text();
  ASSERT_EQ(Window().Journal.Entries().size(), 1u);
  EXPECT_EQ(Window().Journal.Entries()[0].operation, "Command20_Click");
  EXPECT_EQ(Window().Journal.Entries()[0].number, err::kItemNotFound);
  EXPECT_EQ(Window().List9[1].ListIndex(), 0);
  EXPECT_EQ(Window().Report.For(old, model).relations_deleted,
            (std::vector<std::string>{"ClientePedidos", "PedidoLineas"}));
}

}  // namespace
}  // namespace brenquil::test
