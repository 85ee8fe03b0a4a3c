// The main window over a table with the empty name: "Previsualizar" and
// "Transformar" run to their end and show what they did and refused.
#include <QPushButton>
#include <QTableWidget>

#include "shell/transformation.h"
#include "tests/gui/desktop_fixture.h"

namespace brenquil::test {
namespace {

TEST_F(DesktopTest, ATableWithTheEmptyNameIsShownAndWorkedOnByBothButtons) {
  Paths paths(home_.Path());
  RawExec(paths.ModelPath("Clientes.mdb"), "CREATE TABLE \"\" (x INTEGER, y TEXT)");
  RawExec(data_ / "viejas/Clientes.mdb", "CREATE TABLE \"\" (x INTEGER); INSERT INTO \"\" VALUES (1)");
  RawExec(paths.ModelPath("PEDIDOS.MDB"), "CREATE TABLE \"\" (x INTEGER)");
  Start();
  State().Dir1.SetPath(data_ / "viejas");
  auto* preview = Child<QPushButton>(Main(), "Previsualizar");
  auto* run = Child<QPushButton>(Main(), "Command13");
  auto* journal = Child<QTableWidget>(Main(), "Errores");
  ASSERT_TRUE(preview && run && journal);

  EXPECT_TRUE(AnswerBoxes([&] { preview->click(); }).empty());
  EXPECT_EQ(State().Label4.Caption(), kStatusPlanDone);
  ASSERT_EQ(journal->rowCount(), 2) << "PEDIDOS.MDB cannot make the empty name, nor add fields to it";
  EXPECT_EQ(journal->item(0, 0)->text(), "PEDIDOS.MDB");
  EXPECT_EQ(RawColumns(data_ / "viejas/Clientes.mdb", ""), (std::vector<std::string>{"x"})) << "a plan writes nothing";

  EXPECT_EQ(AnswerConfirmation([&] { run->click(); }), 1);
  EXPECT_EQ(State().Label4.Caption(), kStatusDone);
  EXPECT_EQ(journal->rowCount(), 2);
  EXPECT_EQ(RawColumns(data_ / "viejas/Clientes.mdb", ""), (std::vector<std::string>{"x", "y"}));
  EXPECT_EQ(RawQuery(data_ / "viejas/Clientes.mdb", "SELECT x, y FROM \"\""), (std::vector<std::vector<std::string>>{{"1", "NULL"}}));
}

}  // namespace
}  // namespace brenquil::test
