// Record sets: moving, counting, deleting and adding rows through a record
// source, and the fields they report.
#include <gtest/gtest.h>

#include "engine/dbengine.h"
#include "tests/support/test_support.h"

namespace brenquil {
namespace {

using test::RawExec;
using test::RawQuery;
using test::TempDir;

std::shared_ptr<Database> Catalogue(const std::string& path) {
  auto db = DBEngine::Instance().CreateDatabase(path);
  auto t = db->CreateTableDef("indices");
  for (const char* c : {"nombreind", "tabla", "campo", "unico"}) {
    auto f = t->CreateField(c, dbText, 255);
    f->SetAllowZeroLength(true);
    t->Fields().Append(f);
  }
  t->Fields().Append(t->CreateField("orden", dbLong));
  db->TableDefs().Append(t);
  return db;
}

TEST(Recordset, EmptySourceIsAtBothEnds) {
  TempDir dir;
  auto db = Catalogue(dir / "c.mdb");
  auto rs = db->OpenRecordset("indices");
  EXPECT_TRUE(rs->Eof());
  EXPECT_TRUE(rs->Bof());
  EXPECT_EQ(rs->RecordCount(), 0);
  try {
    rs->MoveFirst();
    ADD_FAILURE();
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), err::kNoCurrentRecord);
  }
  ASSERT_EQ(rs->Fields().Count(), 5);
  EXPECT_EQ(rs->Fields()[0]->Name(), "nombreind");
  EXPECT_EQ(rs->Fields()[0]->Type(), dbText);
  EXPECT_EQ(rs->Fields()[0]->Size(), 255);
  EXPECT_EQ(rs->Fields()[4]->Type(), dbLong);
}

TEST(Recordset, WalkDeleteAndCount) {
  TempDir dir;
  std::string path = dir / "c.mdb";
  auto db = Catalogue(path);
  RawExec(path,
          "INSERT INTO indices VALUES ('a', 'T1', 'x', 'Verdadero', 1), ('b', 'T1', 'y', 'Falso', 2),"
          " ('c', 'T2', 'z', 'Falso', 3), ('d', 'O''Brien', 'w', 'Falso', 4)");
  auto rs = db->OpenRecordset("Select * from indices where tabla = 'T1'");
  EXPECT_TRUE(rs->Updatable());
  EXPECT_FALSE(rs->Eof());
  EXPECT_EQ(rs->RecordCount(), 1) << "only the rows reached so far";
  rs->MoveLast();
  EXPECT_EQ(rs->RecordCount(), 2);
  rs->MoveFirst();
  EXPECT_EQ(rs->Value("nombreind"), "a");
  rs->MoveNext();
  EXPECT_EQ(rs->Value(0), "b");
  rs->MoveNext();
  EXPECT_TRUE(rs->Eof());
  EXPECT_THROW(rs->MoveNext(), Error);

  // The catalogue's emptying loop: delete, then move on while not at end.
  auto all = db->OpenRecordset("indices");
  all->MoveFirst();
  while (!all->Eof()) {
    all->Delete();
    if (!all->Eof()) all->MoveNext();
  }
  EXPECT_EQ(RawQuery(path, "SELECT count(*) FROM indices")[0][0], "0");
  auto quoted = db->OpenRecordset("Select * from indices where tabla = 'O''Brien'");
  EXPECT_TRUE(quoted->Eof());
}

TEST(Recordset, AddNewStoresTheGivenTexts) {
  TempDir dir;
  std::string path = dir / "c.mdb";
  auto db = Catalogue(path);
  auto rs = db->OpenRecordset("indices");
  rs->AddNew();
  rs->SetValue("nombreind", std::string("PrimaryKey"));
  rs->SetValue("tabla", std::string("Año"));
  rs->SetValue("unico", std::string(""));
  rs->SetValue("orden", std::string(""));
  rs->Update();
  EXPECT_FALSE(rs->EditingNew());
  auto rows = RawQuery(path, "SELECT nombreind, tabla, campo, unico, orden FROM indices");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"PrimaryKey", "Año", "NULL", "", "NULL"}));
  EXPECT_THROW(rs->Update(), Error) << "Update without AddNew";
  EXPECT_THROW(rs->SetValue("noexiste", std::string("x")), Error);
}

