// The command line's core: parses the arguments, runs one subcommand over
// the same window state the desktop window uses, and writes to the given
// streams only. main() and the tests both call it.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace brenquil {

// Exit codes: 0 done; 1 a transformation ended with errors in its journal, or
// an import left something out; 2 an error ended the subcommand (start-up
// failure, unreadable file);
// 64 the arguments are wrong.
inline constexpr int kExitOk = 0;
inline constexpr int kExitJournal = 1;
inline constexpr int kExitFailure = 2;
inline constexpr int kExitUsage = 64;

struct ExitCodeMeaning {
  int code;
  const char* meaning;
};
inline constexpr ExitCodeMeaning kExitCodes[] = {
    {kExitOk, "hecho"},
    {kExitJournal, "la transformación terminó con errores en su diario, o la importación dejó algo sin importar"},
    {kExitFailure, "un error terminó la orden"},
    {kExitUsage, "argumentos incorrectos"},
};

// `args` without the program's name. Results go to `out`; errors, the
// journal and the progress to `err`. Progress is drawn as bars only when `err`
// is the process's standard error and that is a terminal.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// Calls `visit` with the parser RunCli uses, every subcommand and option with
// its help, and parses nothing: the manual page and the shell completion are
// made from it.
void DescribeCli(const std::function<void(const CLI::App&)>& visit);

}  // namespace brenquil
