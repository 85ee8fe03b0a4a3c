#include "package/manual_sections.h"

#include "shell/paths.h"

namespace brenquil::package {

std::string CommandLine(const std::vector<std::string>& command) {
  std::string line;
  for (const auto& word : command) {
    bool plain = !word.empty() && word.find_first_not_of(
                                      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                      "0123456789-_./=:,+@%") == std::string::npos;
    std::string quoted = "'";
    for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    line += (line.empty() ? "" : " ") + (plain ? word : quoted + "'");
  }
  return line;
}

void InstallationSection(ManualPage& page) {
  page.Section("INSTALACIÓN");
  page.Paragraph(HomeRuleText());
}

void ExitCodesSection(ManualPage& page, const std::vector<ExitCodeItem>& codes) {
  page.Section("CÓDIGOS DE SALIDA");
  for (const auto& item : codes) page.Item(Bold(std::to_string(item.code)), item.meaning);
}

void ExamplesSection(ManualPage& page, const std::vector<ManualExample>& examples) {
  page.Section("EJEMPLOS");
  for (const auto& example : examples) {
    page.Paragraph(example.what);
    std::string lines;
    for (const auto& command : example.commands) lines += CommandLine(command) + "\n";
    page.Example(lines);
  }
}

void SeeAlsoSection(ManualPage& page, const std::string& other_page) {
  page.Section("VÉASE TAMBIÉN");
  const auto open = other_page.find('(');
  page.Markup(Bold(other_page.substr(0, open)) + TroffText(other_page.substr(open)));
}

}  // namespace brenquil::package
