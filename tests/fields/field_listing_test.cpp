#include "fields/field_listing.h"

#include <gtest/gtest.h>

#include "tests/support/installation_fixture.h"

namespace brenquil::test {
namespace {

using Names = std::vector<std::string>;

class FieldListing : public ::testing::Test, public InstallationFixture {
 protected:
  Names Rows(ControlArray<ListBox>& lists, int element) { return lists[element].Items(); }
};

TEST_F(FieldListing, EachListingGivesNameTypeAndSizeRowsOnce) {
  const std::vector<TableSpec> tables = {
      {"Pedidos", {{"Id", dbLong}, {"Nombre", dbText, 50}, {"Notas", dbMemo}}}};
  Pair(tables, tables);
  auto& w = Window();
  w.List2.AddItem("Pedidos");
  w.List2.SetListIndex(0);
  w.List3.AddItem("Pedidos");
  w.List3.SetListIndex(0);
  w.List4.AddItem("Pedidos");
  w.List4.SetListIndex(0);
  struct Case {
    const char* operation;
    void (*run)(Actualiz&);
    ControlArray<ListBox>& lists;
  };
  const Case cases[] = {{"Command10_Click", ListModelFields, w.List1},
                        {"Command11_Click", ListOldFields, w.List5},
                        {"Command2_Click", ListNewTableFields, w.List1}};
  for (const auto& c : cases) {
    c.run(w);
    c.run(w);
    EXPECT_EQ(Rows(c.lists, 0), (Names{"Id", "Nombre", "Notas"})) << c.operation;
    EXPECT_EQ(Rows(c.lists, 1), (Names{"4", "10", "12"})) << c.operation;
    EXPECT_EQ(Rows(c.lists, 2), (Names{"4", "50", "0"})) << c.operation;
  }
  EXPECT_TRUE(w.Journal.Empty());
}

TEST_F(FieldListing, NamesWithBlanksQuotesAndReservedWordsAreListed) {
  const char* names[] = {"Mis Pedidos", "O'Brien", "Select", "Tabla \"citada\"", "Año"};
  std::vector<TableSpec> tables;
  for (const char* name : names) tables.push_back({name, {{"Campo", dbText, 9}}});
  Pair(tables, tables);
  auto& w = Window();
  for (const char* name : names) {
    w.List3.Clear();
    w.List3.AddItem(name);
    w.List3.SetListIndex(0);
    ListOldFields(w);
    EXPECT_EQ(Rows(w.List5, 0), (Names{"Campo"})) << name;
    EXPECT_EQ(Rows(w.List5, 2), (Names{"9"})) << name;
  }
}

TEST_F(FieldListing, ModelListingWithoutSelectionJournalsAndLeavesListsEmpty) {
  Pair({{"A", {{"x", dbLong}}}}, {{"A", {{"x", dbLong}}}});
  auto& w = Window();
  w.List1[0].AddItem("viejo");
  ListModelFields(w);  // nothing selected in List2
  for (int e = 0; e < 3; ++e) EXPECT_EQ(w.List1[e].ListCount(), 0) << e;
  ASSERT_EQ(w.Journal.Entries().size(), 1u);
  const auto& entry = w.Journal.Entries()[0];
  EXPECT_EQ(entry.operation, "Command10_Click");
  EXPECT_EQ(entry.number, err::kInputNotFound);
  EXPECT_EQ(entry.text.rfind(ErrorDescription(err::kInputNotFound), 0), 0u) << entry.text;
  EXPECT_NE(entry.text.find("'Select * from \"\"'"), std::string::npos) << entry.text;
}

TEST_F(FieldListing, OldListingWithoutSelectionRaisesWithListsEmpty) {
  Pair({{"A", {{"x", dbLong}}}}, {{"A", {{"x", dbLong}}}});
  auto& w = Window();
  w.List5[1].AddItem("viejo");
  try {
    ListOldFields(w);
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), err::kInputNotFound);
    EXPECT_NE(e.Text().find(OldPath("base.mdb")), std::string::npos) << e.Text();
  }
  for (int e = 0; e < 3; ++e) EXPECT_EQ(w.List5[e].ListCount(), 0) << e;
}

TEST_F(FieldListing, NewTableListingThatFailsKeepsThePreviousRows) {
  Pair({{"A", {{"x", dbLong}}}}, {{"A", {{"x", dbLong}}}});
  auto& w = Window();
  w.List1[0].AddItem("x");
  w.List4.AddItem("Falta");
  w.List4.SetListIndex(0);
  EXPECT_THROW(ListNewTableFields(w), Error);
  EXPECT_EQ(Rows(w.List1, 0), (Names{"x"}));
}

}  // namespace
}  // namespace brenquil::test
