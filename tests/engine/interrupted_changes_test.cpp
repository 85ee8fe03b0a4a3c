// Changes interrupted by another process: a rebuild, or relations brought to
// their clauses, killed at any moment leave the file valid with all its rows,
// and a reader walking the schema while another process commits never
// crashes.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <thread>

#include "engine/dbengine.h"
#include "engine/field.h"
#include "tests/support/test_support.h"

namespace brenquil {
namespace {

using test::RawExec;
using test::RawQuery;
using test::TempDir;
using Rows = std::vector<std::vector<std::string>>;

// Runs `change` in a child process, killed with SIGKILL after `delay_ms`
// (left to end when negative), and returns its wait status: exit 0 when the
// change ended, 3 when it threw.
int ChangeInChild(int delay_ms, const std::function<void()>& change) {
  pid_t child = fork();
  if (child < 0) return -1;
  if (child == 0) {
    try {
      change();
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
  return status;
}

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
    const int status = ChangeInChild(delay_ms, [&] {
      DBEngine::Instance().OpenDatabase(path)->TableDefs()["t"]->Indexes().Delete("PrimaryKey");
      DBEngine::Instance().CloseIdle();
    });
    ASSERT_NE(status, -1);
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

// Relations an earlier version kept as records and row triggers, brought to
// their FOREIGN KEY clauses one after another by a process killed at any
// moment: each relation is whole in one form or the other, never half.
TEST(InterruptedChanges, RelationsBroughtToTheirClausesByAKilledProcessAreEachWholeInOneForm) {
  TempDir dir;
  const std::string pristine = dir / "original.mdb";
  constexpr int kRelations = 40;
  std::string sql = "PRAGMA synchronous = OFF; BEGIN; CREATE TABLE p (id INTEGER PRIMARY KEY, n TEXT);"
                    "INSERT INTO p VALUES (1, 'a'), (2, 'b');";
  std::string all_rows;
  for (int i = 0; i < kRelations; ++i) {
    const std::string h = "h" + std::to_string(i);
    sql += "CREATE TABLE " + h + " (id INTEGER PRIMARY KEY, pid INTEGER, nota TEXT);"
           "INSERT INTO " + h + " VALUES (1, 1, 'x'), (2, NULL, 'y'), (3, 2, 'z');" +
           test::EarlierRelationSql("R" + std::to_string(i), "p", "id", h, "pid", i % 2 ? 4096 : 256);
    all_rows += (i ? " UNION ALL " : "") + std::string("SELECT '") + h + "', rowid, * FROM " + h;
  }
  RawExec(pristine, sql + "COMMIT;");
  const Rows rows = RawQuery(pristine, all_rows);
  // Per child table: its clauses, and the triggers left of its relation.
  const std::string forms =
      "SELECT m.name, (SELECT count(*) FROM pragma_foreign_key_list(m.name)),"
      " (SELECT count(*) FROM sqlite_master t WHERE t.type = 'trigger' AND"
      "  t.name LIKE 'MSysRel!_R' || substr(m.name, 2) || '!_%' ESCAPE '!')"
      " FROM sqlite_master m WHERE m.type = 'table' AND m.name LIKE 'h%' ORDER BY m.name";
  const std::string bytes = test::ReadBytes(pristine);
  int finished = 0;
  // A negative delay waits for the process to end.
  for (int delay_ms : {3, 40, 120, 250, -1}) {
    const std::string path = dir / ("vieja" + std::to_string(delay_ms) + ".mdb");
    test::WriteBytes(path, bytes);
    const int status = ChangeInChild(delay_ms, [&] {
      auto db = DBEngine::Instance().OpenDatabase(path);
      for (int i = 0; i < kRelations; ++i) db->CompleteRelation("R" + std::to_string(i));
      db.reset();
      DBEngine::Instance().CloseIdle();
    });
    ASSERT_NE(status, -1);
    ASSERT_FALSE(WIFEXITED(status) && WEXITSTATUS(status) == 3) << "the change failed at " << delay_ms << " ms";
    EXPECT_EQ(RawQuery(path, "PRAGMA integrity_check"), (Rows{{"ok"}})) << delay_ms << " ms";
    EXPECT_EQ(RawQuery(path, all_rows), rows) << delay_ms << " ms";
    EXPECT_EQ(RawQuery(path, "SELECT count(*) FROM MSysRelations"), (Rows{{std::to_string(kRelations)}}));
    int clauses = 0;
    for (const auto& form : RawQuery(path, forms)) {
      EXPECT_TRUE((form[1] == "1" && form[2] == "0") || (form[1] == "0" && form[2] == "4"))
          << delay_ms << " ms, " << form[0] << ": " << form[1] << " clauses, " << form[2] << " triggers";
      clauses += form[1] == "1";
    }
    if (clauses == kRelations) ++finished;
  }
  EXPECT_GT(finished, 0);
  EXPECT_LT(finished, 5) << "no process was killed halfway";
}

// New fields added together to many tables in one batch, whose declarations
// SQLite reads back once, by a process killed at any moment: the file holds
// every table's new fields or none, all its rows, and reads soundly.
TEST(InterruptedChanges, FieldsAddedTogetherInABatchByAKilledProcessAreInEveryTableOrInNone) {
  TempDir dir;
  const std::string pristine = dir / "original.mdb";
  constexpr int kTables = 150;
  std::string sql = "PRAGMA synchronous = OFF; BEGIN;";
  std::string all_rows;
  for (int i = 0; i < kTables; ++i) {
    const std::string t = "t" + std::to_string(i);
    sql += "CREATE TABLE " + t + " (id INTEGER PRIMARY KEY, n TEXT); CREATE INDEX " + t + "n ON " + t + " (n);"
           "INSERT INTO " + t + " (n) VALUES ('a'), ('b'), (NULL);";
    all_rows += (i ? " UNION ALL " : "") + std::string("SELECT '") + t + "', id, n FROM " + t;
  }
  RawExec(pristine, sql + "COMMIT;");
  all_rows += " ORDER BY 1, 2";
  const Rows rows = RawQuery(pristine, all_rows);
  const std::string columns =
      "SELECT count(*) FROM sqlite_master m, pragma_table_xinfo(m.name) c WHERE m.type = 'table' AND m.name LIKE 't%'"
      " GROUP BY m.name";
  const std::string bytes = test::ReadBytes(pristine);
  int finished = 0;
  for (int delay_ms : {5, 30, 80, 160, 300, -1}) {
    const std::string path = dir / ("vieja" + std::to_string(delay_ms) + ".mdb");
    test::WriteBytes(path, bytes);
    const int status = ChangeInChild(delay_ms, [&] {
      auto& engine = DBEngine::Instance();
      engine.BeginBatch();
      auto db = engine.OpenDatabase(path);
      for (int i = 0; i < kTables; ++i) {
        auto table = db->TableDefs()["t" + std::to_string(i)];
        std::vector<std::shared_ptr<Field>> fields = {table->CreateField("x", dbLong), table->CreateField("y", dbText, 20)};
        fields[0]->SetDefinition("x INTEGER DEFAULT 7");
        fields[1]->SetDefinition("y VARCHAR(20)");
        if (table->Fields().AppendTogether(fields) != 2) throw std::runtime_error("not together");
      }
      db.reset();
      engine.EndBatch();
      engine.CloseIdle();
    });
    ASSERT_NE(status, -1);
    ASSERT_FALSE(WIFEXITED(status) && WEXITSTATUS(status) == 3) << "the change failed at " << delay_ms << " ms";
    EXPECT_EQ(RawQuery(path, "PRAGMA integrity_check"), (Rows{{"ok"}})) << delay_ms << " ms";
    EXPECT_EQ(RawQuery(path, all_rows), rows) << delay_ms << " ms";
    const Rows counts = RawQuery(path, columns);
    ASSERT_EQ(counts.size(), static_cast<size_t>(kTables));
    const std::string first = counts[0][0];
    EXPECT_TRUE(first == "2" || first == "4") << first;
    for (const auto& count : counts) EXPECT_EQ(count[0], first) << delay_ms << " ms: some tables only";
    if (first == "4") {
      ++finished;
      EXPECT_EQ(RawQuery(path, "SELECT DISTINCT x FROM t" + std::to_string(kTables - 1)), (Rows{{"7"}}));
    }
  }
  EXPECT_GT(finished, 0);
  EXPECT_LT(finished, 6) << "no process was killed before the end";
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
