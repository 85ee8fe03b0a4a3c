// The bash completion of a command line with subcommands, made from its table
// (cli_table.h): subcommand names, each subcommand's options, and folders or
// files where an option or a positional argument names one ("CARPETA",
// "HOME": folders; "ARCHIVO": files and folders).
#pragma once

#include <string>

#include "package/cli_table.h"

namespace brenquil::package {

// The script, to be sourced by bash; it defines the function
// _NAME (NAME with "-" as "_") and binds it with `complete` to the table's name.
std::string BashCompletion(const CliTable& table);

}  // namespace brenquil::package
