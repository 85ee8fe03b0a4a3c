#include "package/cli_manual.h"

#include "cli/cli.h"
#include "shell/demo.h"

namespace brenquil::package {

namespace {

std::string ArgumentTag(const CliArgument& argument) {
  if (argument.names.empty()) return Italic(argument.value);
  std::string tag;
  for (const auto& name : argument.names) tag += (tag.empty() ? "" : ", ") + Bold(name);
  if (!argument.value.empty()) tag += " " + Italic(argument.value);
  return tag;
}

// "transform [--home CARPETA] [--plan]": the subcommand as the synopsis shows it.
std::string CommandSynopsis(const std::string& program, const CliCommand& command) {
  std::string line = Bold(program) + " " + Bold(command.name);
  for (const auto& argument : command.arguments) {
    if (argument.help_flag) continue;
    std::string shown = argument.names.empty()
                            ? Italic(argument.value)
                            : Bold(argument.names.back()) +
                                  (argument.value.empty() ? "" : " " + Italic(argument.value));
    line += " " + (argument.required ? shown : "[" + shown + "]");
  }
  return line;
}

}  // namespace

std::vector<ManualExample> CliManualExamples(const std::string& demo_folder) {
  const std::string home = DemoHome(demo_folder), data = DemoData(demo_folder);
  return {
      {"Crea una demostración en " + demo_folder +
           ", la transforma y muestra cómo ha quedado una de sus bases viejas:",
       {{"brenquil-cli", "demo", demo_folder},
        {"brenquil-cli", "transform", "--home", home, "--data", data},
        {"brenquil-cli", "schema", data + "/" + DemoOldNames().front()}}},
      {"Dice lo que cambiaría otra transformación de la misma carpeta, sin cambiar nada, "
       "con el informe en JSON:",
       {{"brenquil-cli", "transform", "--plan", "--json", "-", "--home", home, "--data", data}}},
  };
}

std::string CliManualPage(const CliTable& table) {
  ManualPage page(table.name, "1", std::string("brenquil ") + BRENQUIL_VERSION);
  page.Section("NOMBRE");
  page.Markup(TroffText(table.name) +
              " \\- pone las bases de datos viejas al día con sus bases modelo, sin ventana");

  page.Section("SINOPSIS");
  for (const auto& command : table.commands) {
    page.Markup(CommandSynopsis(table.name, command));
    page.LineBreak();
  }
  std::string options;
  for (const auto& option : table.options)
    if (!option.names.empty())
      options += (options.empty() ? "" : " | ") + Bold(option.names.back());
  if (!options.empty()) page.Markup(Bold(table.name) + " " + options);

  page.Section("DESCRIPCIÓN");
  page.Paragraph(table.description);
  const std::string help = "«" + table.name + " ORDEN --help»";
  page.Paragraph(
      "Hace lo mismo que la ventana brenquil, sobre las mismas instalaciones, y escribe en la "
      "salida estándar y en la de errores. Cada orden explica sus opciones con " +
      help + ".");

  page.Section("OPCIONES");
  for (const auto& option : table.options) page.Item(ArgumentTag(option), option.help);

  page.Section("ÓRDENES");
  for (const auto& command : table.commands) {
    page.Subsection(command.name);
    page.Paragraph(command.help);
    for (const auto& argument : command.arguments)
      if (!argument.help_flag) page.Item(ArgumentTag(argument), argument.help);
  }

  InstallationSection(page);
  std::vector<ExitCodeItem> codes;
  for (const auto& exit : kExitCodes) codes.push_back({exit.code, exit.meaning});
  ExitCodesSection(page, codes);
  ExamplesSection(page, CliManualExamples("/tmp/demo"));
  SeeAlsoSection(page, "brenquil(1)");
  return page.Text();
}

}  // namespace brenquil::package
