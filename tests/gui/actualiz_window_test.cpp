// The main window's widgets against its state: browsing, typing, selecting,
// the sample grid, errors from buttons, the journal, the bars, the layout.
#include <chrono>
#include <thread>

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTableWidget>
#include <QToolButton>

#include "shell/ignore_errors.h"
#include "tests/gui/desktop_fixture.h"

namespace brenquil::test {
namespace {

QStringList Texts(QListWidget* list) {
  QStringList out;
  for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
  return out;
}

QStringList Headers(QTableWidget* grid) {
  QStringList out;
  for (int c = 0; c < grid->columnCount(); ++c) out << grid->horizontalHeaderItem(c)->text();
  return out;
}

// Opens an entry of the folder list as the operator does: select it, press Enter.
void Activate(QListWidget* list, const QString& entry) {
  auto found = list->findItems(entry, Qt::MatchExactly);
  ASSERT_EQ(found.size(), 1) << entry.toStdString();
  list->setCurrentItem(found[0]);
  QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QApplication::sendEvent(list, &enter);
}

void Type(QLineEdit* line, const QString& text) {
  for (QChar c : text) {
    QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
    QApplication::sendEvent(line, &key);
  }
}

TEST_F(DesktopTest, OpeningAFolderListsItsDatabases) {
  Start();
  auto* folders = Child<QListWidget>(Main(), "Dir1");
  auto* old = Child<QListWidget>(Main(), "List6");
  auto* path = Child<QLabel>(Main(), "Dir1Path");
  ASSERT_TRUE(folders && old && path);
  EXPECT_EQ(Texts(folders), (QStringList{"..", "viejas"}));

  Activate(folders, "viejas");
  const std::string viejas = data_.Path() + "/viejas";
  EXPECT_EQ(State().Dir1.Path(), viejas);
  EXPECT_EQ(path->toolTip().toStdString(), viejas);
  EXPECT_TRUE(viejas.ends_with(path->text().remove(QChar(0x2026)).toStdString())) << "the end of the path stays in view";
  EXPECT_EQ(Texts(old), (QStringList{"Clientes.mdb", "PEDIDOS.MDB"}));
  EXPECT_EQ(Texts(folders), QStringList{".."});

  Activate(folders, "..");
  EXPECT_EQ(State().Dir1.Path(), data_.Path());
  EXPECT_EQ(Texts(old), QStringList{"raiz.mdb"});
  EXPECT_TRUE(State().Journal.Empty());
}

TEST_F(DesktopTest, AFolderThatVanishedIsShownAsAnErrorAndBrowsingGoesOn) {
  Start();
  auto* folders = Child<QListWidget>(Main(), "Dir1");
  ASSERT_NE(folders, nullptr);
  std::filesystem::remove_all(data_.Path() + "/viejas");
  auto boxes = AnswerBoxes([&] { Activate(folders, "viejas"); });
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_TRUE(boxes[0].text.startsWith(QStringLiteral("Error %1: ").arg(err::kPathNotFound)))
      << boxes[0].text.toStdString();
  EXPECT_EQ(State().Dir1.Path(), data_.Path());
  ASSERT_EQ(State().Journal.Entries().size(), 1u);
  EXPECT_EQ(State().Journal.Entries()[0].operation, "Dir1_Change");
  EXPECT_EQ(State().Journal.Entries()[0].number, err::kPathNotFound);
}

TEST_F(DesktopTest, TheDriveListOffersTheDrives) {
  Start();
  auto* drives = Child<QComboBox>(Main(), "Drive1");
  ASSERT_NE(drives, nullptr);
  ASSERT_EQ(drives->count(), static_cast<int>(State().Drive1.Drives().size()));
  EXPECT_EQ(drives->currentText().toStdString(), State().Drive1.Drive());
  emit drives->activated(0);
  EXPECT_EQ(State().Dir1.Path(), State().Drive1.Drives()[0]);
}

TEST_F(DesktopTest, TypingAndSelectingReachTheStateAndTheStateReachesTheWidgets) {
  Start();
  auto* model = Child<QLineEdit>(Main(), "Text3");
  auto* old = Child<QListWidget>(Main(), "List6");
  auto* fields = Child<QTableWidget>(Main(), "List1[3]");
  ASSERT_TRUE(model && old && fields);
  EXPECT_EQ(model->text(), "c:\\Quenbrax\\modelos\\mobe.mdb");

  model->clear();
  Type(model, QString::fromUtf8("/datos/año.mdb"));
  EXPECT_EQ(State().Text3.Text(), "/datos/año.mdb");
  State().Text3.SetText("/otra/base.mdb");
  EXPECT_EQ(model->text(), "/otra/base.mdb");

  State().List6.AddItem("segunda.mdb");
  old->setCurrentRow(1);
  EXPECT_EQ(State().List6.ListIndex(), 1);
  EXPECT_EQ(State().List6.Text(), "segunda.mdb");
  State().List6.SetListIndex(0);
  EXPECT_EQ(old->currentRow(), 0);
  State().List6.Clear();
  EXPECT_EQ(old->count(), 0);

  // An element of a list array, filled and emptied by a step: the type
  // column of its field row's table, by name and code. A type never shows
  // without its name.
  for (const char* t : {"10", "4", "12"}) State().List1[4].AddItem(t);
  EXPECT_EQ(fields->rowCount(), 0) << "rows with a type and no name";
  for (const char* n : {"a", "b", "c"}) State().List1[3].AddItem(n);
  for (const char* z : {"50", "4", "0"}) State().List1[5].AddItem(z);
  for (int k = 3; k <= 5; ++k) State().List1[k].RemoveItem(1);
  ASSERT_EQ(fields->rowCount(), 2);
  EXPECT_EQ(fields->item(0, 0)->text(), "a");
  EXPECT_EQ(fields->item(0, 1)->text(), "Texto (10)");
  EXPECT_EQ(fields->item(1, 1)->text(), "Memo (12)");
  // Out of step (a name taken out alone, as the field step does), the names
  // stay and the types go: none is shown beside another field's name.
  State().List1[3].RemoveItem(0);
  ASSERT_EQ(fields->rowCount(), 1);
  EXPECT_EQ(fields->item(0, 0)->text(), "c");
  EXPECT_EQ(fields->item(0, 1)->text(), "");
}

TEST_F(DesktopTest, TheGridShowsTheNewColumnsAfterAddingFields) {
  Start();
  auto* grid = Child<QTableWidget>(Main(), "DBGrid1");
  auto* fill = Child<QPushButton>(Main(), "Command3");
  auto* add = Child<QPushButton>(Main(), "Command4");
  auto* remove = Child<QPushButton>(Main(), "Command5");
  ASSERT_TRUE(grid && fill && add && remove);
  const auto columns = RawColumns(Paths(home_.Path()).SampleDatabase(), "Empleados");
  const auto rows = RawQuery(Paths(home_.Path()).SampleDatabase(), "SELECT * FROM Empleados");
  EXPECT_EQ(grid->columnCount(), 0) << "nothing is shown before the grid is filled";

  fill->click();
  QStringList original;
  for (const auto& c : columns) original << QString::fromStdString(c);
  EXPECT_EQ(Headers(grid), original);
  ASSERT_EQ(grid->rowCount(), static_cast<int>(rows.size()));
  EXPECT_EQ(grid->item(0, 1)->text().toStdString(), rows[0][1]);

  auto boxes = AnswerBoxes([&] { add->click(); });
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(Headers(grid), original + QStringList({"Correo", "Http", "Cuota"}));
  EXPECT_EQ(grid->rowCount(), static_cast<int>(rows.size()));
  EXPECT_EQ(grid->item(0, 1)->text().toStdString(), rows[0][1]);

  remove->click();
  EXPECT_EQ(Headers(grid), original);
}

TEST_F(DesktopTest, AnErrorFromAButtonIsShownAndTheWindowGoesOn) {
  Start();
  auto* add = Child<QPushButton>(Main(), "Command4");
  auto* journal = Child<QTableWidget>(Main(), "Errores");
  ASSERT_TRUE(add && journal);
  add->click();
  ASSERT_TRUE(State().Journal.Empty());

  auto boxes = AnswerBoxes([&] { add->click(); });

  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, "Actualiza");
  ASSERT_EQ(State().Journal.Entries().size(), 1u);
  const auto& entry = State().Journal.Entries()[0];
  EXPECT_EQ(entry.number, err::kFieldExists);
  EXPECT_EQ(boxes[0].text, QStringLiteral("Error %1: %2").arg(entry.number).arg(QString::fromStdString(entry.text)));
  EXPECT_TRUE(boxes[0].text.contains("Correo"));
  ASSERT_EQ(journal->rowCount(), 1);
  EXPECT_EQ(journal->item(0, 3)->text().toStdString(), entry.text);
  EXPECT_EQ(journal->item(0, 2)->text(), QString::number(err::kFieldExists));
  EXPECT_TRUE(Main().isVisible());

