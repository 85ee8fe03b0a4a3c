#include "package/cli_table.h"

#include <CLI/CLI.hpp>

#include "cli/cli.h"

namespace brenquil::package {

namespace {

std::vector<CliArgument> Arguments(const CLI::App& app) {
  std::vector<CliArgument> options, positionals;
  for (const CLI::Option* option : app.get_options()) {
    if (option->get_group().empty()) continue;
    CliArgument argument;
    argument.help = option->get_description();
    argument.required = option->get_required();
    argument.help_flag = option == app.get_help_ptr();
    if (option->get_positional() && option->get_lnames().empty() && option->get_snames().empty()) {
      argument.value = option->get_name(true);
      positionals.push_back(argument);
      continue;
    }
    for (const auto& name : option->get_snames()) argument.names.push_back("-" + name);
    for (const auto& name : option->get_lnames()) argument.names.push_back("--" + name);
    if (option->get_items_expected_min() > 0) argument.value = option->get_type_name();
    options.push_back(argument);
  }
  options.insert(options.end(), positionals.begin(), positionals.end());
  return options;
}

}  // namespace

CliTable ReadCliTable(const CLI::App& app) {
  CliTable table;
  table.name = app.get_name();
  table.description = app.get_description();
  table.options = Arguments(app);
  for (const CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; }))
    table.commands.push_back({sub->get_name(), sub->get_description(), Arguments(*sub)});
  return table;
}

CliTable BrenquilCliTable() {
  CliTable table;
  DescribeCli([&table](const CLI::App& app) { table = ReadCliTable(app); });
  return table;
}

}  // namespace brenquil::package
