// The index step on real files: catalogue listings, deletion, copy and the
// whole chain, checked afterwards with SQLite itself.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/dbengine.h"
#include "shell/actualiz.h"
#include "shell/installation.h"
#include "tests/support/test_support.h"

namespace brenquil::test {
namespace {

using Rows = std::vector<std::vector<std::string>>;
using Texts = std::vector<std::string>;

struct IndexSpec {
  std::string name;
  Texts fields;
  bool unique = false;
  bool primary = false;
  bool descending = false;  // every field
};
struct TableSpec {
  std::string name;
  Texts fields;  // all Long
  std::vector<IndexSpec> indexes = {};
};

void MakeDatabase(const std::string& path, const std::vector<TableSpec>& tables) {
  auto db = DBEngine::Instance().CreateDatabase(path);
  for (const auto& spec : tables) {
    auto table = db->CreateTableDef(spec.name);
    for (const auto& f : spec.fields) table->Fields().Append(table->CreateField(f, dbLong));
    db->TableDefs().Append(table);
    for (const auto& is : spec.indexes) {
      auto index = table->CreateIndex(is.name);
      for (const auto& f : is.fields) {
        auto key = index->CreateField(f);
        key->SetDescending(is.descending);
        index->Fields().Append(key);
      }
      index->SetUnique(is.unique);
      index->SetPrimary(is.primary);
      db->TableDefs()[spec.name]->Indexes().Append(index);
    }
  }
  db->Close();
}

std::string Literal(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("''") : std::string(1, c);
  return out + "'";
}

// The table's SQLite indexes as "col,col" with "!" when unique, sorted.
Texts SqliteIndexes(const std::string& path, const std::string& table) {
  Texts out;
  // A primary key is part of its table, not one of these.
  for (auto& ix : RawQuery(path, "SELECT name, \"unique\" FROM pragma_index_list(" + Literal(table) +
                                     ") WHERE origin <> 'pk'")) {
    std::string columns;
    for (auto& c : RawQuery(path, "SELECT name FROM pragma_index_info(" + Literal(ix[0]) + ") ORDER BY seqno"))
      columns += (columns.empty() ? "" : ",") + c[0];
    out.push_back(columns + (ix[1] == "1" ? "!" : ""));
  }
  std::sort(out.begin(), out.end());
  return out;
}

bool StartsWith(const std::string& text, const std::string& head) { return text.rfind(head, 0) == 0; }
bool Holds(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class IndexStep : public ::testing::Test {
 protected:
  void SetUp() override {
    SetupInstallation(home);
    std::filesystem::create_directories(tmp / "datos");
    window = std::make_unique<Actualiz>(Paths(home));
    window->Text3.SetText(model);
    window->Text4.SetText(old);
  }
  Rows Catalogue() const {
    return RawQuery(home + "/indices.mdb", "SELECT nombreind, tabla, campo, unico FROM indices ORDER BY rowid");
  }
  void AddCatalogueRow(const Texts& row) {
    window->Data3.SetRecordSource("indices");
    window->Data3.Refresh();
    window->Data3.Recordset().AddNew();
    for (int i = 0; i < 4; ++i) window->Text1[i].SetText(row[static_cast<size_t>(i)]);
    window->Data3.Recordset().Update();
  }
  void SetList10(const Texts& tables) {
    window->List10.Clear();
    for (const auto& t : tables) window->List10.AddItem(t);
  }
  DatabaseChanges& Changes() { return window->Report.For(old, model); }
  static Texts Qualified(const std::vector<IndexEntry>& indexes) {
    Texts names;
    for (const auto& index : indexes) names.push_back(index.Qualified());
    return names;
  }
  std::string Journal() const {
    std::string out;
    for (const auto& e : window->Journal.Entries()) out += FormatEntry(e) + "\n";
    return out;
  }

  TempDir tmp;
  std::string home = tmp / "home";
  std::string model = home + "/modelos/base.mdb";
  std::string old = tmp / "datos/base.mdb";
  std::unique_ptr<Actualiz> window;
};

TEST_F(IndexStep, ModelListingRecordsEveryFieldInOrderAndCopyBuildsIndexesWhole) {
  MakeDatabase(model, {{"T", {"a", "b", "c"}, {{"AB", {"b", "a"}, true}, {"C", {"c"}}}},
                       {"E", {"a"}},
                       {"msysLower", {"a"}, {{"L", {"a"}}}},
                       {"MSy", {"a"}, {{"M", {"a"}}}},
                       {"MSysMine", {"a"}, {{"S", {"a"}}}}});
  MakeDatabase(old, {{"T", {"a", "b", "c"}}, {"E", {"a"}}, {"msysLower", {"a"}}, {"MSy", {"a"}},
                     {"MSysMine", {"a"}}});
  // Built over its first row's field alone, AB would refuse these rows.
  RawExec(old, "INSERT INTO T (a, b) VALUES (1, 5), (2, 5)");

  window->Command19_Click();

  EXPECT_EQ(Catalogue(), (Rows{{"AB", "T", "b", "Verdadero"}, {"AB", "T", "a", "Verdadero"},
                               {"C", "T", "c", "Falso"}, {"L", "msysLower", "a", "Falso"},
                               {"M", "MSy", "a", "Falso"}}));
  EXPECT_EQ(window->List10.Items(), (Texts{"T", "E", "msysLower", "MSy"}));
  EXPECT_EQ(SqliteIndexes(old, "T"), (Texts{"b,a!", "c"}));
  EXPECT_EQ(SqliteIndexes(old, "MSysMine"), Texts{});
  EXPECT_EQ(Qualified(Changes().indexes_created), (Texts{"T.AB", "T.C", "msysLower.L", "MSy.M"}));
  EXPECT_TRUE(window->Journal.Empty()) << Journal();
}

TEST_F(IndexStep, ChainGivesOldTablesTheModelsIndexesAndASecondRunChangesNothing) {
  MakeDatabase(model, {{"T", {"id", "a", "b"}, {{"PrimaryKey", {"id"}, false, true},
                                               {"AB", {"a", "b"}, true},
                                               {"IB", {"b"}, false, false, true}}},
                       {"N", {"id", "x"}, {{"PrimaryKey", {"id"}, false, true}}},
                       {"Cli'ente", {"id"}, {{"IX", {"id"}}}}});
  MakeDatabase(old, {{"T", {"id", "a", "b"}, {{"PrimaryKey", {"id"}, false, true},
                                             {"AB", {"a"}}, {"Old", {"b"}}}},
                     {"N", {"id", "x"}},
                     {"Cli'ente", {"id"}},
                     {"Gone", {"y", "z"}, {{"G2", {"y", "z"}}}},
                     {"MSysMine", {"a"}, {{"S", {"a"}}}}});
  RawExec(old, "INSERT INTO T (id, a, b) VALUES (1, 1, 1), (2, 1, 2)");
  // The table and its primary key index as stored: a rebuild would move them.
  const std::string roots =
      "SELECT m.name, m.rootpage FROM sqlite_master m LEFT JOIN pragma_index_info(m.name) i"
      " WHERE m.tbl_name = 'T' AND (m.type = 'table' OR i.name = 'id') ORDER BY m.name";
  const Rows t_roots = RawQuery(old, roots);
  ASSERT_EQ(t_roots.size(), 2u);

  ASSERT_FALSE(window->Press(17)) << Journal();

  EXPECT_TRUE(window->Journal.Empty()) << Journal();
  // The shared primary key stays (its table is not rebuilt); the later row of
  // G2 is passed over, so the chain reaches the copy.
  EXPECT_EQ(Qualified(Changes().indexes_deleted), (Texts{"T.AB", "T.Old", "Gone.G2"}));
  EXPECT_EQ(Qualified(Changes().indexes_created), (Texts{"T.AB", "T.IB", "N.PrimaryKey", "Cli'ente.IX"}));
  EXPECT_EQ(RawQuery(old, roots), t_roots);
  {
    auto db = DBEngine::Instance().OpenDatabase(old);
    EXPECT_TRUE(db->TableDefs()["T"]->Indexes()["PrimaryKey"]->Primary());
    db->Close();
  }
  EXPECT_EQ(SqliteIndexes(old, "T"), (Texts{"a,b!", "b", "id!"}));
  EXPECT_EQ(SqliteIndexes(old, "N"), Texts{"id!"});
  EXPECT_EQ(SqliteIndexes(old, "Cli'ente"), Texts{"id"});
  EXPECT_EQ(SqliteIndexes(old, "Gone"), Texts{});
  EXPECT_EQ(SqliteIndexes(old, "MSysMine"), Texts{"a"});
  EXPECT_TRUE(Holds(RawQuery(old, "EXPLAIN QUERY PLAN SELECT * FROM T WHERE b = 2")[0].back(), "INDEX"));
  EXPECT_EQ(window->Data3.RecordSource(), "Select * from indices where tabla = 'Cli''ente'");
  EXPECT_EQ(window->List10.Items(), (Texts{"T", "N", "Cli'ente"}));

  const Rows catalogue = Catalogue();
  const Rows schema = RawQuery(old, "SELECT type, name, tbl_name, rootpage, sql FROM sqlite_master ORDER BY name");
  const DatabaseChanges before = Changes();
  ASSERT_FALSE(window->Press(17)) << Journal();
  EXPECT_EQ(Catalogue(), catalogue);
  EXPECT_EQ(RawQuery(old, "SELECT type, name, tbl_name, rootpage, sql FROM sqlite_master ORDER BY name"), schema);
  EXPECT_EQ(Changes().indexes_deleted, before.indexes_deleted);
  EXPECT_EQ(Changes().indexes_created, before.indexes_created);
  EXPECT_TRUE(window->Journal.Empty()) << Journal();
}

TEST_F(IndexStep, CopyMakesUniqueOnlyForVerdaderoAndCountsRowsOnBar4) {
  MakeDatabase(old, {{"T", {"a", "b", "c", "d", "e"}}});
  const Texts unico = {"Verdadero", "verdadero", "", "Falso", "Verdadero "};
  const Texts field = {"a", "b", "c", "d", "e"};
  for (size_t i = 0; i < unico.size(); ++i) AddCatalogueRow({"I" + field[i], "T", field[i], unico[i]});
  SetList10({"T"});
  std::vector<float> values;
  window->Bar4.Subscribe([&] {
    if (values.empty() || values.back() != window->Bar4.Value()) values.push_back(window->Bar4.Value());
  });
  const long refreshes = window->Frame13.Refreshes();

  ASSERT_FALSE(window->Press(16));

  EXPECT_EQ(SqliteIndexes(old, "T"), (Texts{"a!", "b", "c", "d", "e"}));
  EXPECT_EQ(window->Bar4.Max(), 5.0f);
  EXPECT_EQ(values, (std::vector<float>{0, 1, 2, 3, 4, 5}));
  EXPECT_EQ(window->Frame13.Refreshes() - refreshes, 6);
  EXPECT_TRUE(window->Data3.Recordset().Eof());
  EXPECT_TRUE(window->Journal.Empty()) << Journal();
}

TEST_F(IndexStep, CopyJournalsEachSkippedFailureWithIndexAndTableAndGoesOn) {
  MakeDatabase(model, {{"T", {"a", "b"}, {{"IX", {"a"}}}}});
  MakeDatabase(old, {{"T", {"a", "b"}, {{"IX", {"b"}}}}});
  RawExec(old, "INSERT INTO T (a, b) VALUES (7, 1), (7, 2)");
  for (const Texts& row : {Texts{"IX", "T", "a", "Falso"}, Texts{"UQ", "T", "a", "Verdadero"},
                           Texts{"IB", "T", "b", "Falso"}, Texts{"Z", "Lacking", "a", "Falso"}})
    AddCatalogueRow(row);
  SetList10({"T", "Lacking"});

  ASSERT_FALSE(window->Press(16));

  struct Expected { int number; const char* context; };
  const Expected expected[] = {{err::kIndexExists, "(índice 'IX' de la tabla 'T')"},
                               {err::kDuplicateValue, "(índice 'UQ' de la tabla 'T')"},
                               {err::kItemNotFound, "(índice 'Z' de la tabla 'Lacking')"}};
  const auto& entries = window->Journal.Entries();
  ASSERT_EQ(entries.size(), std::size(expected)) << Journal();
  for (size_t i = 0; i < entries.size(); ++i) {
    SCOPED_TRACE(expected[i].context);
    EXPECT_EQ(entries[i].operation, "Command16_Click");
    EXPECT_EQ(entries[i].number, expected[i].number);
    EXPECT_TRUE(StartsWith(entries[i].text, ErrorDescription(expected[i].number))) << entries[i].text;
    EXPECT_TRUE(Holds(entries[i].text, expected[i].context)) << entries[i].text;
  }
  // IX is left over b; the rows after each failure were still worked.
  EXPECT_EQ(SqliteIndexes(old, "T"), (Texts{"b", "b"}));
  EXPECT_EQ(Qualified(Changes().indexes_created), Texts{"T.IB"});
}

TEST_F(IndexStep, ModelThatDoesNotOpenEmptiesCatalogueAndDeletesNothing) {
  struct Case { int button; Texts list10; };
  for (const Case& c : {Case{19, {"Before"}}, Case{17, {"T"}}}) {
    SCOPED_TRACE(c.button);
    window = std::make_unique<Actualiz>(Paths(home));
    window->Text4.SetText(old);
    MakeDatabase(old, {{"T", {"a"}, {{"IX", {"a"}}}}});
    AddCatalogueRow({"IX", "T", "a", "Falso"});
    SetList10({"Before"});
    window->Text3.SetText(tmp / "nada.mdb");

    auto error = window->Press(c.button);

    ASSERT_TRUE(error);
    EXPECT_EQ(error->Number(), err::kFileNotFound);
    EXPECT_TRUE(Catalogue().empty());
    EXPECT_EQ(window->List10.Items(), c.list10);
    EXPECT_EQ(SqliteIndexes(old, "T"), Texts{"a"});
    EXPECT_TRUE(Changes().indexes_deleted.empty());
    ASSERT_EQ(window->Journal.Entries().size(), 1u) << Journal();
    EXPECT_EQ(window->Journal.Entries()[0].operation, "Command" + std::to_string(c.button) + "_Click");
    EXPECT_EQ(window->Journal.Entries()[0].number, err::kFileNotFound);
    EXPECT_TRUE(StartsWith(window->Journal.Entries()[0].text, ErrorDescription(err::kFileNotFound)));
    std::filesystem::remove(old);
  }
}

TEST_F(IndexStep, CopyIntoOldDatabaseThatDoesNotOpenJournalsOnceAndStillWalks) {
  AddCatalogueRow({"IA", "T", "a", "Falso"});
  AddCatalogueRow({"IB", "T", "b", "Falso"});
  SetList10({"T"});

  ASSERT_FALSE(window->Press(16));

  ASSERT_EQ(window->Journal.Entries().size(), 1u) << Journal();
  EXPECT_EQ(window->Journal.Entries()[0].number, err::kFileNotFound);
  EXPECT_TRUE(StartsWith(window->Journal.Entries()[0].text, ErrorDescription(err::kFileNotFound)));
  EXPECT_EQ(window->Bar4.Max(), 2.0f);
  EXPECT_EQ(window->Bar4.Value(), 2.0f);
  EXPECT_TRUE(Changes().indexes_created.empty());
}

}  // namespace
}  // namespace brenquil::test
