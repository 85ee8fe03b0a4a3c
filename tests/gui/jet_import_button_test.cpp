// "Importar bases Jet" in the database selection: shown only while a listed
// database is a Jet file, asking before it converts, converting the
// installation's Jet files with their originals kept, journaling what
// failed, and never during a transformation. Uses the genuine Jet files of
// ../shared/jet (skipped, saying so, when the folder is absent).
#include <filesystem>

#include <QListWidget>
#include <QPushButton>

#include "gui/jet_import_button.h"
#include "jet/installation_import.h"
#include "shell/actualiz.h"
#include "tests/gui/desktop_fixture.h"

namespace brenquil::test {
namespace {

namespace fs = std::filesystem;

std::string JetSample(const std::string& name) { return std::string(BRENQUIL_JET_FILES) + "/" + name; }

#define SKIP_WITHOUT_JET_SAMPLES()                                                         \
  do {                                                                                     \
    if (!fs::is_directory(BRENQUIL_JET_FILES))                                             \
      GTEST_SKIP() << "sin los archivos Jet de prueba: no existe " << BRENQUIL_JET_FILES; \
  } while (0)

class JetImportButtonTest : public DesktopTest {
 protected:
  QPushButton* Button() { return Child<QPushButton>(Main(), "ImportarJet"); }
  // The button as the operator would see it once the lists were painted.
  bool Shown() {
    QApplication::processEvents();
    return Button() && !Button()->isHidden();
  }
  // Clicks the button, answering its question with `answer` (Ok: "Importar")
  // and every other box with OK; returns the boxes' texts, the question first.
  std::vector<QString> Click(QMessageBox::StandardButton answer) {
    std::vector<QString> texts;
    QTimer timer;
    timer.setInterval(5);
    QObject::connect(&timer, &QTimer::timeout, [&] {
      for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        if (!box || !box->isVisible()) continue;
        texts.push_back(box->text());
        box->done(box->objectName() == QLatin1String("ConfirmarImportarJet") ? answer : QMessageBox::Ok);
      }
    });
    timer.start();
    Button()->click();
    return texts;
  }
  std::string Data(const std::string& name) { return data_ / name; }
};

TEST_F(JetImportButtonTest, ShownOnlyWhileAListedDatabaseIsAJetFile) {
  SKIP_WITHOUT_JET_SAMPLES();
  Start();
  ASSERT_NE(Button(), nullptr);
  EXPECT_FALSE(Shown());
  // A Jet model shows it.
  fs::copy_file(JetSample("indexTestV2000.mdb"), Paths(home_.Path()).ModelPath("Modelo.mdb"));
  State().List7.AddItem("Modelo.mdb");
  EXPECT_TRUE(Shown());
  State().List7.Clear();
  State().List7.AddItem("Clientes.mdb");
  EXPECT_FALSE(Shown());
  // So does a Jet old database, in the folder the list shows and no other.
  fs::copy_file(JetSample("testV1997.mdb"), data_ / "viejas/Vieja.mdb");
  EXPECT_FALSE(Shown());
  Main().OpenFolder("viejas");
  EXPECT_TRUE(Shown());
  Main().OpenFolder("..");
  EXPECT_FALSE(Shown());
}

TEST_F(JetImportButtonTest, AsksThenConvertsListsAgainAndKeepsTheOriginals) {
  SKIP_WITHOUT_JET_SAMPLES();
  fs::copy_file(JetSample("testV1997.mdb"), Data("Vieja.mdb"));
  fs::copy_file(JetSample("indexTestV2000.mdb"), Paths(home_.Path()).ModelPath("Modelo.mdb"));
  Start();
  ASSERT_TRUE(Shown());
  const auto home_before = FolderContents(home_.Path());
  const auto data_before = FolderContents(data_.Path());

  // "Cancelar" changes nothing.
  auto cancelled = Click(QMessageBox::Cancel);
  ASSERT_EQ(cancelled.size(), 1u);
  EXPECT_TRUE(cancelled[0].contains(QStringLiteral("jet-originales/AAAAMMDD-HHMMSS/")))
      << cancelled[0].toStdString();
  EXPECT_TRUE(cancelled[0].contains(QString::fromStdString(Data("Vieja.mdb")))) << cancelled[0].toStdString();
  EXPECT_EQ(FolderContents(home_.Path()), home_before);
  EXPECT_EQ(FolderContents(data_.Path()), data_before);

  auto boxes = Click(QMessageBox::Ok);
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_TRUE(boxes[1].startsWith(QStringLiteral("Bases Jet convertidas: 2; fallidas: 0."))) << boxes[1].toStdString();
  EXPECT_TRUE(State().Journal.Empty()) << FormatEntry(State().Journal.Entries().at(0));
  for (const auto& [path, jet] : {std::pair{Data("Vieja.mdb"), std::string("testV1997.mdb")},
                                  std::pair{Paths(home_.Path()).ModelPath("Modelo.mdb"),
                                            std::string("indexTestV2000.mdb")}}) {
    EXPECT_EQ(ReadBytes(path).substr(0, 15), "SQLite format 3") << path;
    EXPECT_EQ(RawQuery(path, "PRAGMA integrity_check").at(0).at(0), "ok") << path;
    const fs::path originals = fs::path(path).parent_path() / jet::kOriginalsFolder;
    ASSERT_TRUE(fs::is_directory(originals)) << path;
    const fs::path stamp = fs::directory_iterator(originals)->path();
    EXPECT_EQ(ReadBytes((stamp / fs::path(path).filename()).string()), ReadBytes(JetSample(jet))) << path;
  }
  // The lists show the same names, and the button goes: nothing is Jet now.
  EXPECT_EQ(State().List7.Items(), (std::vector<std::string>{"Clientes.mdb", "Modelo.mdb"}));
  EXPECT_EQ(State().List6.Items(), (std::vector<std::string>{"Vieja.mdb", "raiz.mdb"}));
  EXPECT_FALSE(Shown());
}

TEST_F(JetImportButtonTest, AFileThatFailsIsJournaledAndTheButtonStays) {
  SKIP_WITHOUT_JET_SAMPLES();
  const std::string whole = ReadBytes(JetSample("indexTestV2000.mdb"));
  WriteBytes(Data("Cortada.mdb"), whole.substr(0, 5000));
  Start();
  ASSERT_TRUE(Shown());
  auto boxes = Click(QMessageBox::Ok);
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_TRUE(boxes[1].contains(QStringLiteral("fallidas: 1"))) << boxes[1].toStdString();
  ASSERT_EQ(State().Journal.Entries().size(), 1u);
  const auto& entry = State().Journal.Entries()[0];
  EXPECT_EQ(entry.operation, "ImportJet");
  EXPECT_EQ(entry.old, Data("Cortada.mdb"));
  EXPECT_EQ(entry.number, err::kCannotOpen);
  EXPECT_EQ(ReadBytes(Data("Cortada.mdb")), whole.substr(0, 5000));
  EXPECT_FALSE(fs::exists(data_ / jet::kOriginalsFolder));
  EXPECT_TRUE(Shown());
}

TEST_F(JetImportButtonTest, DoesNothingDuringATransformation) {
  SKIP_WITHOUT_JET_SAMPLES();
  fs::copy_file(JetSample("testV1997.mdb"), Data("Vieja.mdb"));
  Start();
  ASSERT_TRUE(Shown());
  bool disabled_during_run = false;
  State().OnBusy([&](bool busy) {
    if (!busy) return;
    disabled_during_run = !Button()->isEnabled();
    // A disabled button takes no click; what it would run refuses too.
    static_cast<gui::JetImportButton*>(Button())->Press();
  });
  // Had the click asked, the question would be answered "Importar" here.
  AnswerConfirmation([&] { Main().PressButton(13); });
  EXPECT_TRUE(disabled_during_run);
  EXPECT_EQ(ReadBytes(Data("Vieja.mdb")), ReadBytes(JetSample("testV1997.mdb")));
  EXPECT_FALSE(fs::exists(data_ / jet::kOriginalsFolder));
}

}  // namespace
}  // namespace brenquil::test