  // The window still works: another button runs, no box comes, and its
  // press starts a fresh journal.
  auto more = AnswerBoxes([&] { Child<QPushButton>(Main(), "Command5")->click(); });
  EXPECT_TRUE(more.empty());
  EXPECT_TRUE(State().Journal.Empty());
  EXPECT_EQ(journal->rowCount(), 0);
}

TEST_F(DesktopTest, TheJournalListFollowsTheJournal) {
  Start();
  auto* journal = Child<QTableWidget>(Main(), "Errores");
  ASSERT_NE(journal, nullptr);
  JournalError(State(), "Command16_Click", Error(err::kDuplicateValue, "uno"));
  JournalError(State(), "Command21_Click", Error(err::kRelatedRecordRequired, "dos"));
  ASSERT_EQ(journal->rowCount(), 2);
  EXPECT_EQ(journal->item(1, 3)->text(), "dos");
  State().Journal.Clear();
  JournalError(State(), "Command23_Click", Error(err::kInvalidSql, "tres"));
  ASSERT_EQ(journal->rowCount(), 1);
  EXPECT_EQ(journal->item(0, 3)->text(), "tres");
}

TEST_F(DesktopTest, TheNavigatorMovesTheQueryCatalogue) {
  RawExec(Paths(home_.Path()).QueryCatalog(),
          "INSERT INTO consulta (nombrecon, consulta) VALUES ('Q1', 'SELECT 1'), ('Q2', 'SELECT 2'), "
          "('Q3', 'SELECT 3')");
  Start();
  auto* name = Child<QLineEdit>(Main(), "campocon[0]");
  auto* sql = Child<QLineEdit>(Main(), "campocon[1]");
  ASSERT_TRUE(name && sql);
  auto press = [&](const char* arrow) {
    auto* button = Child<QToolButton>(Main(), QStringLiteral("Data1%1").arg(arrow));
    ASSERT_NE(button, nullptr) << arrow;
    button->click();
  };
  EXPECT_EQ(name->text(), "Q1");
  struct Step {
    const char* arrow;
    const char* name;
  };
  const Step steps[] = {{"Next", "Q2"},     {"Next", "Q3"},  {"Next", "Q3"}, {"First", "Q1"},
                        {"Previous", "Q1"}, {"Last", "Q3"}, {"Previous", "Q2"}};
  for (const auto& s : steps) {
    press(s.arrow);
    EXPECT_EQ(name->text(), s.name) << s.arrow;
    EXPECT_EQ(State().campocon[0].Text(), s.name) << s.arrow;
  }
  EXPECT_EQ(sql->text(), "SELECT 2");
}

TEST_F(DesktopTest, BarsShowTheirShareAndRepaintWhileAStepRuns) {
  Start();
  auto* bar = Child<QProgressBar>(Main(), "Bar4");
  ASSERT_NE(bar, nullptr);
  State().Bar4.SetMax(4);
  State().Bar4.SetValue(1);
  EXPECT_EQ(bar->value() * 4, bar->maximum());
  EXPECT_EQ(bar->text(), "1 / 4");
  State().Bar4.SetMax(0.5f);  // a maximum below the value shows a full bar
  EXPECT_EQ(bar->value(), bar->maximum());
  State().Bar4.SetMax(0);
  EXPECT_EQ(bar->value(), 0);

  // A refresh of the bars' frame lets pending paint work run at once,
  // without waiting for the step to end.
  bool ran = false;
  QTimer::singleShot(0, [&] { ran = true; });
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  State().Frame13.Refresh();
  EXPECT_TRUE(ran);
}

TEST_F(DesktopTest, TheHourglassShowsWhileTheStateAsksForIt) {
  Start();
  State().SetMousePointer(kPointerHourglass);
  ASSERT_NE(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
  State().SetMousePointer(kPointerHourglass);
  State().SetMousePointer(kPointerDefault);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "one restore for one hourglass";
}

TEST_F(DesktopTest, SalirClosesBothWindows) {
  auto& desktop = Start();
  Child<QPushButton>(Main(), "Command14")->click();
  EXPECT_FALSE(Main().isVisible());
  EXPECT_FALSE(desktop.First().isVisible());
}

TEST_F(DesktopTest, EveryCaptionFitsAt1366By768) {
  Start();
  Main().resize(1366, 740);
  Main().show();
  QApplication::processEvents();
  auto* scroll = Main().findChild<QScrollArea*>();
  ASSERT_NE(scroll, nullptr);
  EXPECT_FALSE(scroll->horizontalScrollBar()->isVisible()) << "too wide for the screen";
  EXPECT_FALSE(scroll->verticalScrollBar()->isVisible()) << "too tall for the screen";
  for (auto* button : Main().findChildren<QPushButton*>()) {
    if (!button->isVisible()) continue;
    EXPECT_GE(button->width(), button->fontMetrics().horizontalAdvance(button->text()) + 6)
        << button->objectName().toStdString();
  }
  for (auto* box : Main().findChildren<QGroupBox*>()) {
    EXPECT_GE(box->width(), box->fontMetrics().horizontalAdvance(box->title()))
        << box->title().toStdString();
  }
  for (auto* label : Main().findChildren<QLabel*>()) {
    if (label->objectName() == "Dir1Path" || label->text().isEmpty()) continue;
    EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(label->text()))
        << label->objectName().toStdString();
  }
  for (auto* list : Main().findChildren<QListWidget*>())
    EXPECT_GE(list->height(), 40) << list->objectName().toStdString();
}

}  // namespace
}  // namespace brenquil::test
