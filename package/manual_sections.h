// What both manual pages share: the installation rule, the exit codes, the
// examples and the cross-reference, written into a page the same way.
#pragma once

#include <string>
#include <vector>

#include "package/troff.h"

namespace brenquil::package {

struct ExitCodeItem {
  int code;
  std::string meaning;
};

// Commands shown one a line after a sentence that says what they do.
struct ManualExample {
  std::string what;
  std::vector<std::vector<std::string>> commands;  // program name first
};

// A command as typed in a shell: arguments quoted where a shell would split them.
std::string CommandLine(const std::vector<std::string>& command);

void InstallationSection(ManualPage& page);  // INSTALACIÓN, from HomeRuleText
void ExitCodesSection(ManualPage& page, const std::vector<ExitCodeItem>& codes);
void ExamplesSection(ManualPage& page, const std::vector<ManualExample>& examples);
void SeeAlsoSection(ManualPage& page, const std::string& other_page);  // "brenquil-cli(1)"

}  // namespace brenquil::package
