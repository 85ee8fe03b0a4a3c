#include "shell/new_databases.h"

#include <gtest/gtest.h>

#include "tests/support/installation_fixture.h"

namespace brenquil::test {
namespace {

using Names = std::vector<std::string>;

TEST(NewDatabases, ListsTheModelsNoOldNameMatchesExactly) {
  struct Case {
    const char* name;
    Names olds;
    Names models;
    Names expected;
  };
  const Case cases[] = {
      {"no old databases", {}, {"a.mdb", "b.mdb"}, {"a.mdb", "b.mdb"}},
      {"no models", {"a.mdb"}, {}, {}},
      {"paired and unpaired", {"b.mdb", "a.mdb"}, {"a.mdb", "c.mdb", "b.mdb"}, {"c.mdb"}},
      {"letter case differs", {"Clientes.mdb"}, {"clientes.mdb"}, {"clientes.mdb"}},
      {"blank differs", {"a.mdb "}, {"a.mdb"}, {"a.mdb"}},
      {"model listed twice", {"a.mdb"}, {"n.mdb", "a.mdb", "n.mdb"}, {"n.mdb", "n.mdb"}},
  };
  InstallationFixture fixture;
  auto& w = fixture.Window();
  for (const auto& c : cases) {
    w.List6.Clear();
    w.List7.Clear();
    w.List8.AddItem("de antes");
    for (const auto& name : c.olds) w.List6.AddItem(name);
    for (const auto& name : c.models) w.List7.AddItem(name);
    ListNewDatabases(w);
    EXPECT_EQ(w.List8.Items(), c.expected) << c.name;
    // Both lists are left on their last entries.
    EXPECT_EQ(w.List7.ListIndex(), static_cast<int>(c.models.size()) - 1) << c.name;
    int old_index = c.models.empty() ? -1 : static_cast<int>(c.olds.size()) - 1;
    EXPECT_EQ(w.List6.ListIndex(), old_index) << c.name;
  }
}

}  // namespace
}  // namespace brenquil::test
