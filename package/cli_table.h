// The command line's subcommands and options read from its own parser, as
// plain data: what its manual page and its bash completion are made from.
#pragma once

#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace brenquil::package {

// One option or positional argument.
struct CliArgument {
  std::vector<std::string> names;  // "-q", "--quiet"; empty for a positional
  std::string value;               // "CARPETA", "ARCHIVO", a positional's name; empty: a flag
  std::string help;
  bool required = false;
  bool help_flag = false;  // -h, --help
};

struct CliCommand {
  std::string name;
  std::string help;
  std::vector<CliArgument> arguments;  // options first, then positionals, each in order
};

struct CliTable {
  std::string name;  // "brenquil-cli"
  std::string description;
  std::vector<CliArgument> options;  // before any subcommand: --help, --version
  std::vector<CliCommand> commands;
};

// Hidden options (no group) are left out.
CliTable ReadCliTable(const CLI::App& app);

// The parser of brenquil-cli itself, read.
CliTable BrenquilCliTable();

}  // namespace brenquil::package