TEST(Recordset, SourcesThatAreNotOneTableAreReadOnly) {
  TempDir dir;
  std::string path = dir / "c.mdb";
  auto db = Catalogue(path);
  RawExec(path, "INSERT INTO indices VALUES ('a', 'T1', 'x', 'Verdadero', 1)");
  auto rs = db->OpenRecordset("SELECT tabla, count(*) AS n FROM indices GROUP BY tabla");
  EXPECT_FALSE(rs->Updatable());
  EXPECT_EQ(rs->Fields()[0]->Type(), dbText) << "a column of a table keeps its field's type";
  EXPECT_EQ(rs->Value("n"), "1");
  EXPECT_THROW(rs->Delete(), Error);
  struct Bad { const char* source; int number; };
  for (Bad bad : {Bad{"NoHay", err::kInputNotFound}, Bad{"Select * from NoHay", err::kInputNotFound},
                  Bad{"Select * from ", err::kInvalidSql}, Bad{"Select * from mi tabla", err::kInputNotFound}, Bad{"Select * from T where", err::kInvalidSql}}) {
    try {
      db->OpenRecordset(bad.source);
      ADD_FAILURE() << bad.source;
    } catch (const Error& e) {
      EXPECT_EQ(e.Number(), bad.number) << bad.source << ": " << e.Text();
    }
  }
}

TEST(Recordset, RowsComeInTheOrderTheyWereWrittenWhateverIndexesTheTableHas) {
  TempDir dir;
  const std::string path = dir / "c.mdb";
  auto db = Catalogue(path);
  db->Close();
  db.reset();
  DBEngine::Instance().CloseIdle();
  // Indexes that cover the columns, in an order other than the rows'.
  RawExec(path,
          "CREATE INDEX por_nombre_campo ON indices (nombreind, campo);"
          "CREATE INDEX todo ON indices (campo DESC, nombreind, tabla, unico, orden);"
          "INSERT INTO indices (nombreind, campo) VALUES ('R', 'Zeta'), ('R', 'Alfa'), ('Q', 'Beta'),"
          " ('R', 'Medio');"
          "ANALYZE;");
  struct Case {
    const char* source;
    std::vector<std::string> campos;
  };
  const Case cases[] = {
      {"indices", {"Zeta", "Alfa", "Beta", "Medio"}},
      {"Select * from indices", {"Zeta", "Alfa", "Beta", "Medio"}},
      {"Select * from indices where nombreind = 'R'", {"Zeta", "Alfa", "Medio"}},
      {"Select * from indices where nombreind = 'R' -- los de R", {"Zeta", "Alfa", "Medio"}},
      {"Select * from indices where campo > 'B'", {"Zeta", "Beta", "Medio"}},
      // A record source that orders its rows itself keeps its order.
      {"Select * from indices where nombreind = 'R' order by campo", {"Alfa", "Medio", "Zeta"}},
      {"Select * from indices where nombreind = 'R' ORDER BY campo DESC", {"Zeta", "Medio", "Alfa"}},
  };
  auto again = DBEngine::Instance().OpenDatabase(path);
  for (const Case& c : cases) {
    auto rs = again->OpenRecordset(c.source);
    std::vector<std::string> campos;
    for (; !rs->Eof(); rs->MoveNext()) campos.push_back(rs->Value("campo").value_or("NULL"));
    EXPECT_EQ(campos, c.campos) << c.source;
    EXPECT_TRUE(rs->Updatable()) << c.source;
  }
}

// The rows a record source gives, as "nombreind" of each row, read through
// the record set from its first row to its end.
std::vector<std::string> Names(Database& db, const std::string& source) {
  auto rs = db.OpenRecordset(source);
  std::vector<std::string> names;
  for (; !rs->Eof(); rs->MoveNext()) names.push_back(rs->Value("nombreind").value_or("NULL"));
  return names;
}

// What SQLite itself gives for the same selection, in the order written.
std::vector<std::string> SqliteNames(const std::string& path, const std::string& where) {
  std::vector<std::string> names;
  for (auto& row : RawQuery(path, "SELECT nombreind FROM indices WHERE " + where + " ORDER BY rowid"))
    names.push_back(row[0]);
  return names;
}

