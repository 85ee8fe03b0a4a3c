// One transformation at a time per installation: a second run is refused at
// once and the first goes on; a run that ended, however, blocks nothing.
#include "shell/run_lock.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <optional>

#include "engine/error.h"
#include "tests/support/installation_fixture.h"

namespace brenquil::test {
namespace {

namespace fs = std::filesystem;

class RunLockTest : public ::testing::Test, public InstallationFixture {
 protected:
  std::string Refusal() const {
    return MakeError(err::kFileInUse, "la instalación '" + Home() +
                                          "' está transformando sus bases en otra ejecución; "
                                          "espere a que termine e inténtelo de nuevo")
        .Text();
  }
};

TEST_F(RunLockTest, ASecondTransformationIsRefusedWhileTheFirstRuns) {
  Model("Nueva.mdb", {{"N", {{"n", dbLong}}}});
  Model("Par.mdb", {{"P", {{"a", dbLong}, {"b", dbLong}}}});
  Old("Par.mdb", {{"P", {{"a", dbLong}}}});
  auto& first = Window();
  first.Form_Activate();
  Actualiz second(Paths(Home()), Data());
  second.Form_Activate();

  // The second button is pressed while the first run is adding databases.
  std::optional<Error> refused;
  bool pressed = false;
  first.Label4.Subscribe([&] {
    if (pressed || first.Label4.Caption() != "Añadiendo bases de datos nuevas") return;
    pressed = true;
    refused = second.Press(13);
  });
  EXPECT_FALSE(first.Press(13).has_value());

  ASSERT_TRUE(pressed);
  ASSERT_TRUE(refused.has_value());
  EXPECT_EQ(refused->Number(), err::kFileInUse);
  EXPECT_EQ(refused->Text(), Refusal());
  ASSERT_EQ(second.Journal.Entries().size(), 1u);
  EXPECT_EQ(second.Journal.Entries()[0].number, err::kFileInUse);
  // The refusal is the run's, not a database's: the boxes still show the
  // window's first texts, which name no file of this installation.
  EXPECT_EQ(second.Journal.Entries()[0].old, "");
  EXPECT_EQ(second.Journal.Entries()[0].model, "");
  // The refused run touched nothing of its window.
  EXPECT_EQ(second.Label4.Caption(), "");
  EXPECT_EQ(second.Bar1.Value(), 0);
  EXPECT_EQ(second.MousePointer(), kPointerDefault);

  // The first went on to its end.
  EXPECT_TRUE(first.Journal.Empty()) << FormatEntry(first.Journal.Entries().at(0));
  EXPECT_EQ(first.Label4.Caption(), "Proceso Terminado");
  EXPECT_EQ(RawColumns(OldPath("Par.mdb"), "P"), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(first.Report.NewDatabases(), (std::vector<std::string>{OldPath("Nueva.mdb")}));
  EXPECT_EQ(RawQuery(OldPath("Nueva.mdb"), "PRAGMA integrity_check"),
            (std::vector<std::vector<std::string>>{{"ok"}}));

  // Once it has ended, a new run works (on the data folder listed anew).
  second.Journal.Clear();
  second.Dir1.SetPath(Data());
  EXPECT_FALSE(second.Press(13).has_value());
  EXPECT_TRUE(second.Journal.Empty()) << FormatEntry(second.Journal.Entries().at(0));
  EXPECT_EQ(second.Label4.Caption(), "Proceso Terminado");
}

TEST_F(RunLockTest, AnotherProcessHoldingTheInstallationRefusesAtOnceAndItsDeathFreesIt) {
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The other run: takes the installation and never lets go by itself.
    try {
      RunLock held(Home());
      char byte = 'x';
      if (::write(ready[1], &byte, 1) != 1) ::_exit(1);
      ::pause();
    } catch (...) {
    }
    ::_exit(1);
  }
  ::close(ready[1]);
  char byte = 0;
  ASSERT_EQ(::read(ready[0], &byte, 1), 1);
  ::close(ready[0]);

  try {
    RunLock refused(Home());
    ADD_FAILURE() << "a run held by another process was not refused";
  } catch (const Error& error) {
    EXPECT_EQ(error.Number(), err::kFileInUse);
    EXPECT_EQ(error.Text(), Refusal());
  }
  Window().Form_Activate();
  EXPECT_EQ(Window().Press(13)->Number(), err::kFileInUse);
  EXPECT_NE(Window().Label4.Caption(), "Proceso Terminado");

  // A run killed midway leaves the lock file but no lock.
  ::kill(child, SIGKILL);
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(fs::exists(RunLock::LockFile(Home())));
  EXPECT_EQ(NumberOf([&] { RunLock again(Home()); }), 0);
  Window().Journal.Clear();
  EXPECT_FALSE(Window().Press(13).has_value());
  EXPECT_EQ(Window().Label4.Caption(), "Proceso Terminado");
}

}  // namespace
}  // namespace brenquil::test
