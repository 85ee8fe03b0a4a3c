// Rules and defaults on the rows of a genuine table: a ValidationRule the
// file's own rows break is dropped and named with the number of rows, one
// they keep becomes a CHECK that SQLite enforces, and a default with no exact
// equivalent is named instead of translated loosely.
#include <gtest/gtest.h>

#include "jet/catalog.h"
#include "jet/jet_file.h"
#include "jet/row_scan.h"
#include "jet/table_plan.h"
#include "tests/jet/jet_files.h"
#include "tests/support/test_support.h"

namespace brenquil::jet {
namespace {

Property Text(const std::string& text) { return Property{kJetText, text}; }

TEST(JetRules, RulesTheRowsBreakAreDroppedAndTheRestEnforced) {
  SKIP_WITHOUT_JET_FILES();
  JetFile file(test::JetFile("testV1997.mdb"));
  TableDefinition table;
  for (const auto& object : ReadCatalog(file))
    if (object.name == "Table1") table = ReadTableDefinition(file, object.DefinitionPage());
  // Its rows: ("a", "b", 0, 0, 0, 0, 1981-12-12, 0, No) and
  // ("abcdefg", "hijklmnop", 2, 222, 333333333, 444.555, 1974-09-21, 3.5, Yes).
  PropertyMaps properties;
  properties.objects["E"]["ValidationRule"] = Text(">100");                // "a" breaks it
  properties.objects["D"]["ValidationRule"] = Text("Between 0 And 1000");  // both keep it
  properties.objects["D"]["ValidationText"] = Text("D entre 0 y 1000");
  properties.objects["G"]["ValidationRule"] = Text(">=#1/1/1970#");  // both keep it
  properties.objects["B"]["ValidationRule"] = Text("Like \"?*\"");   // both keep it
  properties.objects["F"]["DefaultValue"] = Text("Rnd()");           // no exact equivalent
  properties.objects[""]["ValidationRule"] = Text("[C] <= [D]");     // both keep it
  properties.objects["A"]["Required"] = Property{kJetBoolean, "1"};
  ImportReport report;
  TablePlan plan = PlanTable("Table1", table, properties, file.Jet3(), report);
  ASSERT_EQ(report.left_out.size(), 1u);
  EXPECT_EQ(report.left_out[0].name, "Table1.F");
  EXPECT_NE(report.left_out[0].reason.find("Rnd()"), std::string::npos)
      << report.left_out[0].reason;
  DropBrokenConstraints(file, table, plan, report);
  ASSERT_EQ(report.left_out.size(), 2u);
  EXPECT_EQ(report.left_out[1].name, "Table1.E");
  EXPECT_NE(report.left_out[1].reason.find("ValidationRule: 1 fila del archivo no la cumple"),
            std::string::npos)
      << report.left_out[1].reason;
  EXPECT_TRUE(plan.FieldNamed("E")->rule_sql.empty());
  EXPECT_FALSE(plan.FieldNamed("D")->rule_sql.empty());
  EXPECT_FALSE(plan.FieldNamed("G")->rule_sql.empty());
  EXPECT_FALSE(plan.rule_sql.empty());

  // What is kept, SQLite enforces: the declaration made by itself, the
  // ValidationText naming the constraint.
  test::TempDir dir;
  const std::string db = dir / "reglas.db";
  test::RawExec(db, plan.Declaration());
  test::RawExec(db, "INSERT INTO Table1 (A, C, D, G) VALUES ('x', 1, 5, '1999-01-01 00:00:00')");
  for (const char* broken :
       {"INSERT INTO Table1 (A, D) VALUES ('y', 2000)",
        "INSERT INTO Table1 (A, G) VALUES ('y', '1969-12-31 00:00:00')",
        "INSERT INTO Table1 (A, C, D) VALUES ('y', 9, 5)",
        "INSERT INTO Table1 (A, B) VALUES ('y', '')", "INSERT INTO Table1 (B) VALUES ('y')"})
    EXPECT_THROW(test::RawExec(db, broken), std::runtime_error) << broken;
  try {
    test::RawExec(db, "INSERT INTO Table1 (A, D) VALUES ('z', -1)");
    ADD_FAILURE() << "D = -1 admitido";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("D entre 0 y 1000"), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace brenquil::jet
