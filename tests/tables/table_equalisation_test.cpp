#include "tables/table_equalisation.h"

#include <gtest/gtest.h>

#include "tables/table_listing.h"
#include "tests/support/installation_fixture.h"

namespace brenquil::test {
namespace {

using Names = std::vector<std::string>;

class TableEqualisation : public ::testing::Test, public InstallationFixture {
 protected:
  void ListAndEqualise() {
    ListTables(Window());
    EqualiseTables(Window());
  }
  std::shared_ptr<TableDef> OldTable(const std::string& name) {
    return DBEngine::Instance().OpenDatabase(OldPath("base.mdb"))->TableDefs()[name];
  }
};

TEST_F(TableEqualisation, CreatesMissingTablesInModelOrderWithTheirFields) {
  // As many old tables as model tables: the missing ones are still found.
  Pair({{"Clientes", {{"Id", dbLong}}},
        {"Mis Pedidos", {{"Id", dbLong}, {"Nota", dbText, 40}, {"Texto", dbMemo}}},
        {"Año", {{"Id", dbLong}}},
        {"O'Brien", {{"Fecha", dbDate}, {"Select", dbDouble}}}},
       {{"Clientes", {{"Id", dbLong}}}, {"AÑO", {{"Id", dbLong}}}, {"Otra", {{"a", dbLong}}},
        {"Más", {{"a", dbLong}}}});
  RawExec(OldPath("base.mdb"), "INSERT INTO Clientes VALUES (7)");
  ListAndEqualise();
  auto& w = Window();
  EXPECT_EQ(w.List4.Items(), (Names{"Mis Pedidos", "O'Brien"}));
  EXPECT_EQ(w.Text5.Text(), ModelPath("base.mdb"));
  EXPECT_EQ(RawTables(OldPath("base.mdb")),
            (Names{"Clientes", "AÑO", "Otra", "Más", "Mis Pedidos", "O'Brien"}));
  EXPECT_EQ(RawColumns(OldPath("base.mdb"), "Mis Pedidos"), (Names{"Id", "Nota", "Texto"}));
  EXPECT_EQ(RawQuery(OldPath("base.mdb"), "SELECT Id FROM Clientes"),
            (std::vector<Names>{{"7"}}));

  struct Expected {
    const char* name;
    int type;
    long size;
    bool zero_length;
  };
  const Expected fields[] = {{"Id", dbLong, 4, false},
                             {"Nota", dbText, 40, true},
                             {"Texto", dbMemo, 0, true}};
  auto table = OldTable("Mis Pedidos");
  for (const auto& f : fields) {
    auto field = table->Fields()[f.name];
    EXPECT_EQ(field->Type(), f.type) << f.name;
    EXPECT_EQ(field->Size(), f.size) << f.name;
    EXPECT_EQ(field->AllowZeroLength(), f.zero_length) << f.name;
  }
  ASSERT_EQ(w.Report.Databases().size(), 1u);
  EXPECT_EQ(w.Report.Databases()[0].tables_created, (Names{"Mis Pedidos", "O'Brien"}));
}

TEST_F(TableEqualisation, SecondRunAfterListingAgainChangesNothing) {
  Pair({{"A", {{"x", dbLong}}}, {"B", {{"y", dbText, 5}}}}, {{"A", {{"x", dbLong}}}});
  ListAndEqualise();
  auto schema = RawQuery(OldPath("base.mdb"), "SELECT sql FROM sqlite_master ORDER BY name");
  ListAndEqualise();
  EXPECT_EQ(Window().List4.ListCount(), 0);
  EXPECT_EQ(RawQuery(OldPath("base.mdb"), "SELECT sql FROM sqlite_master ORDER BY name"), schema);
  EXPECT_EQ(Window().Report.Databases()[0].tables_created, (Names{"B"}));
}

TEST_F(TableEqualisation, RefusedTablesAreJournaledAndTheNextMissingOnesAreStillCreated) {
  // A stored query of the old database holds the name of a missing table,
  // and another one reads it, so it cannot make way.
  Pair({{"Primera", {{"x", dbLong}}}, {"Consulta", {{"y", dbLong}}}, {"Última", {{"z", dbText, 10}}}},
       {{"Otra", {{"x", dbLong}}}});
  {
    auto old = DBEngine::Instance().OpenDatabase(OldPath("base.mdb"));
    old->QueryDefs().Append(old->CreateQueryDef("Consulta", "SELECT x FROM Otra"));
    old->QueryDefs().Append(old->CreateQueryDef("Lectora", "SELECT * FROM Consulta"));
  }
  ListTables(Window());
  EqualiseTables(Window());

  const auto& journal = Window().Journal.Entries();
  ASSERT_EQ(journal.size(), 1u);
  EXPECT_EQ(journal[0].operation, "Command8_Click");
  EXPECT_EQ(journal[0].number, err::kTableExists);
  EXPECT_EQ(journal[0].text, "La tabla ya existe: la tabla 'Consulta' del modelo no se crea: la consulta 'Consulta' de '" +
                                 OldPath("base.mdb") + "' tiene su nombre y la usa la consulta 'Lectora'");
  EXPECT_EQ(journal[0].old, OldPath("base.mdb"));
  EXPECT_EQ(Window().List4.Items(), (Names{"Primera", "Consulta", "Última"}));
  EXPECT_EQ(RawTables(OldPath("base.mdb")), (Names{"Otra", "Primera", "Última"}));
  EXPECT_EQ(RawColumns(OldPath("base.mdb"), "Última"), (Names{"z"}))
      << "the table after a refused one gets its own fields";
  EXPECT_EQ(Window().Report.Databases()[0].tables_created, (Names{"Primera", "Última"}));
}

TEST_F(TableEqualisation, RunWithoutListingAgainJournalsTheTableItMadeAndChangesNothing) {
  Pair({{"A", {{"x", dbLong}}}, {"B", {{"y", dbLong}}}}, {{"A", {{"x", dbLong}}}});
  ListAndEqualise();
  auto schema = RawQuery(OldPath("base.mdb"), "SELECT sql FROM sqlite_master ORDER BY name");
  EqualiseTables(Window());
  // List4 names B twice now, and each is refused: one cause, one line.
  ASSERT_EQ(Window().Journal.Entries().size(), 1u);
  for (const auto& entry : Window().Journal.Entries()) {
    EXPECT_EQ(entry.number, err::kTableExists);
    EXPECT_NE(entry.text.find("'B'"), std::string::npos) << entry.text;
  }
  EXPECT_EQ(Window().List4.Items(), (Names{"B", "B"}));
  EXPECT_EQ(RawQuery(OldPath("base.mdb"), "SELECT sql FROM sqlite_master ORDER BY name"), schema);
}

// The lists as the table listing leaves them for a model of 32,769 tables
// and an old database that has all but the last: the count past the list
// control's 16 bits is walked whole, so the last table is found missing and
// made. The files hold only what the step opens (that table's model fields).
TEST_F(TableEqualisation, ListsOfMoreThan32767TablesAreWalkedWhole) {
  Pair({{"t32768", {{"a", dbLong}, {"b", dbText, 20}}}}, {{"otra", {{"x", dbLong}}}});
  auto& w = Window();
  for (int i = 0; i <= 32768; ++i) w.List2.AddItem("t" + std::to_string(i));
  for (int i = 0; i < 32768; ++i) w.List3.AddItem("T" + std::to_string(i));
  ASSERT_EQ(w.List2.ListCount(), 32769);
  EqualiseTables(w);
  EXPECT_EQ(w.List4.Items(), (Names{"t32768"}));
  EXPECT_EQ(w.List2.ListIndex(), 32768);
  EXPECT_EQ(w.List3.ListIndex(), 32767) << "each search ends on the last old table";
  EXPECT_EQ(RawColumns(OldPath("base.mdb"), "t32768"), (Names{"a", "b"}));
  EXPECT_TRUE(w.Journal.Empty());
}

TEST_F(TableEqualisation, OldDatabaseThatDoesNotOpenEndsTheRunWithItsError) {
  Model("base.mdb", {{"A", {{"x", dbLong}}}});
  PointAt(ModelPath("base.mdb"), OldPath("no-existe.mdb"));
  Window().List2.AddItem("A");
  EXPECT_EQ(NumberOf([&] { EqualiseTables(Window()); }), err::kFileNotFound);
  EXPECT_TRUE(Window().Journal.Empty()) << "the caller journals it";
}

}  // namespace
}  // namespace brenquil::test
