// The bash completion of brenquil-cli, sourced into bash and asked as bash
// asks it: subcommands, each subcommand's options from the parser's table,
// folders or files for the arguments that name them, names with blanks.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "package/bash_completion.h"
#include "package/cli_table.h"
#include "tests/package/package_support.h"
#include "tests/support/test_support.h"

namespace brenquil::test {
namespace {

namespace fs = std::filesystem;

class CompletionTest : public ::testing::Test {
 protected:
  CompletionTest() : table_(package::BrenquilCliTable()) {
    WriteBytes(dir_ / "brenquil-cli.bash", package::BashCompletion(table_));
    fs::create_directories(dir_ / "trabajo/datos");
    fs::create_directories(dir_ / "trabajo/una carpeta");
    WriteBytes(dir_ / "trabajo/base.mdb", "");
  }

  // What bash offers for the command line `words`, the last one being
  // completed, run in the folder "trabajo" (sorted).
  std::vector<std::string> Offered(const std::vector<std::string>& words) {
    std::string array;
    for (const auto& word : words) array += " " + ShellQuoted(word);
    const std::string script = "cd " + ShellQuoted(dir_ / "trabajo") + " && source " +
                               ShellQuoted(dir_ / "brenquil-cli.bash") + " && COMP_WORDS=(" +
                               array + ") && COMP_CWORD=" + std::to_string(words.size() - 1) +
                               " && _brenquil_cli && printf '%s\\n' \"${COMPREPLY[@]}\"";
    auto run = RunCommand("bash -c " + ShellQuoted(script) + " 2>&1");
    EXPECT_EQ(run.status, 0) << run.output;
    std::vector<std::string> offered;
    std::istringstream lines(run.output);
    for (std::string line; std::getline(lines, line);)
      if (!line.empty()) offered.push_back(line);
    std::sort(offered.begin(), offered.end());
    return offered;
  }

  TempDir dir_;
  package::CliTable table_;
};

using Words = std::vector<std::string>;

TEST_F(CompletionTest, OffersTheSubcommandsAndEachOnesOptions) {
  Words commands;
  for (const auto& command : table_.commands) commands.push_back(command.name);
  std::sort(commands.begin(), commands.end());
  EXPECT_EQ(Offered({"brenquil-cli", ""}), commands);
  EXPECT_EQ(Offered({"brenquil-cli", "tr"}), Words{"transform"});
  EXPECT_EQ(Offered({"brenquil-cli", "--ver"}), Words{"--version"});

  for (const auto& command : table_.commands) {
    Words options;
    for (const auto& argument : command.arguments)
      for (const auto& name : argument.names)
        if (name.starts_with("--")) options.push_back(name);
    std::sort(options.begin(), options.end());
    EXPECT_EQ(Offered({"brenquil-cli", command.name, "--"}), options) << command.name;
  }
}

TEST_F(CompletionTest, OffersFoldersOrFilesWhereAnArgumentNamesOne) {
  const Words folders{"datos", "una carpeta"};
  const Words files{"base.mdb", "datos", "una carpeta"};
  struct Case {
    Words words;
    Words offered;
  };
  const Case cases[] = {
      {{"brenquil-cli", "transform", "--home", ""}, folders},
      {{"brenquil-cli", "transform", "--data", "un"}, {"una carpeta"}},
      {{"brenquil-cli", "transform", "--backup", "=", ""}, folders},  // --backup=
      {{"brenquil-cli", "transform", "--json", ""}, files},
      {{"brenquil-cli", "setup", ""}, folders},
      {{"brenquil-cli", "demo", "d"}, {"datos"}},
      {{"brenquil-cli", "schema", "--json", ""}, files},
      {{"brenquil-cli", "schema", "b"}, {"base.mdb"}},
      // Once the argument is given, or where there is none, the options.
      {{"brenquil-cli", "setup", "datos", ""}, {"--help", "--home", "-h"}},
      {{"brenquil-cli", "transform", "--data", "datos", "--pl"}, {"--plan"}},
      {{"brenquil-cli", "transform", "--home", "datos", "-"},
       {"--backup", "--data", "--help", "--home", "--jobs", "--json", "--plan", "--quiet", "-h", "-j", "-q"}},
  };
  for (const auto& c : cases) {
    std::string shown;
    for (const auto& word : c.words) shown += "[" + word + "]";
    EXPECT_EQ(Offered(c.words), c.offered) << shown;
  }
}

}  // namespace
}  // namespace brenquil::test
