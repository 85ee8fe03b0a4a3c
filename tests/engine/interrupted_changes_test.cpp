// Changes interrupted by another process: a rebuild killed at any moment
// leaves the file valid with all its rows, and a reader walking the schema
// while another process commits never crashes.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "engine/dbengine.h"
#include "tests/support/test_support.h"

namespace brenquil {
namespace {

using test::RawExec;
using test::RawQuery;
using test::TempDir;
using Rows = std::vector<std::vector<std::string>>;

TEST(InterruptedChanges, ARebuildKilledAtAnyMomentLeavesTheFileWholeBeforeOrAfter) {
  TempDir dir;
  const std::string pristine = dir / "original.mdb";
  RawExec(pristine,
          "CREATE TABLE t (code TEXT PRIMARY KEY, v INTEGER CHECK (v >= 0), w TEXT DEFAULT (upper('a')));"
          "CREATE INDEX tv ON t (v);"
          "CREATE TRIGGER tt AFTER DELETE ON t BEGIN SELECT 1; END;"
          "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 30000)"
          " INSERT INTO t (code, v) SELECT printf('k%06d', i), i FROM n;");
  const Rows rows = RawQuery(pristine, "SELECT rowid, * FROM t ORDER BY rowid");
  const std::string before = RawQuery(pristine, "SELECT sql FROM sqlite_master WHERE name = 't'")[0][0];
  const std::string bytes = test::ReadBytes(pristine);
  DBEngine::Instance().CloseIdle();
  int finished = 0;
  // The last child is never killed (a wait of -1), so the finished rebuild is
  // seen however slow a loaded machine makes it.
  for (int delay_ms : {1, 3, 8, 15, 30, 60, 120, 400, -1}) {
    const std::string path = dir / ("vieja" + std::to_string(delay_ms) + ".mdb");
    test::WriteBytes(path, bytes);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      try {
        DBEngine::Instance().OpenDatabase(path)->TableDefs()["t"]->Indexes().Delete("PrimaryKey");
        DBEngine::Instance().CloseIdle();
      } catch (...) {
        _exit(3);
      }
      _exit(0);
    }
    if (delay_ms >= 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms));
      kill(child, SIGKILL);
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) ++finished;
    if (delay_ms < 0) {
      ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the rebuild left alone did not end";
    }
    ASSERT_FALSE(WIFEXITED(status) && WEXITSTATUS(status) == 3) << "the rebuild failed at " << delay_ms << " ms";
    EXPECT_EQ(RawQuery(path, "PRAGMA integrity_check"), (Rows{{"ok"}})) << delay_ms << " ms";
    EXPECT_EQ(RawQuery(path, "SELECT rowid, * FROM t ORDER BY rowid"), rows) << delay_ms << " ms";
    std::string declared = RawQuery(path, "SELECT sql FROM sqlite_master WHERE name = 't'")[0][0];
    EXPECT_TRUE(declared == before ||
                declared == "CREATE TABLE t (code TEXT, v INTEGER CHECK (v >= 0), w TEXT DEFAULT (upper('a')))")
        << declared;
    if (delay_ms < 0) {
      EXPECT_NE(declared, before) << "the finished rebuild kept the key";
    }
    EXPECT_EQ(RawQuery(path, "SELECT count(*) FROM sqlite_master WHERE name IN ('tv', 'tt')"), (Rows{{"2"}}));
  }
  // The rebuild left alone ended, and at least the earliest kill came before
  // the end: both outcomes were seen.
  EXPECT_GT(finished, 0);
  EXPECT_LT(finished, 9);
}

TEST(InterruptedChanges, WalkingTheSchemaWhileAnotherProcessCommitsNeverCrashes) {
  TempDir dir;
  const std::string path = dir / "viva.mdb";
  RawExec(path, "PRAGMA journal_mode = WAL; CREATE TABLE base (a INTEGER PRIMARY KEY, b TEXT UNIQUE);"
                "CREATE VIEW vb AS SELECT * FROM base;");
  DBEngine::Instance().CloseIdle();
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // Commits schema changes, one after another, until killed.
    for (int i = 0;; ++i) {
      try {
        std::string n = std::to_string(i % 7);
        RawExec(path, "CREATE TABLE IF NOT EXISTS t" + n + " (x, y REFERENCES base(a)); CREATE INDEX IF NOT EXISTS i" +
                          n + " ON t" + n + " (x); CREATE VIEW IF NOT EXISTS v" + n + " AS SELECT * FROM t" + n + ";");
        RawExec(path, "DROP VIEW IF EXISTS v" + std::to_string((i + 3) % 7) + "; DROP TABLE IF EXISTS t" +
                          std::to_string((i + 3) % 7) + ";");
      } catch (...) {
      }
    }
  }
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(2500);
  int walks = 0;
  while (std::chrono::steady_clock::now() < until) {
    try {
      auto db = DBEngine::Instance().OpenDatabase(path);
      for (auto& table : db->TableDefs()) {
        for (auto& field : table->Fields()) (void)field->Type();
        for (auto& index : table->Indexes()) (void)index->Fields().Count();
        (void)db->TableDefs().Count();
      }
      for (auto& relation : db->Relations()) (void)relation->Fields().Count();
      for (auto& query : db->QueryDefs()) (void)query->SQL().size();
      ++walks;
    } catch (const Error&) {
      // A table dropped between its listing and its reading: an error, not a crash.
    }
  }
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  DBEngine::Instance().CloseIdle();
  EXPECT_GT(walks, 10);
}

}  // namespace
}  // namespace brenquil
