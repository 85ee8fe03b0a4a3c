// What an operator meets in the window: the question "Transformar" asks
// before it changes anything, "Detener" during a run, the details pane, a
// data folder that is not there, a plan that reads as a plan, and the
// tooltips of the controls that act.
#include <filesystem>
#include <map>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>

#include "shell/transformation.h"
#include "tests/gui/desktop_fixture.h"

namespace brenquil::test {
namespace {

namespace fs = std::filesystem;

// The folder "viejas" (see ViejasTest) with Otro.mdb too: one table more in
// its model.
class OperatorWindow : public ViejasTest {
 protected:
  OperatorWindow() {
    Paths paths(home_.Path());
    RawExec(paths.ModelPath("Otro.mdb"), "CREATE TABLE Lineas (Numero INTEGER)");
    RawExec(Viejas() + "/Otro.mdb", "CREATE TABLE Vieja (a INTEGER)");
  }

  int RowOf(QTableWidget* table, const QString& name) {
    for (int r = 0; r < table->rowCount(); ++r)
      if (table->item(r, 0)->text() == name) return r;
    return -1;
  }
};

TEST_F(OperatorWindow, TransformarAsksFirstAndCancelarChangesNothing) {
  StartOnViejas();
  auto* run = Child<QPushButton>(Main(), "Command13");
  ASSERT_NE(run, nullptr);
  // The files the fixture made are written whole before they are compared.
  DBEngine::Instance().CloseIdle();
  const auto before = FolderContents(data_.Path());
  int runs = 0;
  State().OnBusy([&](bool busy) { runs += busy ? 1 : 0; });

  QString asked;
  EXPECT_EQ(AnswerConfirmation([&] { run->click(); }, false, &asked), 1);
  const auto after = FolderContents(data_.Path());
  for (const auto& [name, bytes] : after)
    EXPECT_TRUE(before.count(name) && before.at(name) == bytes) << name << " changed";
  EXPECT_EQ(after.size(), before.size()) << "\"Cancelar\" changed a file";
  EXPECT_EQ(runs, 1) << "only the plan ran";
  EXPECT_EQ(State().Label4.Caption(), kStatusPlanDone);
  for (const char* line : {"Bases que se actualizarían: 2", "Modelos sin base vieja que se copiarían: 1",
                           "Bases sin modelo que se omitirían: 1", "Cambios que se rechazarían: 1"})
    EXPECT_TRUE(asked.contains(QString::fromUtf8(line))) << line << "\n" << asked.toStdString();

  // "Transformar" in the question runs, with "Copia de seguridad" as it was
  // left there: checked, into the installation's "copias".
  EXPECT_EQ(AnswerConfirmation([&] { run->click(); }, true), 1);
  EXPECT_EQ(State().Label4.Caption(), kStatusDone);
  EXPECT_TRUE(fs::exists(Viejas() + "/Nuevo.mdb"));
  const std::string copias = Paths(home_.Path()).BackupsFolder();
  ASSERT_TRUE(fs::is_directory(copias));
  std::vector<fs::path> stamps(fs::directory_iterator(copias), fs::directory_iterator{});
  ASSERT_EQ(stamps.size(), 1u);
  EXPECT_TRUE(fs::exists(stamps[0] / "Clientes.mdb"));
  EXPECT_FALSE(fs::exists(stamps[0] / "Roto.mdb")) << "a database the run did not change was copied";
}

TEST_F(OperatorWindow, ABackupFolderThatCannotBeMadeRefusesTheRunAsTheCommandLineDoes) {
  StartOnViejas();
  TempDir elsewhere;
  WriteBytes(elsewhere / "archivo", "no es una carpeta");
  Child<QLineEdit>(Main(), "CarpetaCopias")->setText(QString::fromStdString(elsewhere / "archivo/copias"));
  DBEngine::Instance().CloseIdle();
  const auto before = FolderContents(data_.Path());
  // The question is answered "Transformar"; the error's message box, OK.
  EXPECT_EQ(AnswerConfirmation([&] { Child<QPushButton>(Main(), "Command13")->click(); }), 1);
  EXPECT_EQ(State().Label4.Caption(), kStatusPlanDone) << "the run started";
  EXPECT_TRUE(FolderContents(data_.Path()) == before);
  EXPECT_FALSE(fs::exists(Viejas() + "/Nuevo.mdb"));
}

TEST_F(OperatorWindow, TheQuestionWarnsOfAFolderWithoutAnyOldDatabaseOfAModel) {
  Start();
  TempDir empty;
  State().Dir1.SetPath(empty.Path());
  auto* run = Child<QPushButton>(Main(), "Command13");
  QString asked;
  ASSERT_EQ(AnswerConfirmation([&] { run->click(); }, false, &asked), 1);
  EXPECT_TRUE(asked.contains(QString::fromUtf8("no tiene ninguna base vieja con modelo"))) << asked.toStdString();
  EXPECT_TRUE(asked.contains(QString::fromStdString(empty.Path()))) << asked.toStdString();
  EXPECT_TRUE(FolderContents(empty.Path()).empty()) << "a model was copied without the operator's yes";
}

TEST_F(OperatorWindow, DetenerIsTheOneControlOfARunAndStopsAfterTheDatabaseInHand) {
  StartOnViejas();
  auto* stop = Child<QPushButton>(Main(), "Detener");
  ASSERT_NE(stop, nullptr);
  EXPECT_FALSE(stop->isEnabled()) << "\"Detener\" without a run";
  const std::string otro = ReadBytes(Viejas() + "/Otro.mdb");
  bool clicked = false, enabled = false;
  State().OnOperation([&] {
    // The operator clicks while the first pair's indexes are being done.
    if (clicked || !State().Busy() || State().CurrentOperation() != "Command17_Click") return;
    clicked = true;
    enabled = stop->isEnabled();
    PostClick(stop);
  });
  Main().PressButton(13);
  QApplication::processEvents();

  ASSERT_TRUE(clicked);
  EXPECT_TRUE(enabled) << "\"Detener\" was not enabled during the run";
  EXPECT_FALSE(stop->isEnabled()) << "\"Detener\" after the run";
  EXPECT_EQ(State().Label4.Caption(), kStatusStopped);
  auto results = Results();
  EXPECT_EQ(results["Clientes.mdb"], "actualizada: 1 tabla") << "the database in hand was finished";
  for (const char* name : {"Otro.mdb", "PEDIDOS.MDB", "Roto.mdb", "Nuevo.mdb"})
    EXPECT_EQ(results[name].rfind("sin tratar", 0), 0u) << name << ": " << results[name];
  EXPECT_TRUE(ReadBytes(Viejas() + "/Otro.mdb") == otro) << "a database after the stop changed";
  EXPECT_FALSE(fs::exists(Viejas() + "/Nuevo.mdb"));
  EXPECT_TRUE(Child<QLabel>(Main(), "Resumen")->text().contains("4 sin tratar"))
      << Child<QLabel>(Main(), "Resumen")->text().toStdString();

  // The next press starts without the stop.
  Main().PressButton(13);
  EXPECT_EQ(State().Label4.Caption(), kStatusDone);
}

TEST_F(OperatorWindow, TheDetailsPaneShowsAllOfADatabaseAndAWholeMessageAt1024By700) {
  StartOnViejas();
  Main().resize(1024, 672);
  Main().show();
  Main().PressButton(13);
  QApplication::processEvents();
  auto* results = Child<QTableWidget>(Main(), "Resultados");
  auto* journal = Child<QTableWidget>(Main(), "Errores");
  auto* details = Child<QPlainTextEdit>(Main(), "Detalle");
  ASSERT_TRUE(results && journal && details);

  results->setCurrentCell(RowOf(results, "Clientes.mdb"), 0);
  QString shown = Main().DetailText();
  EXPECT_TRUE(shown.startsWith("Clientes.mdb: actualizada: 1 tabla")) << shown.toStdString();
  EXPECT_TRUE(shown.contains("tablas creadas: Facturas")) << shown.toStdString();
  EXPECT_TRUE(shown.contains(QString::fromStdString(Viejas() + "/Clientes.mdb"))) << shown.toStdString();

  ASSERT_EQ(State().Journal.Entries().size(), 1u);
  const std::string message = State().Journal.Entries()[0].text;
  results->setCurrentCell(RowOf(results, "Roto.mdb"), 0);
  EXPECT_TRUE(Main().DetailText().contains(QString::fromStdString(message))) << Main().DetailText().toStdString();
  journal->setCurrentCell(0, 3);
  shown = Main().DetailText();
  EXPECT_TRUE(shown.contains(QString::fromStdString(message))) << shown.toStdString();
  EXPECT_TRUE(shown.contains("Paso: Tablas")) << shown.toStdString();
  EXPECT_FALSE(shown.contains("_Click")) << shown.toStdString();

  // The pane is in view, wide enough to read and wrapping, at 1024 by 700.
  QRect place(details->mapTo(&Main(), QPoint(0, 0)), details->size());
  EXPECT_TRUE(Main().rect().contains(place)) << "the details pane is cut off";
  EXPECT_GE(details->width(), 150);
  EXPECT_GE(details->height(), 80);
  EXPECT_EQ(details->lineWrapMode(), QPlainTextEdit::WidgetWidth);
}

TEST_F(OperatorWindow, AMissingDataFolderIsSaidAndTheWindowWaitsForTheOperator) {
  App();
  const std::string missing = data_.Path() + "/no existe";
  int code = -1;
  std::unique_ptr<gui::Desktop> desktop;
  auto boxes = AnswerBoxes([&] {
    desktop = gui::StartDesktop({"brenquil", "--home", QString::fromStdString(home_.Path()), "--data",
                                 QString::fromStdString(missing)},
                                code);
  });
  ASSERT_NE(desktop, nullptr);
  EXPECT_EQ(code, 0);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_TRUE(boxes[0].text.startsWith("Error 76:")) << boxes[0].text.toStdString();
  EXPECT_TRUE(boxes[0].text.contains(QString::fromStdString(missing))) << boxes[0].text.toStdString();
  EXPECT_EQ(desktop->State().Dir1.Path(), "") << "the window went to another folder";
  EXPECT_EQ(desktop->State().List6.ListCount(), 0);

  // "Transformar" then says there is no data folder, and copies nothing.
  auto* run = desktop->Main().findChild<QPushButton*>("Command13");
  ASSERT_NE(run, nullptr);
  int asked = -1;
  auto refused = AnswerBoxes([&] { asked = AnswerConfirmation([&] { run->click(); }); });
  EXPECT_EQ(asked, 0) << "a question without a data folder";
  for (const char* name : {"Clientes.mdb", "Nuevo.mdb", "Roto.mdb", "Otro.mdb"})
    EXPECT_FALSE(fs::exists(name)) << name << " was copied where the program runs";

  // The operator picks a folder: the window lists it.
  desktop->State().Dir1.SetPath(Viejas());
  EXPECT_GT(desktop->State().List6.ListCount(), 0);
}

TEST_F(OperatorWindow, APlanReadsAsAPlan) {
  StartOnViejas();
  Main().PressPreview();
  EXPECT_EQ(State().Label4.Caption(), kStatusPlanDone);
  auto* frame = Child<QGroupBox>(Main(), "ResultadosFrame");
  ASSERT_NE(frame, nullptr);
  EXPECT_TRUE(frame->title().contains("plan")) << frame->title().toStdString();
  EXPECT_FALSE(Child<QTableWidget>(Main(), "Resultados")->styleSheet().isEmpty()) << "a plan looks like a run";
  auto results = Results();
  EXPECT_EQ(results["Clientes.mdb"], "se actualizaría: 1 tabla");
  EXPECT_EQ(results["Nuevo.mdb"], "se copiaría");
  EXPECT_EQ(results["PEDIDOS.MDB"], "se omitiría: sin modelo");
  EXPECT_EQ(results["Roto.mdb"], "se rechazaría: 1 error");
  EXPECT_TRUE(Child<QLabel>(Main(), "Resumen")->text().startsWith(QString::fromUtf8("2 se actualizarían")));

  // A run afterwards is a run again.
  Main().PressButton(13);
  EXPECT_EQ(frame->title(), "Resultados");
  EXPECT_EQ(Results()["Clientes.mdb"], "actualizada: 1 tabla");
}

TEST_F(OperatorWindow, EveryControlThatActsHasATooltip) {
  Start();
  for (const char* name : {"Previsualizar", "CopiaSeguridad", "CarpetaCopias", "ElegirCarpetaCopias",
                           "Detener", "Drive1", "Dir1", "CopiarErrores", "GuardarErrores"}) {
    auto* widget = Child<QWidget>(Main(), name);
    ASSERT_NE(widget, nullptr) << name;
    EXPECT_FALSE(widget->toolTip().isEmpty()) << name;
  }
}

}  // namespace
}  // namespace brenquil::test
