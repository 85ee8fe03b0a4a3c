// The object model stored in SQLite files: every member survives closing and
// reopening, and another process sees it.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "engine/dbengine.h"
#include "tests/support/test_support.h"

namespace brenquil {
namespace {

using test::RawQuery;
using test::TempDir;

std::shared_ptr<Database> MakeSample(const std::string& path) {
  auto db = DBEngine::Instance().CreateDatabase(path);
  auto clientes = db->CreateTableDef("Clientes");
  auto id = clientes->CreateField("Id", "4", "0");  // numbers may come as text
  clientes->Fields().Append(id);
  auto nombre = clientes->CreateField("Nombre", dbText, 40);
  nombre->SetAllowZeroLength(true);
  nombre->SetRequired(true);
  clientes->Fields().Append(nombre);
  clientes->Fields().Append(clientes->CreateField("Notas", dbMemo));
  auto key = clientes->CreateIndex("PrimaryKey");
  key->SetPrimary(true);
  key->Fields().Append(key->CreateField("Id"));
  clientes->Indexes().Append(key);
  db->TableDefs().Append(clientes);

  auto pedidos = db->CreateTableDef("Pedidos");
  pedidos->Fields().Append(pedidos->CreateField("Numero", dbLong));
  pedidos->Fields().Append(pedidos->CreateField("Cliente", dbLong));
  pedidos->Fields().Append(pedidos->CreateField("Fecha", dbDate));
  db->TableDefs().Append(pedidos);
  auto both = db->TableDefs()["Pedidos"]->CreateIndex("PorClienteFecha");
  both->SetUnique(true);
  both->Fields().Append(both->CreateField("Cliente"));
  auto fecha = both->CreateField("Fecha");
  fecha->SetDescending(true);
  both->Fields().Append(fecha);
  db->TableDefs()["Pedidos"]->Indexes().Append(both);

  auto rel = db->CreateRelation("ClientesPedidos", "Clientes", "Pedidos", "4096");
  auto pair = rel->CreateField("Id");
  pair->SetForeignName("Cliente");
  rel->Fields().Append(pair);
  db->Relations().Append(rel);

  db->QueryDefs().Append(db->CreateQueryDef("Recientes", "SELECT *\r\nFROM Pedidos\r\n-- lo último\r\nWHERE Fecha > '2020'"));
  return db;
}

void ExpectSample(Database& db, std::vector<std::string> tables = {"Clientes", "Pedidos"}) {
  std::vector<std::string> user;
  for (auto& t : db.TableDefs())
    if (t->Name().rfind("MSys", 0) != 0) user.push_back(t->Name());
  EXPECT_EQ(user, tables);
  auto clientes = db.TableDefs()["Clientes"];
  ASSERT_EQ(clientes->Fields().Count(), 3);
  EXPECT_EQ(clientes->Fields()[0]->Type(), dbLong);
  EXPECT_EQ(clientes->Fields()[0]->Size(), 4);
  auto nombre = clientes->Fields()["Nombre"];
  EXPECT_EQ(nombre->Type(), dbText);
  EXPECT_EQ(nombre->Size(), 40);
  EXPECT_TRUE(nombre->AllowZeroLength());
  EXPECT_TRUE(nombre->Required());
  EXPECT_EQ(clientes->Fields()["Notas"]->Type(), dbMemo);
  EXPECT_EQ(clientes->Fields()["Notas"]->Size(), 0);
  EXPECT_FALSE(clientes->Fields()["Notas"]->AllowZeroLength());
  auto key = clientes->Indexes()["PrimaryKey"];
  EXPECT_TRUE(key->Primary());
  EXPECT_TRUE(key->Unique());
  auto both = db.TableDefs()["Pedidos"]->Indexes()["PorClienteFecha"];
  EXPECT_TRUE(both->Unique());
  EXPECT_FALSE(both->Primary());
  ASSERT_EQ(both->Fields().Count(), 2);
  EXPECT_EQ(both->Fields()[0]->Name(), "Cliente");
  EXPECT_FALSE(both->Fields()[0]->Descending());
  EXPECT_EQ(both->Fields()[1]->Name(), "Fecha");
  EXPECT_TRUE(both->Fields()[1]->Descending());
  ASSERT_EQ(db.Relations().Count(), 1);
  auto rel = db.Relations()[0];
  EXPECT_EQ(rel->Name(), "ClientesPedidos");
  EXPECT_EQ(rel->Table(), "Clientes");
  EXPECT_EQ(rel->ForeignTable(), "Pedidos");
  EXPECT_EQ(rel->Attributes(), 4096);
  ASSERT_EQ(rel->Fields().Count(), 1);
  EXPECT_EQ(rel->Fields()[0]->Name(), "Id");
  EXPECT_EQ(rel->Fields()[0]->ForeignName(), "Cliente");
  ASSERT_EQ(db.QueryDefs().Count(), 1);
  EXPECT_EQ(db.QueryDefs()[0]->SQL(), "SELECT *\r\nFROM Pedidos\r\n-- lo último\r\nWHERE Fecha > '2020'");
}

TEST(ObjectModel, EveryMemberSurvivesReopen) {
  TempDir dir;
  std::string path = dir / "muestra.mdb";
  MakeSample(path)->Close();
  auto db = DBEngine::Instance().OpenDatabase(path);
  EXPECT_EQ(db->Name(), path);
  ExpectSample(*db);
}

// Run by the test below in a process of its own (the test binary started
// again): it reads the file with its own engine and adds a table.
TEST(ObjectModelChild, ReadsAndAddsATable) {
  const char* path = std::getenv("BRENQUIL_CHILD_DB");
  if (!path) GTEST_SKIP() << "only run as the second process";
  auto other = DBEngine::Instance().OpenDatabase(path);
  ExpectSample(*other);
  auto t = other->CreateTableDef("DelHijo");
  t->Fields().Append(t->CreateField("X", dbLong));
  other->TableDefs().Append(t);
}

TEST(ObjectModel, AnotherProcessSeesWhatWasStored) {
  TempDir dir;
  std::string path = dir / "muestra.mdb";
  auto db = MakeSample(path);  // still open here
  pid_t child = fork();
  if (child == 0) {
    setenv("BRENQUIL_CHILD_DB", path.c_str(), 1);
    execl("/proc/self/exe", "test_engine", "--gtest_filter=ObjectModelChild.*", static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the second process failed";
  ExpectSample(*db, {"Clientes", "Pedidos", "DelHijo"});
}

TEST(ObjectModel, DatabasesOnOneFileSeeEachOthersChanges) {
  TempDir dir;
  std::string path = dir / "a.mdb";
  auto one = MakeSample(path);
  auto two = DBEngine::Instance().OpenDatabase(path);
  int before = two->TableDefs()["Clientes"]->Fields().Count();
  one->TableDefs()["Clientes"]->Fields().Append(one->TableDefs()["Clientes"]->CreateField("Correo", dbText, 50));
  EXPECT_EQ(two->TableDefs()["Clientes"]->Fields().Count(), before + 1);
  auto rs = one->OpenRecordset("Clientes");
  rs->AddNew();
  rs->SetValue("Id", std::string("7"));
  rs->SetValue("Nombre", std::string("Ana"));
  rs->Update();
  auto seen = two->OpenRecordset("Select * from Clientes where Nombre = 'Ana'");
  ASSERT_FALSE(seen->Eof());
  EXPECT_EQ(seen->Value("Id"), "7");
  one->Close();
  EXPECT_EQ(two->TableDefs()["Clientes"]->Fields().Count(), before + 1) << "closing one leaves the other open";
  EXPECT_THROW(one->TableDefs(), Error);
}

TEST(ObjectModel, StoredTablesArePlainSqliteTables) {
  TempDir dir;
  std::string path = dir / "a.mdb";
  MakeSample(path)->Close();
  auto cols = test::RawColumns(path, "Clientes");
  EXPECT_EQ(cols, (std::vector<std::string>{"Id", "Nombre", "Notas"}));
  auto idx = RawQuery(path, "SELECT count(*) FROM sqlite_master WHERE type = 'index' AND tbl_name = 'Pedidos'");
  EXPECT_EQ(idx[0][0], "1");
  auto view = RawQuery(path, "SELECT count(*) FROM Recientes");
  EXPECT_EQ(view[0][0], "0") << "a stored SELECT is a view other programs can run";
}

}  // namespace
}  // namespace brenquil

namespace brenquil {
namespace {

TEST(ObjectModel, ABatchReachesTheFileWhenReleasedOrEnded) {
  test::TempDir dir;
  std::string path = dir / "lote.mdb";
  MakeSample(path).reset();
  DBEngine::Instance().CloseIdle();
  auto& engine = DBEngine::Instance();
  engine.BeginBatch();
  {
    auto db = engine.OpenDatabase(path);
    auto t = db->TableDefs()["Pedidos"];
    t->Fields().Append(t->CreateField("Nota", dbText, 20));
    // A refused change inside the batch takes nothing else with it.
    EXPECT_THROW(t->Fields().Append(t->CreateField("Nota", dbLong)), Error);
    EXPECT_EQ(test::RawColumns(path, "Pedidos").size(), 3u) << "other programs see it only at the commit";
  }
  EXPECT_EQ(test::RawColumns(path, "Pedidos").back(), "Nota") << "released: committed";
  auto held = engine.OpenDatabase(path);
  held->TableDefs()["Clientes"]->Fields().Append(held->TableDefs()["Clientes"]->CreateField("Otro", dbLong));
  engine.EndBatch();
  EXPECT_EQ(test::RawColumns(path, "Clientes").back(), "Otro") << "ended: committed while still held";
  EXPECT_FALSE(engine.InBatch());
}

}  // namespace
}  // namespace brenquil
