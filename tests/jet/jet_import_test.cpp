// Importing the genuine Jet files of ../shared/jet: every file arrives, row
// for row as mdb-export prints it, with the types, indexes and relations the
// file declares, checked through the sqlite3 library and the engine; and the
// imported files work as models and old databases of a transformation.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <sstream>

#include "cli/cli.h"
#include "engine/dbengine.h"
#include "jet/jet_import.h"
#include "shell/installation.h"
#include "tests/jet/jet_files.h"
#include "tests/jet/sqlite_cells.h"
#include "tests/support/test_support.h"

namespace brenquil {
namespace {

namespace fs = std::filesystem;
using test::Cells;
using test::JetFile;
using test::OneCell;
using test::TempDir;

using Row = std::vector<std::optional<std::string>>;

std::string Q(const std::string& name) {
  std::string out = "\"";
  for (char c : name) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

// Our value as mdb-export would print it, for comparing rows: NULL and ''
// alike (mdb-export cannot tell them apart).
std::optional<std::string> AsExported(const test::Cell& c) {
  if (c.Null() || (c.type == SQLITE_TEXT && c.text.empty())) return std::nullopt;
  return c.text;
}

bool SameValue(const std::optional<std::string>& ours, const std::optional<std::string>& theirs) {
  if (ours == theirs) return true;
  if (!ours || !theirs) return false;
  // Numbers: mdb-export prints Currency with four places and doubles its own way.
  char* end_a = nullptr;
  char* end_b = nullptr;
  double a = std::strtod(ours->c_str(), &end_a), b = std::strtod(theirs->c_str(), &end_b);
  return end_a && *end_a == '\0' && end_b && *end_b == '\0' && !ours->empty() &&
         std::fabs(a - b) <= 1e-9 * std::max(1.0, std::fabs(a));
}

std::string Show(const Row& row) {
  std::string s;
  for (const auto& v : row) s += (s.empty() ? "" : " | ") + (v ? *v : std::string("<nulo>"));
  return s;
}

void ExpectSameRows(std::vector<Row> ours, std::vector<Row> theirs, const std::string& where) {
  ASSERT_EQ(ours.size(), theirs.size()) << where;
  // Rows moved to another page come where Jet reads them, not where libmdb
  // meets them: compared in sorted order.
  auto order = [](const Row& a, const Row& b) {
    return std::lexicographical_compare(
        a.begin(), a.end(), b.begin(), b.end(),
        [](const auto& x, const auto& y) { return x.value_or("") < y.value_or(""); });
  };
  std::sort(ours.begin(), ours.end(), order);
  std::sort(theirs.begin(), theirs.end(), order);
  for (std::size_t r = 0; r < ours.size(); ++r) {
    ASSERT_EQ(ours[r].size(), theirs[r].size()) << where;
    for (std::size_t c = 0; c < ours[r].size(); ++c)
      EXPECT_TRUE(SameValue(ours[r][c], theirs[r][c]))
          << where << ", columna " << c << "\n nuestra:     " << Show(ours[r])
          << "\n mdb-export:  " << Show(theirs[r]);
  }
}

// Each file imported once into `dir` and opened with the engine.
class Imported {
 public:
  explicit Imported(const TempDir& dir) : dir_(dir) {}
  ~Imported() {
    opened_.clear();
    DBEngine::Instance().CloseIdle();
  }
  Database& operator[](const std::string& file) {
    auto& db = opened_[file];
    if (!db) {
      std::string out = dir_ / (file + ".db");
      jet::ImportJet(JetFile(file), out);
      db = DBEngine::Instance().OpenDatabase(out);
    }
    return *db;
  }

 private:
  const TempDir& dir_;
  std::map<std::string, std::shared_ptr<Database>> opened_;
};

std::vector<std::string> Sorted(std::vector<std::string> v) {
  std::sort(v.begin(), v.end());
  return v;
}

TEST(JetImport, EveryGenuineFileArrivesRowForRowAndIsLeftUntouched) {
  SKIP_WITHOUT_JET_FILES();
  TempDir dir;
  for (const auto& file : test::JetFiles()) {
    const std::string name = fs::path(file).stem().string();
    const std::string out = dir / (name + ".db");
    const std::string before = test::ReadBytes(file);
    const auto changed = fs::last_write_time(file);
    jet::ImportReport report = jet::ImportJet(file, out);
    EXPECT_EQ(test::ReadBytes(file), before) << name << ": el archivo Jet cambió";
    EXPECT_EQ(fs::last_write_time(file), changed) << name;
    EXPECT_EQ(OneCell(out, "PRAGMA integrity_check").text, "ok") << name;
    // Everything arrives but the stored queries, which another part translates.
    for (const auto& item : report.left_out)
      EXPECT_EQ(item.kind, "consulta") << name << ": " << item.name << ": " << item.reason;
    if (!test::HaveMdbExport()) continue;
    std::vector<std::string> tables;
    for (const auto& t : report.tables) tables.push_back(t.name);
    EXPECT_EQ(Sorted(tables), Sorted(test::MdbTables(file))) << name;
    for (const auto& t : report.tables) {
      auto theirs = test::MdbExport(file, t.name);
      EXPECT_EQ(t.rows, static_cast<long long>(theirs.size())) << name << "." << t.name;
      std::vector<Row> ours;
      for (const auto& cells : Cells(out, "SELECT * FROM " + Q(t.name))) {
        Row row;
        for (const auto& c : cells) row.push_back(AsExported(c));
        ours.push_back(std::move(row));
      }
      ExpectSameRows(ours, theirs, name + "." + t.name);
    }
  }
  // Only the finished files: no temporary file left beside them.
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(dir.Path()))
    left.push_back(entry.path().filename().string());
  for (const auto& f : left) EXPECT_TRUE(f.ends_with(".db") && f[0] != '.') << f;
  EXPECT_EQ(left.size(), test::JetFiles().size());
}

struct FieldCase {
  const char* file;
  const char* table;
  const char* field;
  int type;
  long size;
  bool required;
  bool allow_zero_length;
  long attributes;
};

TEST(JetImport, FieldsKeepTheirDaoTypeSizeAndProperties) {
  SKIP_WITHOUT_JET_FILES();
  const FieldCase cases[] = {
      {"testV1997.mdb", "Table1", "A", dbText, 50, true, false, 0},  // the primary key's field
      {"testV1997.mdb", "Table1", "B", dbText, 100, false, false, 0},
      {"testV1997.mdb", "Table1", "C", dbByte, 1, false, false, 0},
      {"testV1997.mdb", "Table1", "D", dbInteger, 2, false, false, 0},
      {"testV1997.mdb", "Table1", "E", dbLong, 4, false, false, 0},
      {"testV1997.mdb", "Table1", "F", dbDouble, 8, false, false, 0},
      {"testV1997.mdb", "Table1", "G", dbDate, 8, false, false, 0},
      {"testV1997.mdb", "Table1", "H", dbCurrency, 8, false, false, 0},
      {"testV1997.mdb", "Table1", "I", dbBoolean, 1, false, false, 0},
      {"testV1997.mdb", "Table4", "data", dbGUID, 16, true, false, 0},
      {"test2V2000.mdb", "MSP_PROJECTS", "PROJ_PROJECT", dbText, 203, false, true,
       0},  // 406 bytes of Jet 4 text
      {"test2V2000.mdb", "MSP_PROJECTS", "PROJ_PROP_AUTHOR", dbMemo, 0, false, true, 0},
      {"test2V2000.mdb", "MSP_PROJECTS", "RESERVED_BINARY_DATA", dbLongBinary, 0, false, false, 0},
      {"fixedNumericTestV2000.mdb", "test", "col2", dbDecimal, 16, false, false,
       0},  // Jet's type 16
      {"testUnicodeCompV2003.mdb", "Table", "ID", dbLong, 4, false, false, dbAutoIncrField},
  };
  TempDir dir;
  Imported opened(dir);
  for (const auto& c : cases) {
    auto field = opened[c.file].TableDefs()[c.table]->Fields()[c.field];
    const std::string where = std::string(c.file) + " " + c.table + "." + c.field;
    EXPECT_EQ(field->Type(), c.type) << where;
    EXPECT_EQ(field->Size(), c.size) << where;
    EXPECT_EQ(field->Required(), c.required) << where;
    if (c.type == dbText || c.type == dbMemo) {
      EXPECT_EQ(field->AllowZeroLength(), c.allow_zero_length) << where;
    }
    EXPECT_EQ(field->Attributes() & dbAutoIncrField, c.attributes) << where;
  }
  // Precision and scale live in the declaration; the GUID AutoNumber makes its own.
  auto decimal = opened["fixedNumericTestV2000.mdb"].TableDefs()["test"]->Fields()["col2"];
  EXPECT_NE(decimal->Definition().find("DECIMAL(18,0)"), std::string::npos)
      << decimal->Definition();
  auto guid = opened["testV1997.mdb"].TableDefs()["Table4"]->Fields()["data"];
  EXPECT_NE(guid->DefaultValue().find("randomblob"), std::string::npos) << guid->DefaultValue();
}

struct IndexCase {
  const char* file;
  const char* table;
  const char* index;
  std::vector<std::pair<std::string, bool>> fields;  // name, descending
  bool unique;
  bool primary;
};

TEST(JetImport, IndexesArriveAsDeclaredAndRelationshipIndexesDoNot) {
  SKIP_WITHOUT_JET_FILES();
  const std::vector<IndexCase> cases = {
      {"testV1997.mdb", "Table1", "PrimaryKey", {{"A", false}}, true, true},
      {"testV1997.mdb", "Table1", "B", {{"B", false}}, false, false},
      {"compIndexTestV2000.mdb", "Table1", "CD_AGENTE", {{"CD_AGENTE", true}}, false, false},
      {"compIndexTestV1997.mdb", "Table1", "CD_AGENTE", {{"CD_AGENTE", true}}, false, false},
      // libmdb returns this Jet 4 index without its column.
      {"delColTestV2000.mdb", "Table1", "id2", {{"id2", false}}, false, false},
      {"testIndexPropertiesV2000.mdb",
       "TableIgnoreNulls2",
       "DataIndex",
       {{"data1", false}, {"data2", false}},
       false,
       false},
      {"testIndexPropertiesV2000.mdb",
       "TableIgnoreNulls2",
       "PrimaryKey",
       {{"row", false}},
       true,
       true},
      {"testIndexPropertiesV2003.mdb",
       "TableUnique2_temp",
       "DataIndex",
       {{"data1", false}, {"data2", false}},
       true,
       false},
      {"testUnicodeCompV2003.mdb", "Table", "PrimaryKey", {{"ID", false}}, true, true},
      {"indexTestV2000.mdb", "Table1", "id", {{"id", false}}, false, false},
  };
  TempDir dir;
  Imported opened(dir);
  for (const auto& c : cases) {
    const std::string where = std::string(c.file) + " " + c.table + "." + c.index;
    auto index = opened[c.file].TableDefs()[c.table]->Indexes().Find(c.index);
    ASSERT_TRUE(index) << where;
    std::vector<std::pair<std::string, bool>> fields;
    for (auto& f : index->Fields()) fields.emplace_back(f->Name(), f->Descending());
    EXPECT_EQ(fields, c.fields) << where;
    EXPECT_EQ(index->Unique(), c.unique) << where;
    EXPECT_EQ(index->Primary(), c.primary) << where;
  }
  // Jet's indexes behind relationships (".rC", "Table2Table1") are not copied.
  for (const char* table : {"Table1", "Table2", "Table3"})
    EXPECT_EQ(opened["indexTestV2000.mdb"].TableDefs()[table]->Indexes().Count(), 2) << table;
}

TEST(JetImport, RelationshipsArriveEnforcedWithTheirCascades) {
  SKIP_WITHOUT_JET_FILES();
  TempDir dir;
  for (const char* file : {"indexTestV1997.mdb", "indexTestV2000.mdb", "indexTestV2003.mdb"}) {
    const std::string out = dir / (std::string(file) + ".db");
    jet::ImportJet(JetFile(file), out);
    {
      auto db = DBEngine::Instance().OpenDatabase(out);
      auto deletes = db->Relations()["Table2Table1"];
      EXPECT_EQ(deletes->Table(), "Table2") << file;
      EXPECT_EQ(deletes->ForeignTable(), "Table1") << file;
      EXPECT_EQ(deletes->Attributes() & ~dbRelationDeclared, dbRelationDeleteCascade) << file;
      ASSERT_EQ(deletes->Fields().Count(), 1) << file;
      EXPECT_EQ(deletes->Fields()[0]->Name(), "id") << file;
      EXPECT_EQ(deletes->Fields()[0]->ForeignName(), "otherfk1") << file;
      auto updates = db->Relations()["Table3Table1"];
      EXPECT_EQ(updates->Attributes() & ~dbRelationDeclared, dbRelationUpdateCascade) << file;
      EXPECT_EQ(updates->Fields()[0]->ForeignName(), "otherfk2") << file;
      db->Close();
    }
    DBEngine::Instance().CloseIdle();
    // Declared as SQLite declares a relation, so every writer with foreign
    // keys on gets it: a child without its parent is refused, and the
    // cascades reach the children.
    EXPECT_NE(OneCell(out, "SELECT sql FROM sqlite_master WHERE name = 'Table1'").text.find("REFERENCES"),
              std::string::npos)
        << file;
    const std::string on = "PRAGMA foreign_keys = ON; ";
    EXPECT_THROW(test::RawExec(out, on + "INSERT INTO Table1 (id, otherfk1) VALUES (99, 424242)"),
                 std::runtime_error)
        << file;
    long long children = std::stoll(OneCell(out,
                                            "SELECT count(*) FROM Table1 WHERE otherfk1 = "
                                            "(SELECT min(id) FROM Table2)")
                                        .text);
    ASSERT_GT(children, 0) << file;
    long long before = std::stoll(OneCell(out, "SELECT count(*) FROM Table1").text);
    test::RawExec(out, on + "DELETE FROM Table2 WHERE id = (SELECT min(id) FROM Table2)");
    EXPECT_EQ(std::stoll(OneCell(out, "SELECT count(*) FROM Table1").text), before - children)
        << file;
    std::string moved =
        OneCell(out,
                "SELECT count(*) FROM Table1 WHERE otherfk2 = (SELECT min(otherfk2) FROM Table1)")
            .text;
    test::RawExec(out, on + "UPDATE Table3 SET id = 1000 WHERE id = (SELECT min(otherfk2) FROM Table1)");
    EXPECT_EQ(OneCell(out, "SELECT count(*) FROM Table1 WHERE otherfk2 = 1000").text, moved)
        << file;
  }
}

TEST(JetImport, PlainSqlInsertsBehaveAsTheJetTableSays) {
  SKIP_WITHOUT_JET_FILES();
  TempDir dir;
  const std::string t1 = dir / "test.db";
  jet::ImportJet(JetFile("testV1997.mdb"), t1);
  // A: the primary key's field (never Null) and, like B, no empty text.
  EXPECT_THROW(test::RawExec(t1, "INSERT INTO Table1 (A) VALUES (NULL)"), std::runtime_error);
  EXPECT_THROW(test::RawExec(t1, "INSERT INTO Table1 (A) VALUES ('')"), std::runtime_error);
  EXPECT_THROW(test::RawExec(t1, "INSERT INTO Table1 (A, B) VALUES ('z', '')"), std::runtime_error);
  EXPECT_THROW(test::RawExec(t1, "INSERT INTO Table1 (A) VALUES ('a')"),
               std::runtime_error);  // the key exists
  test::RawExec(t1, "INSERT INTO Table1 (A) VALUES ('nueva')");
  // The file's DefaultValue 0 on the numbers, and No on the Yes/No.
  auto row = Cells(t1, "SELECT B, C, D, E, F, H, I FROM Table1 WHERE A = 'nueva'").at(0);
  EXPECT_TRUE(row[0].Null());
  for (std::size_t i = 1; i < row.size(); ++i) {
    EXPECT_FALSE(row[i].Null()) << i;
    EXPECT_EQ(row[i].number, 0.0) << i;
  }

  const std::string unicode = dir / "unicode.db";
  jet::ImportJet(JetFile("testUnicodeCompV2003.mdb"), unicode);
  // The AutoNumber goes on after the last number Jet gave.
  test::RawExec(unicode, "INSERT INTO \"Table\" (Unicode) VALUES ('nueva')");
  EXPECT_EQ(OneCell(unicode, "SELECT ID FROM \"Table\" WHERE Unicode = 'nueva'").text, "9");

  const std::string numeric = dir / "numeric.db";
  jet::ImportJet(JetFile("fixedNumericTestV2000.mdb"), numeric);
  test::RawExec(numeric, "INSERT INTO test (col2) VALUES ('12.5')");
  auto decimal = OneCell(numeric, "SELECT col2 FROM test WHERE col2 > 10");
  EXPECT_EQ(decimal.type, SQLITE_FLOAT);
  EXPECT_EQ(decimal.text, "12.5");
}

TEST(JetImport, ValueClassesArriveAsSQLiteKeepsThem) {
  SKIP_WITHOUT_JET_FILES();
  TempDir dir;
  const std::string out = dir / "test.db";
  jet::ImportJet(JetFile("testV1997.mdb"), out);
  auto rows = Cells(out, "SELECT A, C, E, F, G, H, I FROM Table1 ORDER BY A");
  ASSERT_EQ(rows.size(), 2u);
  // "a": zeros; "abcdefg": 2, 333333333, 444.555, 1974-09-21, 3.5 (Currency), Yes.
  EXPECT_EQ(rows[1][0].text, "abcdefg");
  EXPECT_EQ(rows[1][1].type, SQLITE_INTEGER);
  EXPECT_EQ(rows[1][2].text, "333333333");
  EXPECT_EQ(rows[1][3].type, SQLITE_FLOAT);
  EXPECT_EQ(rows[1][3].text, "444.555");
  EXPECT_EQ(rows[1][4].type, SQLITE_TEXT);
  EXPECT_EQ(rows[1][4].text, "1974-09-21 00:00:00");
  EXPECT_EQ(rows[1][5].type, SQLITE_FLOAT);
  EXPECT_EQ(rows[1][5].text, "3.5");
  EXPECT_EQ(rows[1][6].text, "1");
  EXPECT_EQ(rows[0][4].text, "1981-12-12 00:00:00");
  EXPECT_EQ(rows[0][5].type, SQLITE_INTEGER);  // Currency 0.0000: a whole number
  EXPECT_EQ(rows[0][6].text, "0");

  const std::string numeric = dir / "numeric.db";
  jet::ImportJet(JetFile("fixedNumericTestV2000.mdb"), numeric);
  auto decimals = Cells(numeric, "SELECT col1, col2, col3, col4, col5, col6, col7 FROM test").at(0);
  const char* expected[] = {"some data", "1", "0", "0", "4", "-1", "1"};
  for (std::size_t i = 0; i < decimals.size(); ++i) EXPECT_EQ(decimals[i].text, expected[i]) << i;
  EXPECT_EQ(decimals[5].type, SQLITE_INTEGER);

  // Compressed Unicode text, as the file holds it.
  const std::string unicode = dir / "unicode.db";
  jet::ImportJet(JetFile("testUnicodeCompV2003.mdb"), unicode);
  auto texts = Cells(unicode, "SELECT Unicode FROM \"Table\" ORDER BY ID");
  ASSERT_EQ(texts.size(), 8u);
  EXPECT_EQ(texts[0][0].text, "only ascii chars");
  EXPECT_EQ(texts[1][0].text, "ääkkösiä");
  EXPECT_EQ(texts[2][0].text, "Мир");
  EXPECT_EQ(texts[4][0].text, "漢字仮名交じり文");
  EXPECT_EQ(texts[6][0].text, "ümlaut");

  // A long value whole: the OLE Object of test2V2000 (22,970 bytes in a chain of pages).
  const std::string project = dir / "project.db";
  jet::ImportJet(JetFile("test2V2000.mdb"), project);
  EXPECT_EQ(OneCell(project, "SELECT length(RESERVED_BINARY_DATA) FROM MSP_PROJECTS").text,
            "22970");
}

TEST(JetImport, ImportedFilesServeAsModelsAndOldDatabases) {
  SKIP_WITHOUT_JET_FILES();
  TempDir dir;
  const std::string home = dir / "home", data = dir / "datos";
  SetupInstallation(home);
  fs::create_directory(data);
  // The same tables in Jet 4 (model) and Jet 3 (old); a table of other
  // columns under another name: the transformation adds its fields.
  jet::ImportJet(JetFile("indexTestV2003.mdb"), home + "/modelos/indices.mdb");
  jet::ImportJet(JetFile("indexTestV1997.mdb"), data + "/indices.mdb");
  jet::ImportJet(JetFile("overflowTestV2000.mdb"), home + "/modelos/filas.mdb");
  jet::ImportJet(JetFile("delColTestV2000.mdb"), data + "/filas.mdb");
  auto run = [&] {
    std::ostringstream out, err;
    int code = RunCli({"transform", "--home", home, "--data", data}, out, err);
    return std::make_pair(code, out.str() + err.str());
  };
  auto [first, first_text] = run();
  EXPECT_EQ(first, kExitOk) << first_text;
  EXPECT_NE(first_text.find("filas.mdb: actualizada"), std::string::npos) << first_text;
  EXPECT_EQ(OneCell(data + "/filas.mdb", "PRAGMA integrity_check").text, "ok");
  auto [second, second_text] = run();
  EXPECT_EQ(second, kExitOk) << second_text;
  EXPECT_NE(second_text.find("2 sin cambios, 0 errores"), std::string::npos) << second_text;
}

}  // namespace
}  // namespace brenquil
