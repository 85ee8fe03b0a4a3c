#include "tables/table_listing.h"

#include <gtest/gtest.h>

#include "tests/support/installation_fixture.h"

namespace brenquil::test {
namespace {

using Names = std::vector<std::string>;

class TableListing : public ::testing::Test, public InstallationFixture {};

TEST_F(TableListing, ListsUserTablesOfBothAndCountsEveryModelTable) {
  Pair({{"Clientes", {{"Id", dbLong}}}, {"msysPropia", {{"A", dbLong}}}, {"MSy", {{"A", dbLong}}}},
       {{"Viejos", {{"Id", dbLong}}}});
  auto& w = Window();
  w.List4.AddItem("resto");
  ListTables(w);
  EXPECT_EQ(w.List2.Items(), (Names{"Clientes", "msysPropia", "MSy"}));
  EXPECT_EQ(w.List3.Items(), (Names{"Viejos"}));
  EXPECT_EQ(w.List4.ListCount(), 0);
  // The count takes in the engine's own MSys tables as well.
  auto summary = w.Text2.Text();
  auto split = summary.find(" en ");
  ASSERT_NE(split, std::string::npos) << summary;
  EXPECT_GT(std::stoi(summary.substr(0, split)), 3) << summary;
  EXPECT_EQ(summary.substr(split + 4), ModelPath("base.mdb"));
}

TEST_F(TableListing, SamePathInBothBoxesAndASecondRunGiveTheSameLists) {
  Model("base.mdb", {{"A", {{"x", dbLong}}}, {"B", {{"y", dbText, 10}}}});
  auto& w = Window();
  w.Text3.SetText(ModelPath("base.mdb"));
  w.Text4.SetText(ModelPath("base.mdb"));
  ListTables(w);
  ListTables(w);
  EXPECT_EQ(w.List2.Items(), (Names{"A", "B"}));
  EXPECT_EQ(w.List3.Items(), (Names{"A", "B"}));
}

TEST_F(TableListing, ModelThatDoesNotOpenLeavesEverythingAsItWas) {
  auto& w = Window();
  w.List2.AddItem("antes");
  w.List4.AddItem("antes");
  w.Text3.SetText(ModelPath("falta.mdb"));
  try {
    ListTables(w);
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), err::kFileNotFound);
    EXPECT_EQ(e.Text(), MakeError(err::kFileNotFound, "'" + ModelPath("falta.mdb") + "'").Text());
  }
  EXPECT_EQ(w.List2.Items(), (Names{"antes"}));
  EXPECT_EQ(w.List4.Items(), (Names{"antes"}));
  EXPECT_EQ(w.Text2.Text(), "");
}

TEST_F(TableListing, OldThatDoesNotOpenLeavesTheModelListed) {
  Model("base.mdb", {{"A", {{"x", dbLong}}}});
  auto& w = Window();
  w.List3.AddItem("antes");
  w.Text3.SetText(ModelPath("base.mdb"));
  w.Text4.SetText(OldPath("dañada.mdb"));
  WriteBytes(OldPath("dañada.mdb"), std::string(4096, 'x'));
  EXPECT_THROW(ListTables(w), Error);
  EXPECT_EQ(w.List2.Items(), (Names{"A"}));
  EXPECT_EQ(w.List3.ListCount(), 0);
  EXPECT_NE(w.Text2.Text(), "");
}

}  // namespace
}  // namespace brenquil::test
