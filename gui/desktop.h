// The desktop program's start-up: its options, and the two windows over one
// window state. A Desktop owns the state and both windows; the state outlives
// the windows, which are bound to it.
#pragma once

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <QStringList>

#include "cli/transform_jobs.h"
#include "gui/actualiz_window.h"
#include "gui/inicial_window.h"
#include "shell/actualiz.h"
#include "shell/inicial.h"
#include "shell/paths.h"

class QWindow;

namespace brenquil::gui {

// The program's exit codes, for its --help and its manual page.
inline constexpr int kDesktopExitStartFailed = 1;
inline constexpr int kDesktopExitUsage = 2;
struct DesktopExitCode {
  int code;
  const char* meaning;
};
inline constexpr DesktopExitCode kDesktopExitCodes[] = {
    {0, "la ventana se cerró"},
    {kDesktopExitStartFailed,
     "el arranque falló: a la instalación le falta un catálogo, o no se pudo crear"},
    {kDesktopExitUsage, "opciones incorrectas"},
};

struct DesktopOptions {
  std::string home;  // --home; empty: StartDesktop chooses by ChooseHome (shell/paths.h)
  std::optional<std::string> data;  // the data folder to start in, instead of the default
  int jobs = DefaultJobs();  // --jobs: the workers a run shares its old databases among
  bool help = false;
};

// Reads "--home DIR", "--data DIR", "--jobs N" ("-j N") and "--help" from the
// arguments, program name first. Returns nullopt with `problem` set for
// anything else.
std::optional<DesktopOptions> ParseDesktopOptions(const QStringList& arguments, QString& problem);

// --help's text: DesktopOptionsUsage, where the installation is, the exit codes.
QString DesktopUsage();
// The usage line and the options, one a line.
QString DesktopOptionsUsage();

// "--help" and "--version" are answered on `out` before any window or Qt
// application exists, so they work in a terminal without a display: the exit
// code, or nullopt when the arguments (program name first) ask for neither.
std::optional<int> AnswerWithoutWindow(const std::vector<std::string>& arguments,
                                       std::ostream& out);

class Desktop {
 public:
  explicit Desktop(const DesktopOptions& options);
  ~Desktop();
  Desktop(const Desktop&) = delete;
  Desktop& operator=(const Desktop&) = delete;

  // Shows the start-up form and runs its activation, which shows the main
  // window and activates it. Throws when start-up fails (a catalogue is
  // missing); the caller then ends the program.
  void Start();

  Actualiz& State() { return state_; }
  Inicial& StartForm() { return inicial_; }
  ActualizWindow& Main() { return main_; }
  InicialWindow& First() { return first_; }

 private:
  // The start-up form runs its activation again when the operator comes to it
  // from the main window; coming back from another program runs nothing.
  void FocusMoved(QWindow* window);

  Actualiz state_;
  Inicial inicial_;
  ActualizWindow main_;
  InicialWindow first_;
  QWidget* last_active_ = nullptr;
};

// Builds and starts the desktop from the program's arguments. When it cannot
// (bad options, start-up failed) it shows why, sets `exit_code` and returns
// null (bad options are also written on the standard error); the error of a failed start-up is shown with its number and text.
// Without --home the installation is chosen by ChooseHome from `where`; an
// installation in the user's data folder is made when it has no catalogue
// yet (the first start), and a message says where.
std::unique_ptr<Desktop> StartDesktop(const QStringList& arguments, const HomeLookup& where,
                                      int& exit_code);
// The same, with the installation chosen from the running process.
std::unique_ptr<Desktop> StartDesktop(const QStringList& arguments, int& exit_code);

// StartDesktop, then the application's event loop; the program's exit code.
int RunDesktop();

}  // namespace brenquil::gui
