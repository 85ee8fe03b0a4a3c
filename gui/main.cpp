// brenquil: the desktop program. Options: --home DIR, --data DIR, --help, --version.
#include <iostream>

#include <QApplication>

#include "gui/desktop.h"

int main(int argc, char** argv) {
  if (auto answered = brenquil::gui::AnswerWithoutWindow({argv, argv + argc}, std::cout))
    return *answered;
  QApplication app(argc, argv);
  // Desktops match the window with the menu entry brenquil.desktop and its icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("brenquil"));
  return brenquil::gui::RunDesktop();
}
