// During a batch the reads of each step see one state of a file, and the next
// step sees what another process committed meanwhile; a file opened
// read-only and kept across steps (a model, for the whole of its pair) is
// read in one state until it is let go, and then another process's commit
// goes through and shows.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include "engine/dbengine.h"
#include "tests/support/test_support.h"

namespace brenquil {
namespace {

using test::RawExec;
using test::TempDir;

// Another program adding a row to t, waiting for no lock: the SQLite code.
int OtherProgramAdds(const std::string& path) {
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  int rc = sqlite3_exec(db, "INSERT INTO t VALUES (2)", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  return rc;
}

// The rows of t as a step reads them: through the object model first, which
// begins the step's read of the file.
std::string Rows(Database& db) {
  EXPECT_EQ(db.TableDefs().Count(), 1);
  auto rows = db.OpenRecordset("SELECT count(*) FROM t");
  rows->MoveFirst();
  return rows->Value(0).value_or("");
}

TEST(StepReads, AFileKeptAcrossStepsIsReadInOneStateUntilLetGo) {
  TempDir dir;
  const std::string kept = dir / "modelo.mdb", per_step = dir / "otro.mdb";
  for (const auto& path : {kept, per_step}) RawExec(path, "CREATE TABLE t (a); INSERT INTO t VALUES (1);");
  auto& engine = DBEngine::Instance();
  engine.BeginBatch();
  {
    auto model = engine.OpenDatabase(kept, kReadOnly);
    auto other = engine.OpenDatabase(per_step, kReadOnly);
    model->KeepReadAcrossSteps(true);
    engine.NextStep();
    EXPECT_EQ(Rows(*model), "1");
    EXPECT_EQ(Rows(*other), "1");
    engine.NextStep();
    // The step's read of the other file ended with the step; the model's did not.
    EXPECT_EQ(OtherProgramAdds(per_step), SQLITE_OK);
    EXPECT_EQ(OtherProgramAdds(kept), SQLITE_BUSY);
    EXPECT_EQ(Rows(*other), "2");
    EXPECT_EQ(Rows(*model), "1");
    model->KeepReadAcrossSteps(false);
    EXPECT_EQ(OtherProgramAdds(kept), SQLITE_OK);
    engine.NextStep();
    EXPECT_EQ(Rows(*model), "2");
  }
  engine.EndBatch();
  engine.CloseIdle();
}

}  // namespace
}  // namespace brenquil
