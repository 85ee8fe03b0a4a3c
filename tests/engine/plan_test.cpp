// A plan tries every change on the real files and keeps none of them: the
// files, their folder and their journal modes stay as they were, and the same
// connections go on to commit real batches afterwards.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/dbengine.h"
#include "engine/field.h"
#include "tests/support/test_support.h"

namespace brenquil {
namespace {

using test::FolderContents;
using test::RawColumns;
using test::RawExec;
using test::RawQuery;
using test::TempDir;

// A table larger than SQLite's page cache, so that a plan which let the pager
// spill would write into the file before its rollback.
void MakeOld(const std::string& path, const std::string& mode) {
  RawExec(path, "PRAGMA journal_mode = " + mode +
                    "; CREATE TABLE t (id INTEGER PRIMARY KEY, v BLOB);"
                    " WITH RECURSIVE n(k) AS (SELECT 1 UNION ALL SELECT k + 1 FROM n WHERE k < 3000)"
                    " INSERT INTO t (v) SELECT randomblob(2000) FROM n;");
}

void TryChanges(Database& db) {
  auto table = db.CreateTableDef("nueva");
  table->Fields().Append(table->CreateField("a", dbLong));
  db.TableDefs().Append(table);
  // A counter numbers every row: every page of t changes.
  auto counter = db.TableDefs()["t"]->CreateField("n", dbLong);
  counter->SetAttributes(dbAutoIncrField);
  db.TableDefs()["t"]->Fields().Append(counter);
}

TEST(Plan, KeepsNothingOfWhatItTriesWhateverTheJournalMode) {
  auto& engine = DBEngine::Instance();
  for (const std::string mode : {"delete", "wal", "truncate"}) {
    SCOPED_TRACE(mode);
    TempDir dir;
    const std::string path = dir / "vieja.mdb";
    MakeOld(path, mode);
    const auto before = FolderContents(dir.Path());
    const auto journal_mode = RawQuery(path, "PRAGMA journal_mode");
    engine.BeginBatch(true);
    {
      auto db = engine.OpenDatabase(path);
      TryChanges(*db);
      EXPECT_TRUE(db->TableDefs().Find("nueva")) << "the plan sees its own changes";
      EXPECT_EQ(test::ReadBytes(path), before.at("vieja.mdb")) << "nothing reaches the file meanwhile";
      EXPECT_EQ(std::filesystem::exists(path + "-journal"), before.count("vieja.mdb-journal") > 0)
          << "nor a journal beside it, unless the file keeps one";
    }
    EXPECT_EQ(RawColumns(path, "t"), (std::vector<std::string>{"id", "v"})) << "released: rolled back";
    engine.EndBatch();
    engine.CloseIdle();
    EXPECT_EQ(FolderContents(dir.Path()), before);
    EXPECT_EQ(RawQuery(path, "PRAGMA journal_mode"), journal_mode);
  }
}

TEST(Plan, AFileHeldAcrossItsEndIsRolledBackThenCommitsARealBatch) {
  auto& engine = DBEngine::Instance();
  TempDir dir;
  const std::string path = dir / "catalogo.mdb";
  MakeOld(path, "delete");
  // Held the whole time, as the window's data controls hold the catalogues.
  auto held = engine.OpenDatabase(path);
  auto rows = held->OpenRecordset("t");
  engine.BeginBatch(true);
  TryChanges(*held);
  engine.EndBatch();
  EXPECT_FALSE(held->TableDefs().Find("nueva")) << "ended: rolled back while still held";
  EXPECT_EQ(RawColumns(path, "t").size(), 2u);

  engine.BeginBatch();
  held->TableDefs()["t"]->Fields().Append(held->TableDefs()["t"]->CreateField("real", dbText, 10));
  engine.EndBatch();
  EXPECT_EQ(RawColumns(path, "t"), (std::vector<std::string>{"id", "v", "real"}));
  EXPECT_EQ(RawQuery(path, "SELECT count(*) FROM t"), (std::vector<std::vector<std::string>>{{"3000"}}));
  rows.reset();
  held->Close();
  engine.CloseIdle();
  EXPECT_EQ(RawQuery(path, "PRAGMA journal_mode"), (std::vector<std::vector<std::string>>{{"delete"}}))
      << "the real batch gives the file back its mode";
}

}  // namespace
}  // namespace brenquil
