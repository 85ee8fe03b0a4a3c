// The installed window without --home: its first start makes the installation
// in the user's data folder and says where; later starts, and an installation
// named by the operator, are used as they are.
#include <gtest/gtest.h>

#include <filesystem>

#include "gui/desktop.h"
#include "shell/installation.h"
#include "shell/paths.h"
#include "tests/gui/qt_support.h"
#include "tests/support/test_support.h"

namespace brenquil::test {
namespace {

namespace fs = std::filesystem;

class FirstStartTest : public ::testing::Test {
 protected:
  FirstStartTest() { App(); }

  // The window as installed in /usr/bin, for a user whose data folder is xdg_.
  HomeLookup Installed() const {
    return {"", "", "/usr/bin", "/nonexistent/build", xdg_.Path(), "/nonexistent/home"};
  }

  struct Started {
    std::unique_ptr<gui::Desktop> desktop;
    int code = -1;
    std::vector<SeenBox> boxes;
  };
  Started Start(const QStringList& arguments, const HomeLookup& where) {
    Started started;
    started.boxes =
        AnswerBoxes([&] { started.desktop = gui::StartDesktop(arguments, where, started.code); });
    return started;
  }

  QStringList Arguments() const {
    return {"brenquil", "--data", QString::fromStdString(data_.Path())};
  }

  TempDir xdg_;
  TempDir data_;
};

TEST_F(FirstStartTest, MakesTheInstallationInTheUserDataFolderOnceAndSaysWhere) {
  const std::string home = xdg_ / "brenquil";
  Started first = Start(Arguments(), Installed());
  ASSERT_NE(first.desktop, nullptr);
  EXPECT_EQ(first.code, 0);
  EXPECT_EQ(first.desktop->State().Installation().Home(), home);
  EXPECT_FALSE(InstallationAbsent(home));
  EXPECT_TRUE(fs::is_regular_file(Paths(home).SampleDatabase()));
  ASSERT_EQ(first.boxes.size(), 1u);
  EXPECT_TRUE(first.boxes[0].text.contains(QString::fromStdString(home)))
      << first.boxes[0].text.toStdString();
  first.desktop.reset();

  // A model the operator put there stays; nothing is said the second time.
  test::WriteBytes(Paths(home).ModelPath("Clientes.mdb"), "");
  const auto before = FolderContents(home);
  Started second = Start(Arguments(), Installed());
  ASSERT_NE(second.desktop, nullptr);
  EXPECT_TRUE(second.boxes.empty()) << second.boxes[0].text.toStdString();
  second.desktop.reset();
  EXPECT_TRUE(FolderContents(home) == before) << "the second start changed the installation";
}

TEST_F(FirstStartTest, ADamagedInstallationOrOneNamedByTheOperatorIsNotMade) {
  const std::string home = xdg_ / "brenquil";
  SetupInstallation(home);
  fs::remove(Paths(home).RelationCatalog());
  TempDir named;
  HomeLookup from_environment = Installed();
  from_environment.environment = named.Path();
  struct Case {
    const char* what;
    QStringList arguments;
    HomeLookup where;
    std::string missing;  // the catalogue the error names
  };
  const Case cases[] = {
      {"damaged", Arguments(), Installed(), Paths(home).RelationCatalog()},
      {"--home", Arguments() << "--home" << QString::fromStdString(named.Path()), Installed(),
       Paths(named.Path()).QueryCatalog()},
      {"BRENQUIL_HOME", Arguments(), from_environment, Paths(named.Path()).QueryCatalog()},
  };
  for (const auto& c : cases) {
    Started started = Start(c.arguments, c.where);
    EXPECT_EQ(started.desktop, nullptr) << c.what;
    EXPECT_EQ(started.code, gui::kDesktopExitStartFailed) << c.what;
    ASSERT_EQ(started.boxes.size(), 1u) << c.what;
    EXPECT_TRUE(
        started.boxes[0].text.contains(QString::fromStdString(fs::path(c.missing).filename())))
        << c.what << ": " << started.boxes[0].text.toStdString();
  }
  EXPECT_TRUE(fs::is_empty(named.Path())) << "an installation was made where the operator said";
  EXPECT_FALSE(fs::exists(Paths(home).RelationCatalog())) << "the damaged installation was remade";
}

TEST(DesktopHelp, TellsTheRuleAndTheExitCodes) {
  const std::string help = gui::DesktopUsage().toStdString();
  EXPECT_NE(help.find(HomeRuleText()), std::string::npos) << help;
  for (const auto& exit : gui::kDesktopExitCodes)
    EXPECT_NE(help.find("  " + std::to_string(exit.code) + "  " + exit.meaning), std::string::npos)
        << help;
  for (const auto& line : {"--home CARPETA", "--data CARPETA", "--help", "--version"})
    EXPECT_NE(help.find(line), std::string::npos) << line;
}

}  // namespace
}  // namespace brenquil::test
