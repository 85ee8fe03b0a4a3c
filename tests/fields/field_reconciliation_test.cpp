#include "fields/field_reconciliation.h"

#include <gtest/gtest.h>

#include "tables/table_listing.h"
#include "tests/support/installation_fixture.h"

namespace brenquil::test {
namespace {

using Names = std::vector<std::string>;

class FieldReconciliation : public ::testing::Test, public InstallationFixture {
 protected:
  void ListAndReconcile() {
    ListTables(Window());
    ReconcileFields(Window());
  }
  std::string Old() const { return OldPath("base.mdb"); }
  std::shared_ptr<Field> OldField(const std::string& table, const std::string& field) {
    return DBEngine::Instance().OpenDatabase(Old())->TableDefs()[table]->Fields()[field];
  }
};

TEST_F(FieldReconciliation, AddsOnlyTheMissingFieldsAndShortensTheOldNameList) {
  Pair({{"T", {{"X", dbLong}, {"Y", dbText, 30}, {"Z", dbDate}}}},
       {{"T", {{"W", dbLong}, {"X", dbLong}, {"Z", dbDate}}}});
  RawExec(Old(), "INSERT INTO T VALUES (1, 2, '2020-01-01')");
  ListAndReconcile();
  auto& w = Window();
  EXPECT_EQ(w.List1[3].Items(), (Names{"Y"}));
  EXPECT_EQ(w.List1[4].Items(), (Names{"10"}));
  EXPECT_EQ(w.List1[5].Items(), (Names{"30"}));
  // Matched names leave the old name list; the type and size lists keep every row.
  EXPECT_EQ(w.List5[0].Items(), (Names{"W"}));
  EXPECT_EQ(w.List5[1].ListCount(), 3);
  EXPECT_EQ(w.List5[2].ListCount(), 3);
  EXPECT_EQ(RawColumns(Old(), "T"), (Names{"W", "X", "Z", "Y"}));
  EXPECT_EQ(RawQuery(Old(), "SELECT W, X, Z, Y FROM T"),
            (std::vector<Names>{{"1", "2", "2020-01-01", "NULL"}}));
  auto y = OldField("T", "Y");
  EXPECT_EQ(y->Type(), dbText);
  EXPECT_EQ(y->Size(), 30);
  EXPECT_TRUE(y->AllowZeroLength());
  EXPECT_TRUE(w.Journal.Empty());
}

TEST_F(FieldReconciliation, SetsZeroLengthAndTheJobsCounterOnlyWhereDue) {
  std::vector<FieldSpec> model_fields = {
      {"id", dbLong}, {"clave", dbLong}, {"texto", dbText, 20}, {"memo", dbMemo}, {"n", dbDouble}};
  Pair({{"trabajos", model_fields}, {"otros", model_fields}},
       {{"trabajos", {{"id", dbLong}}}, {"otros", {{"id", dbLong}}}});
  RawExec(Old(), "INSERT INTO trabajos (id) VALUES (5); INSERT INTO trabajos (id) VALUES (6)");
  ListAndReconcile();
  struct Expected {
    const char* table;
    const char* field;
    bool zero_length;
    long attributes;
  };
  const Expected cases[] = {
      {"trabajos", "clave", false, dbAutoIncrField}, {"otros", "clave", false, 0},
      {"trabajos", "texto", true, 0},  {"trabajos", "memo", true, 0},
      {"trabajos", "n", false, 0},     {"otros", "texto", true, 0},
  };
  for (const auto& c : cases) {
    auto field = OldField(c.table, c.field);
    std::string name = std::string(c.table) + "." + c.field;
    EXPECT_EQ(field->AllowZeroLength(), c.zero_length) << name;
    EXPECT_EQ(field->Attributes() & dbAutoIncrField, c.attributes) << name;
  }
  // The counter numbers the rows already there.
  auto keys = RawQuery(Old(), "SELECT clave FROM trabajos ORDER BY id");
  ASSERT_EQ(keys.size(), 2u);
  EXPECT_NE(keys[0][0], "NULL");
  EXPECT_NE(keys[0][0], keys[1][0]);
  EXPECT_TRUE(Window().Journal.Empty());
}

TEST_F(FieldReconciliation, BarsCountTablesAndRestartForEachTable) {
  Pair({{"A", {{"a", dbLong}}}, {"B", {{"a", dbLong}, {"b", dbLong}}}, {"C", {{"c", dbLong}}}},
       {{"A", {{"a", dbLong}}}, {"B", {{"a", dbLong}}}, {"C", {{"c", dbLong}}}});
  auto& w = Window();
  std::vector<float> tables, fields;
  w.Frame13.Subscribe([&] {
    tables.push_back(w.Bar2.Value());
    fields.push_back(w.Bar3.Value());
  });
  ListAndReconcile();
  EXPECT_EQ(w.Bar2.Max(), 3);
  // One redraw per table, then one per field of that table.
  EXPECT_EQ(tables, (std::vector<float>{1, 1, 2, 2, 2, 3, 3}));
  EXPECT_EQ(fields, (std::vector<float>{0, 1, 1, 1, 2, 2, 1}));
  EXPECT_EQ(w.Bar3.Max(), 1);
}

TEST_F(FieldReconciliation, AFailingTableIsJournaledAndTheNextTablesGoOn) {
  Pair({{"Sin par", {{"a", dbLong}, {"b", dbLong}}},
        {"Nombres", {{"Nombre", dbText, 10}, {"extra", dbLong}}},
        {"T", {{"t", dbLong}, {"u", dbLong}}}},
       {{"SIN PAR", {{"a", dbLong}}},
        {"Nombres", {{"NOMBRE", dbText, 10}}},
        {"T", {{"t", dbLong}}}});
  auto& w = Window();
  ListTables(w);
  // A listed table the old file no longer has cannot be listed.
  w.List2.AddItem("Fantasma");
  w.List3.AddItem("Fantasma");
  ReconcileFields(w);
  // "Sin par" is "SIN PAR" for SQLite: its missing field arrives there.
  EXPECT_EQ(RawColumns(Old(), "SIN PAR"), (Names{"a", "b"}));
  // Nombre is NOMBRE: present, not refused on every run; the next field is added.
  EXPECT_EQ(RawColumns(Old(), "Nombres"), (Names{"NOMBRE", "extra"}));
  EXPECT_EQ(RawColumns(Old(), "T"), (Names{"t", "u"}));
  const auto& journal = w.Journal.Entries();
  ASSERT_EQ(journal.size(), 1u);
  EXPECT_EQ(journal[0].operation, "Command11_Click");
  EXPECT_EQ(journal[0].number, err::kInputNotFound);
  EXPECT_EQ(journal[0].text.rfind(ErrorDescription(err::kInputNotFound), 0), 0u);
  EXPECT_NE(journal[0].text.find("'Select * from \"Fantasma\"'"), std::string::npos)
      << journal[0].text;
  EXPECT_EQ(w.Report.Databases()[0].fields_added,
            (std::vector<std::pair<std::string, Names>>{{"SIN PAR", {"b"}}, {"Nombres", {"extra"}}, {"T", {"u"}}}));
}

TEST_F(FieldReconciliation,
       ARequiredFieldArrivesWholeWithADefaultAndWithoutOneIsJournaledOnceWithItsRows) {
  RawExec(ModelPath("base.mdb"),
          "CREATE TABLE p (id INTEGER PRIMARY KEY, nota TEXT, cantidad INTEGER NOT NULL DEFAULT 0,"
          " fecha TEXT NOT NULL)");
  RawExec(Old(), "CREATE TABLE p (id INTEGER PRIMARY KEY, nota TEXT);"
                 "INSERT INTO p VALUES (7, 'a'), (9, 'b')");
  auto& w = Window();
  w.Text3.SetText(ModelPath("base.mdb"));
  w.Text4.SetText(Old());
  ListAndReconcile();
  EXPECT_EQ(RawColumns(Old(), "p"), (Names{"id", "nota", "cantidad", "fecha"}));
  // With its DEFAULT the field arrives as the model declares it, the rows with its value.
  EXPECT_EQ(RawQuery(Old(), "SELECT \"notnull\", dflt_value FROM pragma_table_info('p')"
                            " WHERE name = 'cantidad'"),
            (std::vector<Names>{{"1", "0"}}));
  EXPECT_EQ(RawQuery(Old(), "SELECT cantidad FROM p ORDER BY id"),
            (std::vector<Names>{{"0"}, {"0"}}));
  // Without one every row would be left empty: added with its type alone, one entry.
  EXPECT_EQ(RawQuery(Old(), "SELECT \"notnull\" FROM pragma_table_info('p') WHERE name = 'fecha'"),
            (std::vector<Names>{{"0"}}));
  const auto& journal = w.Journal.Entries();
  ASSERT_EQ(journal.size(), 1u) << (journal.empty() ? "" : journal.back().text);
  EXPECT_EQ(journal[0].operation, "Command12_Click");
  EXPECT_EQ(journal[0].number, err::kRequired);
  EXPECT_NE(journal[0].text.find("el campo 'fecha' es obligatorio en el modelo"), std::string::npos)
      << journal[0].text;
  EXPECT_NE(journal[0].text.find("2 filas lo impiden (claves: 7; 9); se añade sin exigir valor"),
            std::string::npos)
      << journal[0].text;
  EXPECT_EQ(w.Report.Databases()[0].fields_added,
            (std::vector<std::pair<std::string, Names>>{{"p", {"cantidad", "fecha"}}}));

  // A second run adds nothing and journals nothing.
  w.Journal.Clear();
  ListAndReconcile();
  EXPECT_EQ(w.List1[3].ListCount(), 0);
  EXPECT_TRUE(w.Journal.Empty()) << w.Journal.Entries().front().text;
}

TEST_F(FieldReconciliation, SecondRunAddsNothingAndLeavesTheFileAlone) {
  Pair({{"A", {{"a", dbLong}, {"b", dbText, 5}}}}, {{"A", {{"a", dbLong}}}});
  ListAndReconcile();
  auto schema = RawQuery(Old(), "SELECT sql FROM sqlite_master ORDER BY name");
  ListAndReconcile();
  EXPECT_EQ(Window().List1[3].ListCount(), 0);
  EXPECT_EQ(RawQuery(Old(), "SELECT sql FROM sqlite_master ORDER BY name"), schema);
  EXPECT_EQ(Window().Report.Databases()[0].fields_added.size(), 1u);
  EXPECT_TRUE(Window().Journal.Empty());
}

}  // namespace
}  // namespace brenquil::test
