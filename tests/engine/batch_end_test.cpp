// The end of a batch: a file whose rows were deleted and written back exactly
// as they were keeps every byte it had (nothing to commit); any difference,
// a rowid included, is committed.
#include <gtest/gtest.h>

#include "engine/dbengine.h"
#include "tests/support/test_support.h"

namespace brenquil {
namespace {

using test::RawExec;
using test::RawQuery;
using test::TempDir;

using Rows = std::vector<std::vector<std::string>>;

// A catalogue as the sqlite3 library writes it: text, a number, a Null, and a
// second table the batch does not touch.
void MakeCatalogue(const std::string& path, const std::string& journal_mode, int first_rowid) {
  RawExec(path, "PRAGMA journal_mode = " + journal_mode +
                    "; CREATE TABLE indices (nombreind TEXT, tabla TEXT, campo TEXT, orden INTEGER);"
                    " CREATE TABLE otra (a TEXT PRIMARY KEY, b) WITHOUT ROWID;"
                    " INSERT INTO otra VALUES ('x', 1.5);"
                    " INSERT INTO indices (rowid, nombreind, tabla, campo, orden) VALUES (" +
                    std::to_string(first_rowid) + ", 'PrimaryKey', 'Clientes', 'Id', 1), (" +
                    std::to_string(first_rowid + 1) + ", 'por nombre', 'Clientes', 'Nombre', NULL);");
}

// Every row of indices deleted and written back through a record set inside
// one batch, the last one with `last_name` as its name.
void RewriteInBatch(const std::string& path, const std::string& last_name) {
  auto& engine = DBEngine::Instance();
  engine.BeginBatch();
  {
    auto db = engine.OpenDatabase(path);
    auto rows = db->OpenRecordset("indices");
    Rows before;
    rows->MoveFirst();
    while (!rows->Eof()) {
      std::vector<std::string> row;
      for (int c = 0; c < 4; ++c) row.push_back(rows->Value(c).value_or("<null>"));
      before.push_back(row);
      rows->Delete();
      if (!rows->Eof()) rows->MoveNext();
    }
    before.back()[0] = last_name;
    for (const auto& row : before) {
      rows->AddNew();
      for (int c = 0; c < 4; ++c)
        if (row[c] != "<null>") rows->SetValue(c, row[c]);
      rows->Update();
    }
  }
  engine.EndBatch();
  engine.CloseIdle();
}

Rows Content(const std::string& path) {
  return RawQuery(path, "SELECT rowid, nombreind, tabla, campo, typeof(orden), orden FROM indices ORDER BY rowid");
}

TEST(BatchEnd, RowsWrittenBackAsTheyWereLeaveTheFileUntouched) {
  for (const std::string mode : {"delete", "wal"}) {
    SCOPED_TRACE(mode);
    TempDir dir;
    const std::string path = dir / "indices.mdb";
    MakeCatalogue(path, mode, 1);
    const auto files = test::FolderContents(dir.Path());
    const Rows rows = Content(path);
    RewriteInBatch(path, "por nombre");
    EXPECT_TRUE(test::FolderContents(dir.Path()) == files) << "nothing to commit: the file keeps every byte";
    EXPECT_EQ(Content(path), rows);
    EXPECT_EQ(RawQuery(path, "SELECT group_concat(name) FROM sqlite_master")[0][0], "indices,otra");
    EXPECT_EQ(RawQuery(path, "PRAGMA integrity_check")[0][0], "ok");
  }
}

// The rows a catalogue holds after a batch rewrote it, the catalogue made with
// its rowids from `first_rowid` and rewritten with `last_name`.
Rows AfterRewrite(int first_rowid, const std::string& last_name) {
  TempDir dir;
  const std::string path = dir / "indices.mdb";
  MakeCatalogue(path, "delete", first_rowid);
  RewriteInBatch(path, last_name);
  return Content(path);
}

TEST(BatchEnd, AnyDifferenceIsCommitted) {
  {
    SCOPED_TRACE("a value");
    const Rows rows = AfterRewrite(1, "por apellido");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1][1], "por apellido");
    EXPECT_EQ(rows[1][4], "null") << "a Null stays a Null";
  }
  {
    // The same values under other rowids: written back into an emptied
    // table, the rows are numbered from 1 again.
    SCOPED_TRACE("the rowids");
    const Rows rows = AfterRewrite(5, "por nombre");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][0], "1");
    EXPECT_EQ(rows[1][0], "2");
    EXPECT_EQ(rows[1][1], "por nombre");
  }
}

}  // namespace
}  // namespace brenquil
