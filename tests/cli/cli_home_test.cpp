// The command line without an installation folder: setup and transform use
// the installation the home rule names, and the help says the rule.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "cli/cli.h"
#include "shell/demo.h"
#include "shell/paths.h"
#include "tests/support/test_support.h"

namespace brenquil {
namespace {

namespace fs = std::filesystem;
using test::ScopedEnvironment;
using test::TempDir;

struct CliResult {
  int code;
  std::string out;
  std::string err;
};

CliResult Cli(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  int code = RunCli(args, out, err);
  return {code, out.str(), err.str()};
}

TEST(CliHome, SetupAndTransformWithoutAFolderUseTheInstallationOfBrenquilHome) {
  TempDir dir;
  const std::string home = dir / "instalación de prueba";
  ScopedEnvironment env("BRENQUIL_HOME", home);

  CliResult setup = Cli({"setup"});
  ASSERT_EQ(setup.code, kExitOk) << setup.err;
  Paths paths(home);
  for (const auto& made : {paths.IndexCatalog(), paths.RelationCatalog(), paths.QueryCatalog(),
                           paths.SampleDatabase(), paths.ModelsFolder()}) {
    EXPECT_TRUE(fs::exists(made)) << made;
    EXPECT_NE(setup.out.find("creado " + made), std::string::npos) << setup.out;
  }

  // The demo's models put in that installation are transformed from there.
  MakeDemo(dir / "demo");
  for (const auto& model : fs::directory_iterator(DemoHome(dir / "demo") + "/modelos"))
    fs::copy_file(model.path(), paths.ModelPath(model.path().filename().string()));
  CliResult transform = Cli({"transform", "--quiet", "--data", DemoData(dir / "demo")});
  EXPECT_EQ(transform.code, kExitOk) << transform.err;
}

TEST(CliHome, TransformWithoutAnInstallationSaysHowToMakeIt) {
  TempDir dir;
  const std::string home = dir / "vacía";
  ScopedEnvironment env("BRENQUIL_HOME", home);
  CliResult run = Cli({"transform", "--data", dir.Path()});
  EXPECT_EQ(run.code, kExitFailure);
  EXPECT_NE(run.err.find("brenquil-cli setup '" + home + "'"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(home)) << "transform made the installation itself";
}

// Every help tells the rule; the program's own help tells every exit code
// (each subcommand's help tells its own).
TEST(CliHome, EveryHelpTellsTheRuleAndTheProgramsHelpEveryExitCode) {
  for (const std::vector<std::string>& args : {std::vector<std::string>{"--help"},
                                               {"setup", "--help"},
                                               {"transform", "--help"},
                                               {"import", "--help"}}) {
    CliResult run = Cli(args);
    EXPECT_EQ(run.code, kExitOk);
    EXPECT_NE(run.out.find(HomeRuleText()), std::string::npos) << args[0] << ":\n" << run.out;
  }
  // The help is wrapped to the terminal: read it as one line.
  CliResult run = Cli({"--help"});
  std::string flat = run.out;
  std::replace(flat.begin(), flat.end(), '\n', ' ');
  for (const auto& exit : kExitCodes)
    EXPECT_NE(flat.find(std::to_string(exit.code) + " " + exit.meaning), std::string::npos)
        << "--help lacks exit code " << exit.code << ":\n" << run.out;
}

}  // namespace
}  // namespace brenquil
