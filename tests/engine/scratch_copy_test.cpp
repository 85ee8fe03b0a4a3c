// A scratch copy (a worker's catalogues) holds one committed state of its
// source and reads as a sound database; it never replaces a file, and leaves
// nothing behind when the source is no database.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "engine/database_copy.h"
#include "engine/dbengine.h"
#include "engine/error.h"
#include "tests/support/test_support.h"

namespace brenquil {
namespace {

using test::RawExec;
using test::RawQuery;
using test::TempDir;

using Rows = std::vector<std::vector<std::string>>;

// The copy holds one committed state of the source, read through the
// engine: a batch of this process open on it is committed first, and a
// plan's, which only rolls back, is not in the copy.
TEST(ScratchCopy, HoldsWhatTheSourceCommitsAndNotWhatAPlanRollsBack) {
  for (const bool plan : {false, true}) {
    SCOPED_TRACE(plan ? "plan" : "batch");
    TempDir dir;
    const std::string from = dir / "índices 'de' prueba.mdb", to = dir / "copia.mdb";
    RawExec(from,
            "PRAGMA journal_mode = WAL;"
            "CREATE TABLE \"tabla rara\" (id INTEGER PRIMARY KEY, nombre TEXT COLLATE NOCASE NOT NULL);"
            "CREATE INDEX ix ON \"tabla rara\" (nombre);"
            "INSERT INTO \"tabla rara\" (nombre) VALUES ('uno'), ('dos'), ('tres');");
    auto& engine = DBEngine::Instance();
    engine.BeginBatch(plan);
    {
      auto db = engine.OpenDatabase(from);
      db->QueryDefs().Append(db->CreateQueryDef("vista", "SELECT nombre FROM \"tabla rara\" WHERE id > 1"));
      CopyScratchDatabase(from, to);
    }
    engine.EndBatch();

    EXPECT_EQ(RawQuery(to, "SELECT sql FROM sqlite_master ORDER BY name"),
              RawQuery(from, "SELECT sql FROM sqlite_master ORDER BY name"));
    EXPECT_EQ(RawQuery(to, "SELECT count(*) FROM sqlite_master WHERE name = 'vista'"), Rows{{plan ? "0" : "1"}});
    const Rows expected = {{"1", "uno"}, {"2", "dos"}, {"3", "tres"}};
    EXPECT_EQ(RawQuery(to, "SELECT * FROM \"tabla rara\" ORDER BY id"), expected);
    EXPECT_EQ(RawQuery(to, "PRAGMA integrity_check"), Rows{{"ok"}});
    // The copy is a database of its own: a write to it leaves the source alone.
    RawExec(to, "INSERT INTO \"tabla rara\" (nombre) VALUES ('cuatro')");
    EXPECT_EQ(RawQuery(from, "SELECT count(*) FROM \"tabla rara\""), Rows{{"3"}});
  }
}

TEST(ScratchCopy, NeverReplacesAFileAndLeavesNothingOfAFailedCopy) {
  TempDir dir;
  const std::string from = dir / "origen.mdb", taken = dir / "ocupado.mdb";
  RawExec(from, "CREATE TABLE t (a); INSERT INTO t VALUES (1);");
  RawExec(taken, "CREATE TABLE propia (b)");
  try {
    CopyScratchDatabase(from, taken);
    ADD_FAILURE() << "an existing file was replaced";
  } catch (const Error& error) {
    EXPECT_EQ(error.Number(), err::kFileAlreadyExists);
  }
  EXPECT_EQ(RawQuery(taken, "SELECT name FROM sqlite_master"), Rows{{"propia"}});

  const std::string text = dir / "texto.mdb", to = dir / "copia.mdb";
  std::ofstream(text) << "no es una base de datos, aunque lo parezca por el nombre\n";
  EXPECT_THROW(CopyScratchDatabase(text, to), Error);
  EXPECT_FALSE(std::filesystem::exists(to));
  EXPECT_FALSE(std::filesystem::exists(to + "-journal"));
}

}  // namespace
}  // namespace brenquil
