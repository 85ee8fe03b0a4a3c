// The manual page brenquil-cli(1), in Spanish, made from the command line's
// table of subcommands and options (so it follows them), its exit codes and
// the installation rule; its examples are commands the tests run.
#pragma once

#include <string>
#include <vector>

#include "package/cli_table.h"
#include "package/manual_sections.h"

namespace brenquil::package {

// The examples, with the demonstration made in `demo_folder` ("/tmp/demo" in
// the page).
std::vector<ManualExample> CliManualExamples(const std::string& demo_folder);

std::string CliManualPage(const CliTable& table);

}  // namespace brenquil::package
