// The query step's tests: the shared installation with a model and an old
// database that both hold the table Articulos with the same rows.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/dbengine.h"
#include "tests/support/installation_fixture.h"

namespace brenquil::test {

using Rows = std::vector<std::vector<std::string>>;
using Queries = std::vector<std::pair<std::string, std::string>>;  // name, SQL

inline void MakeArticulos(const std::string& path) {
  auto db = DBEngine::Instance().CreateDatabase(path);
  auto table = db->CreateTableDef("Articulos");
  table->Fields().Append(table->CreateField("Id", dbLong));
  table->Fields().Append(table->CreateField("Nombre", dbText, 50));
  table->Fields().Append(table->CreateField("Precio", dbDouble));
  db->TableDefs().Append(table);
  db->Close();
  RawExec(path,
          "INSERT INTO Articulos VALUES (1, 'clavo', 0.5), (2, 'tornillo', 1.5),"
          " (3, 'martillo', 12), (4, 'sierra', 20)");
}

inline void AddQueries(const std::string& path, const Queries& queries) {
  auto db = DBEngine::Instance().OpenDatabase(path);
  for (auto& [name, sql] : queries) db->QueryDefs().Append(db->CreateQueryDef(name, sql));
  db->Close();
}

// Every stored query of the file, system ones included, in collection order.
inline Queries QueriesOf(const std::string& path) {
  auto db = DBEngine::Instance().OpenDatabase(path);
  Queries out;
  for (auto& q : db->QueryDefs().Snapshot()) out.emplace_back(q->Name(), q->SQL());
  db->Close();
  return out;
}

class QueryStepTest : public ::testing::Test, public InstallationFixture {
 protected:
  void SetUp() override {
    MakeArticulos(model);
    MakeArticulos(old);
    PointAt(model, old);
  }

  std::string CataloguePath() const { return Installation().QueryCatalog(); }
  // The catalogue's rows in stored order.
  Rows Catalogue() const {
    return RawQuery(CataloguePath(), "SELECT nombrecon, consulta FROM consulta ORDER BY rowid");
  }
  // Writes rows into the catalogue behind the window's back and lets Data5
  // read them, as "Iguala Consultas" pressed on its own would find them.
  void FillCatalogue(const Queries& queries) {
    for (auto& [name, sql] : queries) {
      auto db = DBEngine::Instance().OpenDatabase(CataloguePath());
      auto rs = db->OpenRecordset("consulta");
      rs->AddNew();
      rs->SetValue("nombrecon", name);
      rs->SetValue("consulta", sql);
      rs->Update();
    }
    Window().Data5.Refresh();
  }

  std::string model = Dir() / "modelo.mdb";
  std::string old = Dir() / "vieja.mdb";
};

}  // namespace brenquil::test
