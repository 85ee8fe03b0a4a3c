// "Previsualizar" and "Copia de seguridad" in the main window: the plan fills
// the same report and journal as the command line's plan and changes no file;
// the check box and its folder decide where "Transformar" copies the old
// databases first.
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <sstream>

#include "cli/cli.h"
#include "cli/transform_report.h"
#include "shell/run_lock.h"
#include "tests/gui/desktop_fixture.h"

namespace brenquil::test {
namespace {

// An old database whose rows refuse the model's unique index and relation,
// and a model that adds a table, a field and a query.
void MakePair(const std::string& model, const std::string& old) {
  const std::string both = "CREATE TABLE cliente (id INTEGER PRIMARY KEY, codigo TEXT);";
  RawExec(old, both + "CREATE TABLE pedido (id INTEGER PRIMARY KEY, cliente INTEGER);"
                      "INSERT INTO cliente VALUES (1, 'A'), (2, 'A'); INSERT INTO pedido VALUES (10, 9);");
  RawExec(model, both + "CREATE UNIQUE INDEX codigo_unico ON cliente (codigo);"
                        "CREATE TABLE pedido (id INTEGER PRIMARY KEY, cliente INTEGER REFERENCES cliente (id),"
                        " nota TEXT);"
                        "CREATE TABLE linea (id INTEGER PRIMARY KEY, pedido INTEGER);"
                        "CREATE VIEW todos AS SELECT * FROM pedido;");
}

std::map<std::string, std::string> Files(const std::string& folder) {
  auto files = FolderContents(folder);
  files.erase(".brenquil-transformando");
  return files;
}

TEST_F(DesktopTest, PrevisualizarFillsWhatTheCommandLinePlanSaysAndChangesNoFile) {
  MakePair(Paths(home_.Path()).ModelPath("tienda.mdb"), data_ / "tienda.mdb");
  TempDir out_dir;
  std::ostringstream out, err;
  ASSERT_EQ(RunCli({"transform", "--plan", "--home", home_.Path(), "--data", data_.Path(), "--json",
                    out_dir / "plan.json"},
                   out, err),
            kExitJournal)
      << out.str() << err.str();
  const auto cli_plan = nlohmann::ordered_json::parse(ReadBytes(out_dir / "plan.json"));
  ASSERT_EQ(cli_plan["databases"][0]["old"], data_ / "tienda.mdb") << cli_plan.dump(2);
  ASSERT_EQ(cli_plan["databases"][0]["tablesCreated"].size(), 1u) << cli_plan.dump(2);
  ASSERT_EQ(cli_plan["skipped"].size(), 1u) << cli_plan.dump(2);  // raiz.mdb

  Start();
  const auto home_before = Files(home_.Path());
  const auto data_before = Files(data_.Path());
  auto* preview = Child<QPushButton>(Main(), "Previsualizar");
  ASSERT_NE(preview, nullptr);
  auto boxes = AnswerBoxes([&] { preview->click(); });

  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(TransformReportJson(State()).dump(2), cli_plan.dump(2));
  EXPECT_EQ(Child<QTableWidget>(Main(), "Errores")->rowCount(),
            static_cast<int>(State().Journal.Entries().size()));
  EXPECT_EQ(Files(home_.Path()), home_before);
  EXPECT_EQ(Files(data_.Path()), data_before);
  EXPECT_FALSE(std::filesystem::exists(data_ / "Clientes.mdb")) << "a plan copies no model";
}

TEST_F(DesktopTest, CopiaDeSeguridadSendsACopyOfEachOldDatabaseBeforeTransformar) {
  MakePair(Paths(home_.Path()).ModelPath("tienda.mdb"), data_ / "tienda.mdb");
  const auto original = RawQuery(data_ / "tienda.mdb", "SELECT * FROM cliente ORDER BY id");
  Start();
  auto* box = Child<QCheckBox>(Main(), "CopiaSeguridad");
  auto* folder = Child<QLineEdit>(Main(), "CarpetaCopias");
  ASSERT_TRUE(box && folder);
  // Checked at first, into the installation's "copias".
  EXPECT_TRUE(box->isChecked());
  EXPECT_EQ(State().BackupFolder, Paths(home_.Path()).BackupsFolder());
  TempDir copies;
  box->setChecked(false);
  EXPECT_EQ(State().BackupFolder, "") << "unchecked: no copies";
  folder->setText(QString::fromStdString(copies.Path()));
  box->setChecked(true);
  EXPECT_EQ(State().BackupFolder, copies.Path());

  AnswerConfirmation([&] { Child<QPushButton>(Main(), "Command13")->click(); });
  const auto& changes = State().Report.For(data_ / "tienda.mdb", "");
  ASSERT_FALSE(changes.backup.empty());
  EXPECT_EQ(changes.backup.rfind(copies.Path() + "/", 0), 0u) << changes.backup;
  EXPECT_EQ(RawQuery(changes.backup, "SELECT * FROM cliente ORDER BY id"), original);
  EXPECT_EQ(RawColumns(changes.backup, "pedido"), (std::vector<std::string>{"id", "cliente"}));
  EXPECT_EQ(RawColumns(data_ / "tienda.mdb", "pedido"), (std::vector<std::string>{"id", "cliente", "nota"}));

  box->setChecked(false);
  EXPECT_EQ(State().BackupFolder, "");
}

}  // namespace
}  // namespace brenquil::test
