// Catalogues write-protected before start-up: start-up makes them writable,
// and the window's data controls must not keep them open read-only.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "shell/inicial.h"
#include "tests/support/installation_fixture.h"

namespace brenquil::test {
namespace {

// Padres(Id) keyed on Id and Hijos(Id, PadreId); the model also has an index
// on Hijos, a relation and a stored query.
void MakeModel(const std::string& path) {
  MakeDatabase(path,
               {{"Padres", {{"Id", dbLong}}}, {"Hijos", {{"Id", dbLong}, {"PadreId", dbLong}}}});
  auto db = DBEngine::Instance().OpenDatabase(path);
  auto key = db->TableDefs()["Padres"]->CreateIndex("PrimaryKey");
  key->SetPrimary(true);
  key->Fields().Append(key->CreateField("Id"));
  db->TableDefs()["Padres"]->Indexes().Append(key);
  auto by_parent = db->TableDefs()["Hijos"]->CreateIndex("PorPadre");
  by_parent->Fields().Append(by_parent->CreateField("PadreId"));
  db->TableDefs()["Hijos"]->Indexes().Append(by_parent);
  auto relation = db->CreateRelation("PadresHijos", "Padres", "Hijos", 0);
  auto pair = relation->CreateField("Id");
  pair->SetForeignName("PadreId");
  relation->Fields().Append(pair);
  db->Relations().Append(relation);
  db->QueryDefs().Append(db->CreateQueryDef("Todos", "SELECT * FROM Padres"));
  db->Close();
}

TEST(WriteProtectedCatalogues, AreWritableForTheWholeSessionAfterStartUp) {
  TempDir dir;
  const std::string home = dir / "home", data = dir / "datos";
  SetupInstallation(home);
  std::filesystem::create_directories(data);
  Paths paths(home);
  MakeModel(paths.ModelPath("base.mdb"));
  MakeDatabase(Paths::Join(data, "base.mdb"),
               {{"Padres", {{"Id", dbLong}}}, {"Hijos", {{"Id", dbLong}, {"PadreId", dbLong}}}});
  DBEngine::Instance().CloseIdle();
  for (const std::string& catalogue :
       {paths.IndexCatalog(), paths.RelationCatalog(), paths.QueryCatalog()})
    ASSERT_EQ(chmod(catalogue.c_str(), 0444), 0) << catalogue;

  Actualiz window(paths, data);
  Inicial start(window);
  start.ShowMain = [&] { window.Form_Activate(); };
  start.Form_Activate();
  for (int run = 1; run <= 2; ++run) {
    ASSERT_FALSE(window.Press(13)) << "run " << run;
    EXPECT_TRUE(window.Journal.Empty())
        << "run " << run << ": " << FormatEntry(window.Journal.Entries().at(0));
  }

  const std::string old = Paths::Join(data, "base.mdb");
  auto db = DBEngine::Instance().OpenDatabase(old);
  EXPECT_EQ(db->TableDefs()["Hijos"]->Indexes().Count(), 1);
  EXPECT_EQ(db->Relations().Count(), 1);
  EXPECT_EQ(db->QueryDefs().Count(), 1);
  EXPECT_EQ(RawQuery(paths.QueryCatalog(), "SELECT nombrecon FROM consulta"),
            (std::vector<std::vector<std::string>>{{"Todos"}}));
  // A step pressed on its own in the same session writes its catalogue too.
  window.Text3.SetText(paths.ModelPath("base.mdb"));
  window.Text4.SetText(old);
  EXPECT_FALSE(window.Press(22));
  EXPECT_TRUE(window.Journal.Empty());
}

}  // namespace
}  // namespace brenquil::test
