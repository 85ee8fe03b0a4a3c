// A file another program writes meanwhile: opening it and checking it for
// damage (the check run ahead on a connection of its own, and the check
// before the first change) never call it damaged; a file held longer than
// the busy timeout is refused as in use, and nothing of it is changed.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "engine/dbengine.h"
#include "tests/support/test_support.h"

namespace brenquil {
namespace {

using test::OtherWriter;
using test::RawExec;
using test::RawQuery;
using test::TempDir;

constexpr int kTries = 200;

// A file of the sqlite3 library in journal mode `mode`, with the table
// another program writes to and one of its own; in auto-vacuum mode every
// transaction that frees a page shortens the file.
void MakeFile(const std::string& path, const std::string& mode, bool auto_vacuum = false) {
  RawExec(path, std::string(auto_vacuum ? "PRAGMA auto_vacuum = FULL;" : "") + "PRAGMA journal_mode = " + mode +
                    "; CREATE TABLE escritor (id INTEGER PRIMARY KEY, datos BLOB);"
                    "CREATE TABLE Clientes (id INTEGER PRIMARY KEY, nombre VARCHAR(40))");
}

bool Busy(const Error& error) {
  return error.Number() == err::kFileInUse || error.Number() == err::kLocked;
}

TEST(BusyFile, OpeningAndCheckingAFileBeingWrittenNeverCallItDamaged) {
  DBEngine& engine = DBEngine::Instance();
  struct Case {
    const char* mode;
    // A file that only grows (the other program's checkpoints and commits
    // write the header's new page count before the pages that make the
    // file that long), or one that grows and shrinks at every transaction,
    // small enough to be checked whole at every try, with a moment between
    // two transactions for the check ahead to start.
    OtherWriter::Kind writer;
    long pause_us;
  };
  const Case cases[] = {
      {"wal", OtherWriter::Kind::kCommits, 0},
      {"delete", OtherWriter::Kind::kCommits, 0},
      {"wal", OtherWriter::Kind::kChurns, 30},
      {"delete", OtherWriter::Kind::kChurns, 30},
  };
  for (const Case& c : cases) {
    const bool churns = c.writer == OtherWriter::Kind::kChurns;
    const std::string what = std::string(c.mode) + (churns ? ", churning" : ", growing");
    TempDir dir(test::MemoryFolder());
    const std::string path = dir / "base.mdb";
    MakeFile(path, c.mode, churns);
    // The file changes between any two reads of it.
    OtherWriter writer(path, c.mode, c.writer, c.pause_us);
    int opened = 0, checked_ahead = 0, in_use = 0;
    for (int i = 0; i < kTries; ++i) {
      if (churns) {
        // The check run ahead, when the file may be read without writing.
        engine.CheckIntegrityAhead(path);
        if (auto verdict = engine.TakeIntegrity(path)) {
          EXPECT_EQ(*verdict, "ok") << what << ", try " << i;
          ++checked_ahead;
        }
      }
      try {
        auto db = engine.OpenDatabase(path);
        EXPECT_EQ(db->TableDefs().Count(), 2) << what << ", try " << i;
        // The check before a first change, on the file as this connection
        // reads it.
        if (churns) db->CheckIntact();
        ++opened;
      } catch (const Error& error) {
        EXPECT_TRUE(Busy(error)) << what << ", try " << i << ": " << error.Text();
        EXPECT_NE(error.Text().find(path), std::string::npos) << error.Text();
        ++in_use;
      }
      engine.CloseIdle();
    }
    const long committed = writer.Stop();
    EXPECT_GT(opened, kTries / 2) << what << ": " << in_use << " refused as in use";
    // In rollback-journal mode the check runs ahead whenever the other
    // program is between two transactions.
    if (churns && c.mode == std::string("delete")) {
      EXPECT_GT(checked_ahead, 0) << what;
    }
    const long kept = churns ? OtherWriter::kChurnKeeps : committed;
    EXPECT_EQ(OtherWriter::Whole(path, std::max(1L, committed - kept + 1), committed), "") << what;
  }
}

TEST(BusyFile, AFileHeldLongerThanTheBusyTimeoutIsInUseNotDamaged) {
  DBEngine& engine = DBEngine::Instance();
  for (const std::string mode : {"wal", "delete"}) {
    TempDir dir;
    const std::string path = dir / "base.mdb";
    MakeFile(path, mode);
    auto before = RawQuery(path, "SELECT sql FROM sqlite_master ORDER BY name");
    OtherWriter writer(path, mode, OtherWriter::Kind::kHolds);
    engine.BeginBatch();
    try {
      auto db = engine.OpenDatabase(path);
      auto table = db->CreateTableDef("Nueva");
      table->Fields().Append(table->CreateField("a", dbLong));
      // Held by the other program: refused as busy, after the busy timeout.
      int first = test::NumberOf([&] { db->TableDefs().Append(table); });
      EXPECT_EQ(first, err::kLocked) << mode;
      EXPECT_FALSE(db->FoundDamaged()) << mode;
      EXPECT_TRUE(db->HeldByAnotherProcess()) << mode;
      // Every later change of the operation is refused at once.
      try {
        db->TableDefs()["Clientes"]->Fields().Append(db->TableDefs()["Clientes"]->CreateField("b", dbText, 5));
        ADD_FAILURE() << mode << ": a held file took a field";
      } catch (const Error& error) {
        EXPECT_EQ(error.Number(), err::kLocked) << mode;
        EXPECT_NE(error.Text().find(path), std::string::npos) << error.Text();
        EXPECT_NE(error.Text().find("vuelva a intentarlo"), std::string::npos) << error.Text();
      }
    } catch (const Error& error) {
      // In rollback-journal mode reading may already meet the lock.
      EXPECT_TRUE(Busy(error)) << mode << ": " << error.Text();
    }
    EXPECT_NO_THROW(engine.EndBatch()) << mode;
    EXPECT_EQ(writer.Stop(), 1) << mode;
    EXPECT_EQ(RawQuery(path, "SELECT sql FROM sqlite_master ORDER BY name"), before) << mode << ": changed";
    EXPECT_EQ(OtherWriter::Whole(path, 1, 1), "") << mode;
  }
}

}  // namespace
}  // namespace brenquil
