// Whole runs that only read the models: a model with a log another program
// left is read as it stands and no byte of it, its log or its index changes;
// a damaged model, or one with an interrupted write, stops its own pair with
// an error before anything of the pair is touched.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>

#include "tests/support/cli_run_fixture.h"

namespace brenquil {
namespace {

namespace fs = std::filesystem;
using test::RawExec;
using test::RawQuery;
using test::ReadBytes;
using test::Rows;
using test::WriteBytes;

// Every file of the models folder with its bytes.
std::map<std::string, std::string> Models(const std::string& home) { return test::FolderContents(home + "/modelos"); }

class ModelFiles : public test::CliRunFixture {
 protected:
  // Writes `first` to a new model in WAL mode and checkpoints it, then
  // `pending`, which stays in the log: the program that wrote it closed
  // without writing its log into the file.
  void ModelWithPendingLog(const std::string& name, const std::string& first, const std::string& pending) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(Model(name).c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, ("PRAGMA journal_mode = WAL;" + first + "; PRAGMA wal_checkpoint(TRUNCATE);").c_str(),
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    ASSERT_EQ(sqlite3_exec(db, pending.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    ASSERT_TRUE(fs::file_size(Model(name) + "-wal") > 0);
  }
};

// "a.mdb" pairs with an old database, "b.mdb" is copied as a new one; "b.mdb"
// has lost its log's index, as a copy of the folder would. Nothing of either
// model changes (SQLite makes b's index beside it, the one file it must
// write to read the log), and what their logs hold arrives.
TEST_F(ModelFiles, AModelWithAPendingLogIsReadAsItStandsAndNeverWritten) {
  const std::string pending = "CREATE TABLE nueva (x TEXT); ALTER TABLE t ADD COLUMN b TEXT;"
                              "CREATE INDEX porb ON t (b); CREATE VIEW vista AS SELECT a, b FROM t;";
  ModelWithPendingLog("a.mdb", "CREATE TABLE t (a INTEGER)", pending);
  ModelWithPendingLog("b.mdb", "CREATE TABLE t (a INTEGER)", pending + "INSERT INTO nueva VALUES ('fila');");
  fs::remove(Model("b.mdb") + "-shm");
  RawExec(Old("a.mdb"), "CREATE TABLE t (a INTEGER); INSERT INTO t VALUES (1);");
  const auto models = Models(home_);

  test::CliRun plan = Transform({"--plan"});
  EXPECT_EQ(plan.code, kExitPending) << plan.Both();
  test::CliRun run = Transform();
  EXPECT_EQ(run.code, kExitOk) << run.Both();

  auto after = Models(home_);
  after.erase("b.mdb-shm");
  EXPECT_TRUE(after == models) << "a model file changed";
  EXPECT_EQ(test::RawColumns(Old("a.mdb"), "t"), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(Declared(Old("a.mdb"), "porb"), "CREATE INDEX porb ON t (b)");
  EXPECT_EQ(RawQuery(Old("a.mdb"), "SELECT * FROM vista"), (Rows{{"1", "NULL"}}));
  EXPECT_EQ(RawQuery(Old("b.mdb"), "SELECT x FROM nueva"), (Rows{{"fila"}}));
  EXPECT_EQ(RawQuery(Old("b.mdb"), "PRAGMA journal_mode"), (Rows{{"delete"}}));
  for (const char* name : {"a.mdb", "b.mdb"})
    EXPECT_EQ(RawQuery(Old(name), "PRAGMA integrity_check"), (Rows{{"ok"}})) << name;
  ExpectSecondRunChangesNothing();
  after = Models(home_);
  after.erase("b.mdb-shm");
  EXPECT_TRUE(after == models) << "a model file changed on the second run";
}

// Damage the open check cannot see (pages swapped, a page zeroed), and a
// write another program left half done: each stops its own pair, journaled
// with the model's name, and leaves its old database and itself as they were;
// the sound pair is still worked on.
TEST_F(ModelFiles, ADamagedOrHalfWrittenModelStopsItsPairBeforeAnythingChanges) {
  const std::string rows =
      "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 299)"
      " INSERT INTO t SELECT i, printf('%.300c', 'x') || i FROM n;";
  const std::string model = "CREATE TABLE t (a INTEGER, b TEXT); CREATE INDEX porb ON t (b); CREATE TABLE nueva (x);";
  for (const char* name : {"cambiada.mdb", "cero.mdb", "sana.mdb"}) {
    RawExec(Model(name), "PRAGMA page_size = 1024;" + model + rows);
    RawExec(Old(name), "CREATE TABLE t (a INTEGER); CREATE INDEX pora ON t (a);");
  }
  {
    std::string bytes = ReadBytes(Model("cambiada.mdb"));
    for (size_t i = 0; i < 1024; ++i) std::swap(bytes[5 * 1024 + i], bytes[40 * 1024 + i]);
    WriteBytes(Model("cambiada.mdb"), bytes);
    bytes = ReadBytes(Model("cero.mdb"));
    std::fill(bytes.begin() + 30 * 1024, bytes.begin() + 31 * 1024, '\0');
    WriteBytes(Model("cero.mdb"), bytes);
  }
  // A copy of the model taken while its writer was midway: its journal is hot.
  RawExec(Model("amedias.mdb"), "PRAGMA page_size = 1024;" + model + rows);
  RawExec(Old("amedias.mdb"), "CREATE TABLE t (a INTEGER); CREATE INDEX pora ON t (a);");
  {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(Model("amedias.mdb").c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "PRAGMA cache_size = 2; BEGIN; DELETE FROM t; CREATE TABLE otra (y);", nullptr,
                           nullptr, nullptr),
              SQLITE_OK);
    const std::string file = ReadBytes(Model("amedias.mdb")), journal = ReadBytes(Model("amedias.mdb") + "-journal");
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    ASSERT_FALSE(journal.empty());
    WriteBytes(Model("amedias.mdb"), file);
    WriteBytes(Model("amedias.mdb") + "-journal", journal);
    // The same as a new database: its copy is rolled back, not the model.
    WriteBytes(Model("nueva.mdb"), file);
    WriteBytes(Model("nueva.mdb") + "-journal", journal);
  }
  for (const char* name : {"cambiada.mdb", "cero.mdb"}) {
    std::string verdict;
    try {
      verdict = RawQuery(Model(name), "PRAGMA integrity_check")[0][0];
    } catch (const std::runtime_error& error) {
      verdict = error.what();
    }
    ASSERT_NE(verdict, "ok") << name;
  }
  const auto models = Models(home_);
  const auto olds = test::FolderContents(data_);

  test::CliRun run = Transform();
  EXPECT_EQ(run.code, kExitJournal) << run.Both();
  for (const char* name : {"cambiada.mdb", "cero.mdb", "amedias.mdb"}) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(run.Says("el modelo '" + Model(name) + "'") || run.Says("'" + Model(name) + "' tiene a medias"))
        << run.Both();
    EXPECT_EQ(test::FolderContents(data_)[name], olds.at(name));
  }
  EXPECT_TRUE(Models(home_) == models) << "a model file changed";
  EXPECT_EQ(test::RawColumns(Old("sana.mdb"), "t"), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(Declared(Old("sana.mdb"), "porb"), "CREATE INDEX porb ON t (b)");
  EXPECT_TRUE(run.Says("nueva.mdb: copiada")) << run.Both();
  EXPECT_EQ(RawQuery(Old("nueva.mdb"), "SELECT count(*) FROM t"), (Rows{{"300"}}));
  EXPECT_EQ(RawQuery(Old("nueva.mdb"), "SELECT count(*) FROM sqlite_master WHERE name = 'otra'"), (Rows{{"0"}}));
  EXPECT_EQ(RawQuery(Old("nueva.mdb"), "PRAGMA integrity_check"), (Rows{{"ok"}}));

  fs::remove(Old("nueva.mdb"));
  test::CliRun plan = Transform({"--plan"});
  EXPECT_EQ(plan.code, kExitJournal) << plan.Both();
  EXPECT_TRUE(plan.Says("el modelo '" + Model("cero.mdb") + "'")) << plan.Both();
  EXPECT_FALSE(plan.Says("'" + Model("nueva.mdb") + "'")) << plan.Both();
  EXPECT_TRUE(Models(home_) == models) << "a model file changed in the plan";
}

}  // namespace
}  // namespace brenquil
