// `brenquil-cli import` in-process: the report as text and as JSON, and the
// exit code that says whether everything arrived (0), something did not (1)
// or the file could not be read (2).
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/cli.h"
#include "tests/jet/jet_files.h"
#include "tests/support/cli_run_fixture.h"
#include "tests/support/test_support.h"

namespace brenquil {
namespace {

using test::JetFile;
using test::TempDir;

using test::Cli;
using test::CliRun;

TEST(CliImport, ExitCodeSaysWhetherEverythingArrived) {
  SKIP_WITHOUT_JET_FILES();
  TempDir dir;
  CliRun whole = Cli({"import", JetFile("indexTestV2000.mdb"), dir / "indices.db"});
  EXPECT_EQ(whole.code, kExitOk) << whole.out << whole.err;
  EXPECT_NE(whole.out.find("  Table1: 4 filas, 5 campos\n"), std::string::npos) << whole.out;
  EXPECT_NE(whole.out.find("Relaciones (2)\n"), std::string::npos) << whole.out;
  EXPECT_TRUE(whole.out.ends_with("Todo llegó.\n")) << whole.out;

  // The stored queries that do not arrive are named, each with its reason.
  CliRun partial = Cli({"import", JetFile("queryTestV2000.mdb"), dir / "consultas.db", "--json"});
  EXPECT_EQ(partial.code, kExitJournal) << partial.err;
  auto report = nlohmann::json::parse(partial.out);
  EXPECT_EQ(report["complete"], false);
  EXPECT_EQ(report["tables"].size(), 3u);
  ASSERT_FALSE(report["leftOut"].empty());
  for (const auto& item : report["leftOut"]) {
    EXPECT_EQ(item["kind"], "consulta") << item;
    EXPECT_FALSE(item["name"].get<std::string>().empty()) << item;
    EXPECT_FALSE(item["reason"].get<std::string>().empty()) << item;
  }

  test::WriteBytes(dir / "texto.mdb", "no soy una base\n");
  CliRun refused = Cli({"import", dir / "texto.mdb", dir / "texto.db"});
  EXPECT_EQ(refused.code, kExitFailure);
  EXPECT_NE(refused.err.find("error 3343"), std::string::npos) << refused.err;
  EXPECT_NE(refused.err.find("texto.mdb"), std::string::npos) << refused.err;
  EXPECT_EQ(refused.out, "");

  CliRun again = Cli({"import", JetFile("indexTestV2000.mdb"), dir / "indices.db"});
  EXPECT_EQ(again.code, kExitFailure);
  EXPECT_NE(again.err.find("error 3204"), std::string::npos) << again.err;
  EXPECT_EQ(Cli({"import", JetFile("indexTestV2000.mdb")}).code, kExitUsage);
}

}  // namespace
}  // namespace brenquil
