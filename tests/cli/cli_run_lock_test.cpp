// The command line refuses a transformation of an installation that another
// run holds: exit 2, the error on stderr, nothing touched.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>

#include "cli/cli.h"
#include "engine/error.h"
#include "shell/demo.h"
#include "shell/run_lock.h"
#include "tests/support/cli_run_fixture.h"
#include "tests/support/test_support.h"

namespace brenquil {
namespace {

namespace fs = std::filesystem;

using test::Cli;
using test::CliRun;

std::map<std::string, std::string> Snapshot(const std::string& dir) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(dir))
    if (entry.is_regular_file())
      files[entry.path().string()] = test::ReadBytes(entry.path().string());
  return files;
}

TEST(CliRunLock, ATransformOfAHeldInstallationExitsTwoAndTouchesNothing) {
  test::TempDir dir;
  ASSERT_EQ(Cli({"demo", dir.Path()}).code, kExitOk);
  const std::string home = DemoHome(dir.Path()), data = DemoData(dir.Path());
  const std::vector<std::string> transform = {"transform", "--home", home, "--data", data};
  auto before = Snapshot(data);
  {
    RunLock first(home);
    CliRun refused = Cli(transform);
    EXPECT_EQ(refused.code, kExitFailure);
    EXPECT_EQ(refused.err,
              "brenquil-cli: error 3045: " +
                  MakeError(err::kFileInUse, "la instalación '" + home +
                                                 "' está transformando sus bases en otra "
                                                 "ejecución; espere a que termine e "
                                                 "inténtelo de nuevo")
                      .Text() +
                  "\n");
    EXPECT_EQ(Snapshot(data), before);
  }
  // Released, the same command transforms.
  CliRun done = Cli(transform);
  EXPECT_NE(done.code, kExitFailure) << done.err;
  EXPECT_NE(Snapshot(data), before);
}

}  // namespace
}  // namespace brenquil
