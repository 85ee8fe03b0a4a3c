// The manual pages as a reader sees them (rendered by groff): every
// subcommand, option, exit code and the installation rule shown, no text lost
// to troff's markup, and examples that run.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli.h"
#include "package/cli_manual.h"
#include "package/cli_table.h"
#include "package/troff.h"
#include "shell/paths.h"
#include "tests/package/package_support.h"
#include "tests/support/test_support.h"
#ifdef BRENQUIL_DESKTOP_MANUAL
#include "gui/bindings.h"
#include "gui/desktop.h"
#include "package/desktop_manual.h"
#endif

namespace brenquil::test {
namespace {

using package::CliArgument;
using package::CliCommand;
using package::CliTable;

struct Rendered {
  std::string text;      // blanks collapsed
  std::string warnings;  // what groff said on its standard error
};

// The page through groff as man shows it, on lines too wide to break a text.
Rendered Render(const std::string& page) {
  TempDir dir;
  WriteBytes(dir / "page.1", page);
  const std::string groff = "groff -k -man -Tutf8 -ww -rLL=2000n -P-cbou ";
  auto shown = RunCommand(groff + ShellQuoted(dir / "page.1") + " 2>" + ShellQuoted(dir / "warn"));
  EXPECT_EQ(shown.status, 0);
  return {Collapsed(shown.output), ReadBytes(dir / "warn")};
}

bool HaveGroff() { return RunCommand("command -v groff >/dev/null").status == 0; }

void ExpectShown(const Rendered& page, const std::string& text, const std::string& what) {
  EXPECT_NE(page.text.find(Collapsed(text)), std::string::npos)
      << what << ": \"" << Collapsed(text) << "\" not shown in:\n"
      << page.text;
}

TEST(ManualPage, TextThatTroffWouldReadAsMarkupPrintsAsWritten) {
  if (!HaveGroff()) GTEST_SKIP() << "groff is not installed";
  const std::vector<std::string> texts = {
      ".SH no es una sección",
      "'comilla al principio y \"dobles\" y `graves`",
      "barra \\fB invertida \\\\ doble y \\- guion",
      "opciones --home y -q, fecha AAAAMMDD-HHMMSS",
      "línea\n.br\npartida y\n'otra",
  };
  CliTable table{"prueba-cli", texts[0], {}, {}};
  CliCommand command{"orden", texts[1], {}};
  for (size_t i = 2; i < texts.size(); ++i)
    command.arguments.push_back(
        {{"--opcion" + std::to_string(i)}, "CARPETA", texts[i], false, false});
  command.arguments.push_back({{}, "ARCHIVO", texts[1], true, false});
  table.commands.push_back(command);

  Rendered page = Render(package::CliManualPage(table));
  EXPECT_EQ(page.warnings, "");
  for (const auto& text : texts) ExpectShown(page, text, "help text");
  ExpectShown(
      page, "prueba-cli orden [--opcion2 CARPETA] [--opcion3 CARPETA] [--opcion4 CARPETA] ARCHIVO",
      "synopsis");
}

TEST(CliManual, ShowsEverySubcommandOptionExitCodeAndTheRule) {
  if (!HaveGroff()) GTEST_SKIP() << "groff is not installed";
  const CliTable table = package::BrenquilCliTable();
  ASSERT_FALSE(table.commands.empty());
  Rendered page = Render(package::CliManualPage(table));
  EXPECT_EQ(page.warnings, "");
  ExpectShown(page, "BRENQUIL-CLI(1)", "title");
  ExpectShown(page, std::string("brenquil ") + BRENQUIL_VERSION, "version");
  for (const auto& option : table.options) ExpectShown(page, option.help, option.names.back());
  for (const auto& command : table.commands) {
    ExpectShown(page, command.help, command.name);
    for (const auto& argument : command.arguments) {
      if (argument.help_flag) continue;
      std::string shown;
      for (const auto& name : argument.names) shown += (shown.empty() ? "" : ", ") + name;
      shown += (shown.empty() ? "" : " ") + argument.value + " " + argument.help;
      ExpectShown(page, shown, command.name);
    }
  }
  ExpectShown(page, HomeRuleText(), "installation rule");
  for (const auto& exit : kExitCodes)
    ExpectShown(page, std::to_string(exit.code) + " " + exit.meaning, "exit code");
}

// The page shows the examples made with "/tmp/demo"; their brenquil-cli
// commands run, made with a demonstration folder of the test's.
void ExpectExamplesShownAndRun(const std::vector<package::ManualExample>& shown,
                               const std::vector<package::ManualExample>& run,
                               const std::string& page) {
  for (const auto& example : shown)
    for (const auto& command : example.commands)
      EXPECT_NE(page.find(package::TroffText(package::CommandLine(command))), std::string::npos)
          << package::CommandLine(command);
  for (const auto& example : run)
    for (const auto& command : example.commands) {
      if (command.front() != "brenquil-cli") continue;
      std::ostringstream out, err;
      int code = RunCli(std::vector<std::string>(command.begin() + 1, command.end()), out, err);
      EXPECT_EQ(code, kExitOk) << package::CommandLine(command) << "\n" << err.str();
    }
}

TEST(CliManual, ExamplesRunAsShown) {
  TempDir dir;
  ExpectExamplesShownAndRun(package::CliManualExamples("/tmp/demo"),
                            package::CliManualExamples(dir / "demo"),
                            package::CliManualPage(package::BrenquilCliTable()));
}

#ifdef BRENQUIL_DESKTOP_MANUAL
TEST(DesktopManual, ShowsEveryOptionExitCodeAndTheRuleAndItsExamplesRun) {
  if (!HaveGroff()) GTEST_SKIP() << "groff is not installed";
  const std::string source = package::DesktopManualPage();
  Rendered page = Render(source);
  EXPECT_EQ(page.warnings, "");
  ExpectShown(page, "BRENQUIL(1)", "title");
  std::istringstream usage(gui::DesktopOptionsUsage().toStdString());
  std::string line;
  std::getline(usage, line);  // "Uso: brenquil ...", the synopsis
  ExpectShown(page, "SINOPSIS " + line.substr(line.find("brenquil")), "synopsis");
  while (std::getline(usage, line)) ExpectShown(page, line, "option");
  ExpectShown(page, HomeRuleText(), "installation rule");
  for (const auto& exit : gui::kDesktopExitCodes)
    ExpectShown(page, std::to_string(exit.code) + " " + exit.meaning, "exit code");

  TempDir dir;
  const auto examples = package::DesktopManualExamples(dir / "demo");
  ExpectExamplesShownAndRun(package::DesktopManualExamples("/tmp/demo"), examples, source);
  for (const auto& example : examples)
    for (const auto& command : example.commands) {
      if (command.front() != "brenquil") continue;
      QStringList arguments;
      for (const auto& word : command) arguments << gui::ToQt(word);
      QString problem;
      EXPECT_TRUE(gui::ParseDesktopOptions(arguments, problem)) << problem.toStdString();
    }
}
#endif

}  // namespace
}  // namespace brenquil::test
