// New fields added to a table in one change must leave what SQLite's own
// ALTER TABLE ADD COLUMN, run column after column on a copy of the same file,
// leaves: the same declaration text, the same rows, a sound file, whether the
// change stands alone or is one of a batch's (where SQLite reads the new
// declaration back later). What ADD COLUMN would decide by looking at the rows
// is left to it, one field at a time.
#include <gtest/gtest.h>

#include "engine/dbengine.h"
#include "engine/field.h"
#include "engine/sql_text.h"
#include "tests/support/test_support.h"

namespace brenquil {
namespace {

using test::RawExec;
using test::RawQuery;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;
using Rows = std::vector<std::vector<std::string>>;

struct Case {
  const char* what;
  std::string setup;                     // the file as the sqlite3 library writes it
  std::string table;
  std::vector<std::string> definitions;  // the new columns, in order
  size_t together;                       // how many go in the one change
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.what; }

class FieldsTogether : public ::testing::TestWithParam<Case> {
 protected:
  void TearDown() override { DBEngine::Instance().CloseIdle(); }
  TempDir dir_;
};

std::string Sql(const std::string& path, const std::string& table) {
  return RawQuery(path, "SELECT sql FROM sqlite_master WHERE type = 'table' AND name = '" + table + "'")[0][0];
}

TEST_P(FieldsTogether, LeaveWhatAddColumnLeavesOneByOne) {
  const Case& c = GetParam();
  const std::string pristine_file = dir_ / "original.mdb";
  RawExec(pristine_file, c.setup);
  const std::string pristine = ReadBytes(pristine_file);

  for (bool in_batch : {false, true}) {
    const std::string engine_file = dir_ / (in_batch ? "en_lote.mdb" : "vieja.mdb");
    const std::string sqlite_file = dir_ / (in_batch ? "copia_lote.mdb" : "copia.mdb");
    const std::string what = std::string(c.what) + (in_batch ? ", in a batch" : ", alone");
    WriteBytes(engine_file, pristine);
    WriteBytes(sqlite_file, pristine);
    for (const auto& definition : c.definitions)
      RawExec(sqlite_file, "ALTER TABLE " + c.table + " ADD COLUMN " + definition);
    if (in_batch) DBEngine::Instance().BeginBatch();
    {
      auto db = DBEngine::Instance().OpenDatabase(engine_file);
      auto table = db->TableDefs()[c.table];
      std::vector<std::shared_ptr<Field>> fields;
      for (const auto& definition : c.definitions) {
        auto field = table->CreateField(detail::Unquote(detail::NextTokenAt(definition)), dbLong);
        field->SetDefinition(definition);
        fields.push_back(field);
      }
      size_t together = table->Fields().AppendTogether(fields);
      EXPECT_EQ(together, c.together) << what;
      for (size_t i = 0; i < together; ++i) EXPECT_TRUE(fields[i]->Stored()) << what;
      for (size_t i = together; i < fields.size(); ++i) table->Fields().Append(fields[i]);
      for (const auto& field : fields) EXPECT_TRUE(table->Fields().Find(field->Name())) << what;
    }
    if (in_batch) DBEngine::Instance().EndBatch();
    DBEngine::Instance().CloseIdle();

    EXPECT_EQ(Sql(engine_file, c.table), Sql(sqlite_file, c.table)) << what;
    std::string rows = "SELECT * FROM " + c.table + " ORDER BY 1";
    EXPECT_EQ(RawQuery(engine_file, rows), RawQuery(sqlite_file, rows)) << what;
    std::string types = "SELECT " + std::string("typeof(") +
                        detail::Unquote(detail::NextTokenAt(c.definitions.back())) + ") FROM " + c.table + " ORDER BY 1";
    EXPECT_EQ(RawQuery(engine_file, types), RawQuery(sqlite_file, types)) << what;
    EXPECT_EQ(RawQuery(engine_file, "PRAGMA integrity_check"), (Rows{{"ok"}})) << what;
    // A writer that names no new column gets what the declaration says.
    auto through_sql = [&](const std::string& path) {
      try {
        RawExec(path, "INSERT INTO " + c.table + " DEFAULT VALUES");
        return RawQuery(path, rows);
      } catch (const std::runtime_error& e) {
        return Rows{{e.what()}};
      }
    };
    EXPECT_EQ(through_sql(engine_file), through_sql(sqlite_file)) << what;
  }
}

const std::string kRows =
    "CREATE TABLE t (id INTEGER PRIMARY KEY, a TEXT /* the name */ , CONSTRAINT u UNIQUE (a));"
    "INSERT INTO t (a) VALUES ('uno'), ('dos'), (NULL);";

INSTANTIATE_TEST_SUITE_P(
    Declarations, FieldsTogether,
    ::testing::Values(
        Case{"literal defaults on a table with rows and a table constraint", kRows, "t",
             {"b INT DEFAULT -3", "\"c d\" TEXT DEFAULT 'x''y'", "e BLOB DEFAULT x'00ff'", "f REAL COLLATE NOCASE",
              "g NUMERIC DEFAULT +1.5e3", "h TEXT DEFAULT NULL"},
             6},
        Case{"a NOT NULL column ends what goes together on a table with rows", kRows, "t",
             {"b INT DEFAULT 1", "c INT DEFAULT 2", "n INT NOT NULL DEFAULT 0", "d INT", "e INT"}, 2},
        Case{"a default that is an expression stops there on a table with rows", kRows, "t",
             {"b INT DEFAULT 1", "c INT DEFAULT 3.25", "x INT DEFAULT (5)", "y INT DEFAULT 6"}, 2},
        Case{"a table with rows and a CHECK is left to ADD COLUMN",
             "CREATE TABLE k (id INTEGER PRIMARY KEY, q INT CHECK (q > 0)); INSERT INTO k (q) VALUES (1), (2);", "k",
             {"b INT DEFAULT 1", "c INT DEFAULT 2"}, 0},
        Case{"an empty STRICT table takes NOT NULL, CHECK and STORED together",
             "CREATE TABLE s (id INTEGER PRIMARY KEY, v TEXT) STRICT;", "s",
             {"b INTEGER NOT NULL DEFAULT 0", "c TEXT CHECK (c <> '') DEFAULT 'z'",
              "g INT GENERATED ALWAYS AS (b * 2) STORED", "r INTEGER REFERENCES s(id)"},
             4},
        Case{"a WITHOUT ROWID table with rows",
             "CREATE TABLE w (k TEXT PRIMARY KEY, v INT) WITHOUT ROWID; INSERT INTO w VALUES ('a', 1), ('b', 2);", "w",
             {"x INT DEFAULT 7", "y TEXT", "z VARCHAR(20) DEFAULT 'hola'"}, 3},
        Case{"a virtual generated column on a table with rows is left to ADD COLUMN", kRows, "t",
             {"b INT DEFAULT 1", "v INT GENERATED ALWAYS AS (id * 2) VIRTUAL", "c INT DEFAULT 2"}, 0}),
    [](const ::testing::TestParamInfo<Case>& info) { return "Case" + std::to_string(info.index); });

// Old rows read a column's DEFAULT from the declaration only in files of
// schema format 3 or more: in an older one ADD COLUMN raises the format, and
// the fields go one by one.
TEST(FieldsTogetherFormat, AFileOfAnOldFormatTakesThemOneByOne) {
  TempDir dir;
  std::string path = dir / "vieja.mdb";
  RawExec(path, "CREATE TABLE t (id INTEGER PRIMARY KEY, a TEXT); INSERT INTO t (a) VALUES ('uno');");
  std::string bytes = ReadBytes(path);
  bytes[47] = 1;  // the schema format number: nothing in the file needs more
  WriteBytes(path, bytes);
  ASSERT_EQ(RawQuery(path, "PRAGMA integrity_check"), (Rows{{"ok"}}));
  {
    auto db = DBEngine::Instance().OpenDatabase(path);
    auto table = db->TableDefs()["t"];
    std::vector<std::shared_ptr<Field>> fields;
    for (const char* definition : {"b INT DEFAULT 5", "c TEXT DEFAULT 'x'"}) {
      auto field = table->CreateField(detail::Unquote(detail::NextTokenAt(definition)), dbLong);
      field->SetDefinition(definition);
      fields.push_back(field);
    }
    EXPECT_EQ(table->Fields().AppendTogether(fields), 0u);
    for (auto& field : fields) table->Fields().Append(field);
  }
  DBEngine::Instance().CloseIdle();
  EXPECT_GE(static_cast<unsigned char>(ReadBytes(path)[47]), 3);
  EXPECT_EQ(RawQuery(path, "SELECT a, b, c FROM t"), (Rows{{"uno", "5", "x"}}));
}

}  // namespace
}  // namespace brenquil
