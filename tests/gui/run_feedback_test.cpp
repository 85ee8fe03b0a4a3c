// What the operator sees of a run in the window: the results table and the
// summary, the journal table, the guard that keeps a run alone, the bars, the
// pair chosen by mouse, the layout on a small screen and the step tooltips.
#include <filesystem>
#include <map>
#include <sstream>

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTableWidget>

#include "gui/path_edit.h"
#include "shell/step_names.h"
#include "tests/gui/desktop_fixture.h"

namespace brenquil::test {
namespace {

namespace fs = std::filesystem;

class RunFeedbackTest : public ViejasTest {
 protected:
  size_t JournalOn(const std::string& name) {
    size_t n = 0;
    for (const auto& e : State().Journal.Entries())
      if (fs::path(e.old).filename() == name) ++n;
    return n;
  }
};

TEST_F(RunFeedbackTest, AfterARunTheResultsListEveryDatabaseAndTheSummaryFollowsTheStatus) {
  StartOnViejas();
  auto* run = Child<QPushButton>(Main(), "Command13");
  auto* summary = Child<QLabel>(Main(), "Resumen");
  auto* journal = Child<QTableWidget>(Main(), "Errores");
  auto* journal_box = Child<QGroupBox>(Main(), "ErroresFrame");
  auto* old = Child<QListWidget>(Main(), "List6");
  ASSERT_TRUE(run && summary && journal && journal_box && old);

  ASSERT_EQ(AnswerConfirmation([&] { run->click(); }), 1);

  // One cause, one line.
  const size_t broken = JournalOn("Roto.mdb");
  ASSERT_EQ(broken, 1u);
  ASSERT_EQ(State().Journal.Entries().size(), broken) << "only the damaged database fails";
  auto results = Results();
  EXPECT_EQ(results.size(), 4u);
  EXPECT_EQ(results["Clientes.mdb"], "actualizada: 1 tabla");
  EXPECT_EQ(results["PEDIDOS.MDB"], "omitida: sin modelo");
  EXPECT_EQ(results["Nuevo.mdb"], "copiada");
  EXPECT_EQ(results["Roto.mdb"], "1 error");
  EXPECT_EQ(State().Label4.Caption(), "Proceso Terminado");
  EXPECT_EQ(summary->text().toStdString(), "1 actualizada, 1 copiada, 1 omitida, 1 con errores, 1 error");

  // The journal: a row per entry, the step by name, its operation in the tooltip.
  ASSERT_EQ(journal->rowCount(), static_cast<int>(broken));
  EXPECT_EQ(journal->item(0, 0)->text(), "Roto.mdb");
  EXPECT_EQ(journal->item(0, 1)->text(), "Tablas");
  EXPECT_FALSE(journal->item(0, 1)->toolTip().contains("_Click")) << "an internal name in the window";
  EXPECT_EQ(journal->item(0, 2)->text(), QString::number(err::kUnrecognisedFormat));
  EXPECT_EQ(journal->item(0, 3)->toolTip().toStdString(), State().Journal.Entries()[0].text);
  EXPECT_EQ(journal_box->title(), QStringLiteral("Errores (%1)").arg(broken));
  EXPECT_TRUE(journal_box->styleSheet().contains("color")) << "a count above zero is red";
  TempDir saved;
  ASSERT_TRUE(Main().SaveJournal(QString::fromStdString(saved / "errores.txt")));
  std::string text = ReadBytes(saved / "errores.txt");
  EXPECT_EQ(text.rfind("Base\tPaso\tNúmero\tMensaje", 0), 0u) << text;
  EXPECT_NE(text.find("Roto.mdb\tTablas\t" + std::to_string(err::kUnrecognisedFormat)),
            std::string::npos)
      << text;

  // The data folder is listed again: the copy is an old database now, and a
  // second press does not try to copy it again.
  EXPECT_EQ(old->findItems("Nuevo.mdb", Qt::MatchExactly).size(), 1);
  AnswerConfirmation([&] { run->click(); });
  EXPECT_EQ(State().Journal.Entries().size(), broken) << "false errors on the second press";
  for (const auto& e : State().Journal.Entries())
    EXPECT_NE(e.number, err::kFileAlreadyExists) << e.text;
  results = Results();
  EXPECT_EQ(results["Nuevo.mdb"], "sin cambios");
  EXPECT_EQ(results["Clientes.mdb"], "sin cambios");
  EXPECT_EQ(summary->text().toStdString(), "2 sin cambios, 1 omitida, 1 con errores, 1 error");
}

TEST_F(RunFeedbackTest, DuringARunButtonsAreDisabledAndClicksAndActivationsAreDropped) {
  StartOnViejas();
  auto* run = Child<QPushButton>(Main(), "Command13");
  ASSERT_NE(run, nullptr);
  int runs = 0;
  State().OnBusy([&runs](bool busy) { runs += busy ? 1 : 0; });
  const auto models = State().List7.Items();
  bool looked = false;
  std::vector<std::string> enabled;
  std::string dir_after_activation;
  State().OnOperation([&] {
    if (looked || !State().Busy() || State().CurrentOperation() != "Command17_Click") return;
    looked = true;
    for (auto* button : Main().findChildren<QPushButton*>())
      if (button->isEnabled()) enabled.push_back(button->objectName().toStdString());
    // The operator clicks "Transformar" again and comes to the start-up form.
    PostClick(run);
    Main().PressButton(13);
    desktop_->StartForm().Form_Activate();
    dir_after_activation = State().Dir1.Path();
  });

  Main().PressButton(13);
  QApplication::processEvents();

  ASSERT_TRUE(looked);
  EXPECT_EQ(enabled, (std::vector<std::string>{"Detener"})) << "only \"Detener\" is for a run under way";
  EXPECT_EQ(runs, 1) << "a click during the run started another";
  EXPECT_EQ(dir_after_activation, Viejas()) << "the activation moved Dir1 during the run";
  EXPECT_EQ(State().List7.Items(), models) << "the activation listed the models again";
  EXPECT_TRUE(run->isEnabled());

  // The same click after the run does start one (the plan before the
  // question): the drop above was real.
  EXPECT_EQ(AnswerConfirmation(
                [&] {
                  PostClick(run);
                  QApplication::processEvents();
                },
                false),
            1);
  EXPECT_EQ(runs, 2);
}

TEST_F(RunFeedbackTest, BarsShowWhatTheyCountAndNothingBeforeTheyStart) {
  Start();
  auto* untouched = Child<QProgressBar>(Main(), "Bar6");
  auto* bar = Child<QProgressBar>(Main(), "Bar2");
  ASSERT_TRUE(untouched && bar);
  EXPECT_FALSE(untouched->isTextVisible());
  EXPECT_FALSE(untouched->text().contains("100"));
  EXPECT_EQ(untouched->value(), 0);

  struct Case {
    float value, max;
    const char* text;
    double share;
  };
  const Case cases[] = {{3, 4, "3 / 4", 0.75}, {0, 4, "0 / 4", 0}, {4, 4, "4 / 4", 1},
                        {1, 3, "1 / 3", 1.0 / 3}, {5, 2, "5 / 2", 1}, {2, 0, "2 / 0", 0}};
  for (const auto& c : cases) {
    State().Bar2.SetMax(c.max);
    State().Bar2.SetValue(c.value);
    EXPECT_TRUE(bar->isTextVisible()) << c.text;
    EXPECT_EQ(bar->text(), c.text);
    EXPECT_NEAR(static_cast<double>(bar->value() - bar->minimum()) /
                    (bar->maximum() - bar->minimum()),
                c.share, 0.001)
        << c.text;
  }
}

TEST_F(RunFeedbackTest, PickingAnOldDatabaseWithAModelNamesThePair) {
  StartOnViejas();
  auto* old = Child<QListWidget>(Main(), "List6");
  auto* model = Child<gui::PathEdit>(Main(), "Text3");
  auto* target = Child<gui::PathEdit>(Main(), "Text4");
  ASSERT_TRUE(old && model && target);
  const std::string hint = State().Text3.Text();

  old->setCurrentRow(old->row(old->findItems("PEDIDOS.MDB", Qt::MatchExactly).value(0)));
  EXPECT_EQ(State().Text3.Text(), hint) << "a database without a model names no pair";

  old->setCurrentRow(old->row(old->findItems("Clientes.mdb", Qt::MatchExactly).value(0)));
  EXPECT_EQ(State().Text3.Text(), Paths(home_.Path()).ModelPath("Clientes.mdb"));
  EXPECT_EQ(State().Text4.Text(), Viejas() + "/Clientes.mdb");

  // A path wider than its box: the start and the file name stay in view.
  target->resize(140, target->height());
  const QString whole = QString::fromStdString(State().Text4.Text());
  EXPECT_EQ(target->toolTip(), whole);
  QString shown = target->Shown();
  EXPECT_TRUE(shown.contains(QChar(0x2026))) << shown.toStdString();
  EXPECT_TRUE(shown.endsWith("mdb")) << shown.toStdString();
  EXPECT_TRUE(whole.startsWith(shown.left(shown.indexOf(QChar(0x2026))))) << shown.toStdString();
}

TEST_F(RunFeedbackTest, AFieldRowIsOneTableAndItsRowSelectsTheThreeLists) {
  Start();
  auto* table = Child<QTableWidget>(Main(), "List5[0]");
  ASSERT_NE(table, nullptr);
  QStringList headers;
  for (int c = 0; c < table->columnCount(); ++c) headers << table->horizontalHeaderItem(c)->text();
  EXPECT_EQ(headers, (QStringList{"Nombre", "Tipo", QString::fromUtf8("Tamaño")}));
  const char* rows[][3] = {{"Id", "4", "4"}, {"Nombre", "10", "40"}, {"Rara", "99", "1"}};
  for (const auto& row : rows)
    for (int k = 0; k < 3; ++k) State().List5[k].AddItem(row[k]);
  ASSERT_EQ(table->rowCount(), 3);
  EXPECT_EQ(table->item(0, 1)->text(), "Entero largo (4)");
  EXPECT_EQ(table->item(1, 1)->text(), "Texto (10)");
  EXPECT_EQ(table->item(2, 1)->text(), "99") << "an unknown code is shown as it is";
  EXPECT_EQ(table->item(1, 2)->text(), "40");

  table->setCurrentCell(1, 0);
  for (int k = 0; k < 3; ++k) EXPECT_EQ(State().List5[k].ListIndex(), 1) << k;
  EXPECT_EQ(State().List5[1].Items(), (std::vector<std::string>{"4", "10", "99"}))
      << "the lists keep the codes";
  State().List5[0].Clear();
  State().List5[1].Clear();
  State().List5[2].Clear();
  EXPECT_EQ(table->rowCount(), 0);
}

TEST_F(RunFeedbackTest, At1024By700TheRunControlsResultsAndJournalStayInView) {
  Start();
  Main().resize(1024, 672);
  Main().show();
  QApplication::processEvents();
  const QRect window = Main().rect();
  for (const char* name : {"Command13", "Command14", "Bar1", "Bar6", "Label4", "Resultados",
                           "Errores", "Resumen"}) {
    auto* widget = Child<QWidget>(Main(), name);
    ASSERT_NE(widget, nullptr) << name;
    QRect place(widget->mapTo(&Main(), QPoint(0, 0)), widget->size());
    EXPECT_TRUE(window.contains(place)) << name << " is cut off";
    EXPECT_GE(widget->height(), 12) << name;
  }
  auto* steps = Child<QScrollArea>(Main(), "Steps");
  ASSERT_NE(steps, nullptr);
  EXPECT_FALSE(steps->horizontalScrollBar()->isVisible()) << "the steps are cut at the side";
  for (auto* box : Main().findChildren<QGroupBox*>())
    EXPECT_GE(box->width(), box->fontMetrics().horizontalAdvance(box->title()))
        << box->title().toStdString();
  for (auto* button : Main().findChildren<QPushButton*>()) {
    if (!button->isVisible()) continue;
    EXPECT_GE(button->width(), button->fontMetrics().horizontalAdvance(button->text()) + 6)
        << button->objectName().toStdString();
  }
}

TEST_F(RunFeedbackTest, EveryStepButtonSaysWhatItChanges) {
  Start();
  for (int n = 1; n <= 24; ++n) {
    auto* button = Child<QPushButton>(Main(), QStringLiteral("Command%1").arg(n));
    ASSERT_NE(button, nullptr);
    EXPECT_FALSE(button->toolTip().isEmpty()) << "Command" << n;
  }
  // The chains that delete say so plainly.
  for (int n : {17, 18})
    EXPECT_TRUE(Child<QPushButton>(Main(), QStringLiteral("Command%1").arg(n))
                    ->toolTip()
                    .contains(QString::fromUtf8("borra los índices de la base vieja"),
                              Qt::CaseInsensitive))
        << n;
  for (int n : {20, 22})
    EXPECT_TRUE(Child<QPushButton>(Main(), QStringLiteral("Command%1").arg(n))
                    ->toolTip()
                    .contains("borra las relaciones de la base vieja", Qt::CaseInsensitive))
        << n;
  EXPECT_TRUE(Child<QPushButton>(Main(), "Command23")
                  ->toolTip()
                  .contains("borra las consultas de la base vieja", Qt::CaseInsensitive));
}

TEST(DesktopOptions, HelpAndVersionAnswerWithoutAWindow) {
  struct Case {
    std::vector<std::string> args;
    std::optional<int> code;
    const char* shown;
  };
  const Case cases[] = {
      {{"brenquil", "--version"}, 0, "brenquil " BRENQUIL_VERSION "\n"},
      {{"brenquil", "--help"}, 0, "Uso: brenquil"},
      {{"brenquil", "--data", "/tmp", "-h"}, 0, "--version"},
      {{"brenquil", "--home", "--help"}, std::nullopt, ""},  // a folder named "--help"
      {{"brenquil", "--data", "/tmp"}, std::nullopt, ""},
  };
  for (const auto& c : cases) {
    std::ostringstream out;
    auto code = gui::AnswerWithoutWindow(c.args, out);
    EXPECT_EQ(code, c.code) << c.args.back();
    EXPECT_NE(out.str().find(c.shown), std::string::npos) << c.args.back() << ": " << out.str();
    if (!c.code) {
      EXPECT_TRUE(out.str().empty()) << c.args.back();
    }
  }
  App();
  int code = -1;
  std::unique_ptr<gui::Desktop> desktop;
  auto boxes = AnswerBoxes([&] { desktop = gui::StartDesktop({"brenquil", "--version"}, code); });
  EXPECT_TRUE(boxes.empty()) << "a message box for --version";
  EXPECT_EQ(desktop, nullptr);
  EXPECT_EQ(code, 0);
}

}  // namespace
}  // namespace brenquil::test
