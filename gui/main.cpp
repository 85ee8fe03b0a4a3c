// brenquil: the desktop program. Options: --home DIR, --data DIR, --jobs N,
// --help, --version. Started as a worker of a shared run (gui/window_jobs.h)
// it works without a window.
#include <iostream>

#include <QApplication>

#include "gui/desktop.h"
#include "gui/window_jobs.h"

int main(int argc, char** argv) {
  if (auto worked = brenquil::gui::StartAsProgram({argv, argv + argc})) return *worked;
  if (auto answered = brenquil::gui::AnswerWithoutWindow({argv, argv + argc}, std::cout))
    return *answered;
  QApplication app(argc, argv);
  // Desktops match the window with the menu entry brenquil.desktop and its icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("brenquil"));
  return brenquil::gui::RunDesktop();
}
