// Inside a batch, new fields added together are stored in the table's
// declaration and read back by SQLite later, once for many tables. Whatever
// the batch does next with such a table (a query naming only a new field, a
// SELECT *, a view over it, the engine's own reading of it, an index on a new
// field) sees the new fields, and after the batch so does a connection that
// read the schema before it. A plan keeps nothing of them.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include "engine/dbengine.h"
#include "engine/field.h"
#include "engine/index.h"
#include "engine/sql_text.h"
#include "tests/support/test_support.h"

namespace brenquil {
namespace {

using test::RawExec;
using test::RawQuery;
using test::ReadBytes;
using test::TempDir;
using Rows = std::vector<std::vector<std::string>>;

// Tables a to f with rows, each with a view over it.
std::string SixTables() {
  std::string sql;
  for (char t = 'a'; t <= 'f'; ++t) {
    const std::string name(1, t);
    sql += "CREATE TABLE " + name + " (id INTEGER PRIMARY KEY, n TEXT);"
           "INSERT INTO " + name + " (n) VALUES ('uno'), ('dos');"
           "CREATE VIEW v" + name + " AS SELECT * FROM " + name + ";";
  }
  return sql;
}

// Adds x INT DEFAULT 7 and y TEXT DEFAULT 'z' to `table` together.
void AddTwo(Database& db, const std::string& table) {
  auto t = db.TableDefs()[table];
  std::vector<std::shared_ptr<Field>> fields;
  for (const char* definition : {"x INT DEFAULT 7", "y TEXT DEFAULT 'z'"}) {
    auto field = t->CreateField(detail::Unquote(detail::NextTokenAt(definition)), dbLong);
    field->SetDefinition(definition);
    fields.push_back(field);
  }
  ASSERT_EQ(t->Fields().AppendTogether(fields), 2u) << table;
}

Rows Read(Database& db, const std::string& source) {
  auto rows = db.OpenRecordset(source);
  Rows out;
  for (rows->MoveFirst(); !rows->Eof(); rows->MoveNext()) {
    std::vector<std::string> row;
    for (int c = 0; c < rows->Fields().Count(); ++c) row.push_back(rows->Value(c).value_or("<null>"));
    out.push_back(row);
  }
  return out;
}

TEST(StagedDeclarations, WhatTheBatchDoesNextSeesTheNewFieldsAndSoDoesAnEarlierReaderAfterIt) {
  TempDir dir;
  const std::string path = dir / "vieja.mdb";
  RawExec(path, SixTables());
  // Another program that read the schema before the batch.
  sqlite3* reader = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &reader), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(reader, "SELECT * FROM f", nullptr, nullptr, nullptr), SQLITE_OK);

  auto& engine = DBEngine::Instance();
  const Rows with_new = {{"1", "uno", "7", "z"}, {"2", "dos", "7", "z"}};
  engine.BeginBatch();
  {
    auto db = engine.OpenDatabase(path);
    AddTwo(*db, "a");
    EXPECT_EQ(Read(*db, "SELECT * FROM a ORDER BY id"), with_new);
    AddTwo(*db, "b");
    EXPECT_EQ(Read(*db, "SELECT * FROM vb ORDER BY id"), with_new);
    AddTwo(*db, "c");
    // Only the new fields: SQLite, still reading the old declaration, would
    // not know them.
    EXPECT_EQ(Read(*db, "SELECT x, y FROM c ORDER BY id"), (Rows{{"7", "z"}, {"7", "z"}}));
    AddTwo(*db, "d");
    EXPECT_EQ(db->TableDefs()["d"]->Fields().Count(), 4);
    EXPECT_EQ(Read(*db, "d"), with_new);
    AddTwo(*db, "e");
    auto index = db->TableDefs()["e"]->CreateIndex("por x");
    index->Fields().Append(index->CreateField("y"));
    index->Fields().Append(index->CreateField("x"));
    db->TableDefs()["e"]->Indexes().Append(index);
    AddTwo(*db, "f");
  }
  engine.EndBatch();
  engine.CloseIdle();

  sqlite3_stmt* st = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(reader, "SELECT x, y FROM f ORDER BY id", -1, &st, nullptr), SQLITE_OK)
      << sqlite3_errmsg(reader);
  ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
  EXPECT_EQ(sqlite3_column_int(st, 0), 7);
  sqlite3_finalize(st);
  sqlite3_close(reader);

  EXPECT_EQ(RawQuery(path, "PRAGMA integrity_check"), (Rows{{"ok"}}));
  for (char t = 'a'; t <= 'f'; ++t)
    EXPECT_EQ(RawQuery(path, "SELECT * FROM v" + std::string(1, t) + " ORDER BY id"), with_new) << t;
  EXPECT_EQ(RawQuery(path, "SELECT count(*) FROM sqlite_master WHERE type = 'index' AND tbl_name = 'e'"),
            (Rows{{"1"}}));
  // A writer that names no new field gets what the declarations say.
  RawExec(path, "INSERT INTO f (n) VALUES ('tres')");
  EXPECT_EQ(RawQuery(path, "SELECT x, y FROM f WHERE n = 'tres'"), (Rows{{"7", "z"}}));
}

TEST(StagedDeclarations, APlanKeepsNothingOfThem) {
  TempDir dir;
  const std::string path = dir / "vieja.mdb";
  RawExec(path, SixTables());
  const std::string before = ReadBytes(path);
  auto& engine = DBEngine::Instance();
  engine.BeginBatch(true);
  {
    auto db = engine.OpenDatabase(path);
    for (const char* table : {"a", "b", "c"}) AddTwo(*db, table);
    EXPECT_EQ(Read(*db, "SELECT x FROM b"), (Rows{{"7"}, {"7"}}));
    AddTwo(*db, "d");
  }
  engine.EndBatch();
  engine.CloseIdle();
  EXPECT_EQ(ReadBytes(path), before);
  EXPECT_EQ(RawQuery(path, "SELECT count(*) FROM pragma_table_xinfo('d')"), (Rows{{"2"}}));
}

}  // namespace
}  // namespace brenquil
