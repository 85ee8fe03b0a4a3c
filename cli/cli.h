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

// Exit codes: 0 done; 1 a transformation ended with errors in its journal
// (a plan: something would be refused), or an import left something out; 2 an
// error ended the subcommand (start-up failure, unreadable file); 3 a plan
// found changes to make and nothing refused; 64 the arguments are wrong; 130
// and 143 a transformation stopped by SIGINT or SIGTERM after the database in
// hand, its report written.
inline constexpr int kExitOk = 0;
inline constexpr int kExitJournal = 1;
inline constexpr int kExitFailure = 2;
inline constexpr int kExitPending = 3;
inline constexpr int kExitUsage = 64;
inline constexpr int kExitInterrupted = 130;  // 128 + SIGINT
inline constexpr int kExitTerminated = 143;   // 128 + SIGTERM

struct ExitCodeMeaning {
  int code;
  const char* meaning;
};
inline constexpr ExitCodeMeaning kExitCodes[] = {
    {kExitOk, "hecho"},
    {kExitJournal, "la transformación terminó con errores en su diario (con --plan: algo se rechazaría), o la importación dejó algo sin importar"},
    {kExitFailure, "un error terminó la orden"},
    {kExitPending, "con --plan, hay cambios por hacer y nada se rechazaría"},
    {kExitUsage, "argumentos incorrectos"},
    {kExitInterrupted, "transformación detenida por SIGINT, con su informe escrito"},
    {kExitTerminated, "transformación detenida por SIGTERM, con su informe escrito"},
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
