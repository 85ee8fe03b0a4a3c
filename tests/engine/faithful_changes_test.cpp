// Changes to files written by the sqlite3 library, not by the engine: a
// removed key or foreign key keeps every other part of the declaration, the
// rows with their rowids, the sequence, triggers and the table's place; what
// cannot be removed without a loss is refused and leaves the file as it was.
#include <gtest/gtest.h>

#include "engine/dbengine.h"
#include "tests/support/test_support.h"

namespace brenquil {
namespace {

using test::NumberOf;
using test::RawExec;
using test::RawQuery;
using test::TempDir;
using Rows = std::vector<std::vector<std::string>>;

std::string Sql(const std::string& path, const std::string& name) {
  auto rows = RawQuery(path, "SELECT sql FROM sqlite_master WHERE name = '" + name + "'");
  return rows.empty() ? "" : rows[0][0];
}

std::string Integrity(const std::string& path) { return RawQuery(path, "PRAGMA integrity_check")[0][0]; }

class FaithfulChanges : public ::testing::Test {
 protected:
  void TearDown() override { DBEngine::Instance().CloseIdle(); }
  std::shared_ptr<Database> Open() { return DBEngine::Instance().OpenDatabase(path_); }
  TempDir dir_;
  std::string path_ = dir_ / "vieja.mdb";
};

TEST_F(FaithfulChanges, ForeignKeyRemovalEditsOnlyThatClause) {
  RawExec(path_,
          "CREATE TABLE parent (id INTEGER PRIMARY KEY, name TEXT COLLATE NOCASE UNIQUE);"
          "CREATE TABLE child (id INTEGER PRIMARY KEY AUTOINCREMENT,"
          "  pid INTEGER REFERENCES parent(id) ON DELETE CASCADE,"
          "  qty INT CHECK (qty >= 0), stamp TEXT DEFAULT (datetime('now')),"
          "  total INT GENERATED ALWAYS AS (qty * 2) VIRTUAL);"
          "CREATE TRIGGER child_qty AFTER UPDATE OF qty ON child BEGIN SELECT 1; END;"
          "INSERT INTO parent VALUES (1, 'a'), (2, 'b');"
          "INSERT INTO child (pid, qty) VALUES (1, 3), (2, 4), (1, 5);"
          "DELETE FROM child WHERE id = 3;");
  Rows before = RawQuery(path_, "SELECT rowid, * FROM child ORDER BY rowid");
  {
    auto db = Open();
    ASSERT_EQ(db->Relations().Count(), 1);
    db->Relations().Delete(db->Relations()[0]->Name());
    EXPECT_EQ(db->Relations().Count(), 0);
  }
  DBEngine::Instance().CloseIdle();
  EXPECT_EQ(Sql(path_, "child"),
            "CREATE TABLE child (id INTEGER PRIMARY KEY AUTOINCREMENT,"
            "  pid INTEGER,"
            "  qty INT CHECK (qty >= 0), stamp TEXT DEFAULT (datetime('now')),"
            "  total INT GENERATED ALWAYS AS (qty * 2) VIRTUAL)");
  EXPECT_EQ(RawQuery(path_, "SELECT rowid, * FROM child ORDER BY rowid"), before);
  EXPECT_EQ(RawQuery(path_, "SELECT seq FROM sqlite_sequence WHERE name = 'child'"), (Rows{{"3"}}));
  EXPECT_EQ(Sql(path_, "child_qty"), "CREATE TRIGGER child_qty AFTER UPDATE OF qty ON child BEGIN SELECT 1; END");
  EXPECT_THROW(RawExec(path_, "INSERT INTO child (pid, qty) VALUES (1, -1)"), std::runtime_error);
  RawExec(path_, "INSERT INTO child (pid, qty) VALUES (9, 1)");  // no longer a foreign key
  EXPECT_EQ(RawQuery(path_, "SELECT max(id) FROM child"), (Rows{{"4"}}));
  EXPECT_EQ(Integrity(path_), "ok");
}

TEST_F(FaithfulChanges, KeyRemovalRebuildsKeepingRowidsGeneratedColumnsTriggersAndPlace) {
  RawExec(path_,
          "CREATE TABLE first (a);"
          "CREATE TABLE line (code TEXT PRIMARY KEY, price REAL CHECK (price >= 0),"
          "  label TEXT COLLATE NOCASE UNIQUE, twice REAL GENERATED ALWAYS AS (price * 2) STORED,"
          "  note TEXT DEFAULT (lower('X'))) ;"
          "CREATE INDEX line_price ON line (price DESC) WHERE price > 1;"
          "CREATE TRIGGER line_t AFTER INSERT ON line BEGIN UPDATE first SET a = new.code; END;"
          "CREATE TABLE last (b);"
          "INSERT INTO line (code, price, label) VALUES ('x', 1.5, 'uno'), ('y', 2, 'dos'), ('z', 3, 'tres');"
          "DELETE FROM line WHERE code = 'x';");
  Rows before = RawQuery(path_, "SELECT rowid, * FROM line ORDER BY rowid");
  {
    auto db = Open();
    auto line = db->TableDefs()["LINE"];  // any letter case
    line->Indexes().Delete("PrimaryKey");
    auto names = db->TableDefs().Snapshot();
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(names[1]->Name(), "line");  // keeps its place among the tables
    EXPECT_FALSE(line->Indexes().Find("PrimaryKey"));
  }
  DBEngine::Instance().CloseIdle();
  EXPECT_EQ(Sql(path_, "line"),
            "CREATE TABLE line (code TEXT, price REAL CHECK (price >= 0),"
            "  label TEXT COLLATE NOCASE UNIQUE, twice REAL GENERATED ALWAYS AS (price * 2) STORED,"
            "  note TEXT DEFAULT (lower('X')))");
  EXPECT_EQ(RawQuery(path_, "SELECT rowid, * FROM line ORDER BY rowid"), before);
  EXPECT_EQ(Sql(path_, "line_price"), "CREATE INDEX line_price ON line (price DESC) WHERE price > 1");
  EXPECT_EQ(RawQuery(path_, "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY rowid"),
            (Rows{{"first"}, {"line"}, {"last"}}));
  RawExec(path_, "INSERT INTO line (code, price, label) VALUES ('y', 4, 'cuatro')");  // no key now
  EXPECT_THROW(RawExec(path_, "INSERT INTO line (code, price, label) VALUES ('w', 1, 'DOS')"), std::runtime_error);
  EXPECT_EQ(RawQuery(path_, "SELECT a FROM first"), Rows{});
  EXPECT_EQ(RawQuery(path_, "SELECT twice, note FROM line WHERE label = 'cuatro'"), (Rows{{"8.0", "x"}}));
  EXPECT_EQ(Integrity(path_), "ok");
}

TEST_F(FaithfulChanges, UniqueRemovalKeepsTheOtherUniqueAndTheRowids) {
  RawExec(path_,
          "CREATE TABLE t (a INTEGER, b TEXT UNIQUE, c TEXT, UNIQUE (c, a));"
          "INSERT INTO t VALUES (1, 'p', 'x'), (2, 'q', 'y');"
          "DELETE FROM t WHERE a = 1; INSERT INTO t VALUES (3, 'r', 'z');");
  Rows before = RawQuery(path_, "SELECT rowid, * FROM t ORDER BY rowid");
  std::string unique_ca;
  for (auto& row : RawQuery(path_, "SELECT name FROM pragma_index_list('t') WHERE origin = 'u'"))
    if (RawQuery(path_, "SELECT count(*) FROM pragma_index_info('" + row[0] + "')")[0][0] == "2") unique_ca = row[0];
  ASSERT_FALSE(unique_ca.empty());
  Open()->TableDefs()["t"]->Indexes().Delete(unique_ca);
  DBEngine::Instance().CloseIdle();
  EXPECT_EQ(Sql(path_, "t"), "CREATE TABLE t (a INTEGER, b TEXT UNIQUE, c TEXT)");
  EXPECT_EQ(RawQuery(path_, "SELECT rowid, * FROM t ORDER BY rowid"), before);
  EXPECT_THROW(RawExec(path_, "INSERT INTO t VALUES (9, 'q', 'k')"), std::runtime_error);
  EXPECT_EQ(Integrity(path_), "ok");
}

TEST_F(FaithfulChanges, RemovalsThatWouldLoseSomethingAreRefusedAndChangeNothing) {
  RawExec(path_,
          "CREATE TABLE seq (id INTEGER PRIMARY KEY AUTOINCREMENT, v TEXT);"
          "CREATE TABLE wr (k TEXT PRIMARY KEY, v TEXT) WITHOUT ROWID;"
          "INSERT INTO seq (v) VALUES ('a'); INSERT INTO wr VALUES ('k', 'v');");
  std::string bytes = test::ReadBytes(path_);
  auto db = Open();
  EXPECT_EQ(NumberOf([&] { db->TableDefs()["seq"]->Indexes().Delete("PrimaryKey"); }), err::kInvalidOperation);
  EXPECT_EQ(NumberOf([&] { db->TableDefs()["wr"]->Indexes().Delete("PrimaryKey"); }), err::kInvalidOperation);
  db.reset();
  DBEngine::Instance().CloseIdle();
  EXPECT_EQ(Sql(path_, "seq"), "CREATE TABLE seq (id INTEGER PRIMARY KEY AUTOINCREMENT, v TEXT)");
  EXPECT_EQ(Sql(path_, "wr"), "CREATE TABLE wr (k TEXT PRIMARY KEY, v TEXT) WITHOUT ROWID");
  EXPECT_EQ(Integrity(path_), "ok");
}

TEST_F(FaithfulChanges, VirtualTablesAndTheirShadowTablesAreNotListed) {
  RawExec(path_,
          "CREATE TABLE plain (a);"
          "CREATE VIRTUAL TABLE docs USING fts5(title, body);"
          "CREATE VIRTUAL TABLE box USING rtree(id, x0, x1);"
          "INSERT INTO docs VALUES ('ancla', 'texto');");
  auto db = Open();
  std::vector<std::string> names;
  for (auto& t : db->TableDefs()) names.push_back(t->Name());
  EXPECT_EQ(names, (std::vector<std::string>{"plain"}));
}

TEST_F(FaithfulChanges, ARolledBackFirstChangeLeavesTheEngineAbleToGoOn) {
  // The engine's own tables are made by the first change; a refused change
  // takes them back, and the next change must make them again.
  RawExec(path_, "CREATE TABLE t (a TEXT); INSERT INTO t VALUES ('x'), ('x');");
  auto db = Open();
  auto t = db->TableDefs()["t"];
  auto unique = t->CreateIndex("Único");
  unique->Fields().Append(unique->CreateField("a"));
  unique->SetUnique(true);
  EXPECT_EQ(NumberOf([&] { t->Indexes().Append(unique); }), err::kDuplicateValue);
  auto plain = t->CreateIndex("Simple");
  plain->Fields().Append(plain->CreateField("a"));
  EXPECT_EQ(NumberOf([&] { t->Indexes().Append(plain); }), 0);
  EXPECT_EQ(NumberOf([&] { db->QueryDefs().Append(db->CreateQueryDef("Q", "SELECT a FROM t")); }), 0);
  EXPECT_TRUE(t->Indexes().Find("Simple"));
  EXPECT_TRUE(db->QueryDefs().Find("q"));
}

TEST_F(FaithfulChanges, ADamagedFileIsNeverWritten) {
  RawExec(path_, "CREATE TABLE t (a TEXT); CREATE INDEX ta ON t (a);");
  RawExec(path_, "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 200)"
                 " INSERT INTO t SELECT printf('%050d', i) FROM n");
  // Damage the index's pages, not the header: the file still opens.
  std::string bytes = test::ReadBytes(path_);
  auto root = std::stoul(RawQuery(path_, "SELECT rootpage FROM sqlite_master WHERE name = 'ta'")[0][0]);
  size_t page = 4096;
  for (size_t i = (root - 1) * page + 100; i < root * page && i < bytes.size(); i += 7) bytes[i] = '\x55';
  test::WriteBytes(path_, bytes);
  auto db = Open();
  auto t = db->TableDefs()["t"];
  EXPECT_EQ(NumberOf([&] { t->Fields().Append(t->CreateField("b", dbLong)); }), err::kCannotOpen);
  db.reset();
  DBEngine::Instance().CloseIdle();
  EXPECT_EQ(test::ReadBytes(path_), bytes);
}

TEST_F(FaithfulChanges, AFileIsLeftInTheJournalModeItHad) {
  RawExec(path_, "CREATE TABLE t (a TEXT)");
  {
    auto db = Open();
    auto t = db->TableDefs()["t"];
    t->Fields().Append(t->CreateField("b", dbLong));
  }
  DBEngine::Instance().CloseIdle();
  EXPECT_EQ(RawQuery(path_, "PRAGMA journal_mode"), (Rows{{"delete"}}));
  EXPECT_EQ(test::ReadBytes(path_ + "-wal"), "");
  EXPECT_EQ(test::ReadBytes(path_ + "-shm"), "");
  EXPECT_EQ(test::RawColumns(path_, "t"), (std::vector<std::string>{"a", "b"}));
}

}  // namespace
}  // namespace brenquil