TEST(Recordset, ASelectionByOneTextGivesWhatSqliteGivesAsTheRowsChange) {
  TempDir dir;
  const std::string path = dir / "c.mdb";
  auto db = Catalogue(path);
  RawExec(path,
          "ALTER TABLE indices ADD COLUMN sinmayus TEXT COLLATE NOCASE;"
          "INSERT INTO indices (nombreind, tabla, sinmayus, orden) VALUES ('a', 'T1', 'x', 1), ('b', 't1', 'X', 2),"
          " ('c', 'T1 ', 'x', 3), ('d', 'O''Brien', NULL, 4), ('e', NULL, 'y', 5), ('f', 'T1', 'x', 6),"
          " ('g', CAST('T1' AS BLOB), 'x', 7), ('h', '', '', 8), ('i', 'Año', 'AÑO', 9), ('j', '7', '7', 7)");
  struct Case {
    const char* where;  // as written after "where"
  };
  const Case cases[] = {
      {"tabla = 'T1'"},    {"tabla = 't1'"},     {"tabla = 'O''Brien'"}, {"tabla = ''"},
      {"tabla = 'Año'"},   {"tabla = 'nadie'"},  {"\"tabla\" = 'T1'"},   {"[TABLA] = 'T1' -- comentario"},
      // A column that compares without regard to case, or as a number, is
      // left to SQLite, which knows how it compares.
      {"sinmayus = 'x'"},  {"sinmayus = 'año'"}, {"orden = '7'"},       {"orden = 7"},
  };
  auto check = [&](const char* when) {
    for (const Case& c : cases)
      EXPECT_EQ(Names(*db, std::string("Select * from indices where ") + c.where), SqliteNames(path, c.where))
          << c.where << " (" << when << ")";
  };
  check("as written");

  // Rows added and deleted through a record set, and rows another connection
  // writes, are found by the next selection.
  auto all = db->OpenRecordset("indices");
  all->AddNew();
  all->SetValue("nombreind", std::string("k"));
  all->SetValue("tabla", std::string("T1"));
  all->Update();
  check("after a row added");
  auto some = db->OpenRecordset("Select * from indices where tabla = 'T1'");
  some->MoveFirst();
  some->Delete();
  check("after a row deleted");
  RawExec(path, "UPDATE indices SET tabla = 'T1' WHERE nombreind = 'b'; INSERT INTO indices (nombreind, tabla) VALUES ('m', 'T1')");
  check("after another connection's changes");

  // A selection reached only as far as its first row counts that row alone.
  auto first = db->OpenRecordset("Select * from indices where tabla = 'T1'");
  EXPECT_EQ(first->RecordCount(), 1);
  first->MoveLast();
  EXPECT_EQ(first->RecordCount(), static_cast<long>(SqliteNames(path, "tabla = 'T1'").size()));
  EXPECT_EQ(first->Fields().Count(), 6);
  EXPECT_EQ(first->Fields()[1]->Name(), "tabla");
  EXPECT_EQ(first->Fields()[1]->Type(), dbText);
}

TEST(Recordset, AnAddedRowShowsWhatTheTableStored) {
  TempDir dir;
  const std::string path = dir / "c.mdb";
  auto db = Catalogue(path);
  RawExec(path, "INSERT INTO indices (nombreind, orden) VALUES ('antes', 1)");
  auto rs = db->OpenRecordset("indices");
  ASSERT_FALSE(rs->Eof());
  rs->AddNew();
  rs->SetValue("nombreind", std::string("nuevo"));
  rs->SetValue("orden", std::string("007"));
  rs->Update();
  EXPECT_EQ(rs->Value("nombreind"), "antes") << "the current row stays where it was";
  EXPECT_EQ(rs->RecordCount(), 2);
  rs->MoveLast();
  EXPECT_EQ(rs->Value("nombreind"), "nuevo");
  EXPECT_EQ(rs->Value("orden"), "7") << "as the INTEGER column stored it";
  EXPECT_EQ(rs->Value("campo"), std::nullopt);

  // Into an empty record set the new row becomes the current one; a row
  // gone before it was shown is no longer a row of the record set.
  auto empty = db->OpenRecordset("Select * from indices where tabla = 'T9'");
  EXPECT_TRUE(empty->Eof());
  empty->AddNew();
  empty->SetValue("nombreind", std::string("otro"));
  empty->SetValue("tabla", std::string("T9"));
  empty->Update();
  RawExec(path, "DELETE FROM indices WHERE nombreind = 'otro'");
  EXPECT_THROW(empty->Value("nombreind"), Error);
  EXPECT_EQ(empty->RecordCount(), 0);
}

}  // namespace
}  // namespace brenquil
