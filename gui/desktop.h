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

#include "gui/actualiz_window.h"
#include "gui/inicial_window.h"
#include "shell/actualiz.h"
#include "shell/inicial.h"

class QWindow;

namespace brenquil::gui {

struct DesktopOptions {
  std::string home;                 // the installation; the program's folder by default
  std::optional<std::string> data;  // the data folder to start in, instead of the default
  bool help = false;
};

// Reads "--home DIR", "--data DIR" and "--help" from the arguments, program
// name first. Returns nullopt with `problem` set for anything else.
std::optional<DesktopOptions> ParseDesktopOptions(const QStringList& arguments, QString& problem);

// The options' text for --help.
QString DesktopUsage();

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
// null; the error of a failed start-up is shown with its number and text.
std::unique_ptr<Desktop> StartDesktop(const QStringList& arguments, int& exit_code);

// StartDesktop, then the application's event loop; the program's exit code.
int RunDesktop();

}  // namespace brenquil::gui
