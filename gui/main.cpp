// brenquil: the desktop program. Options: --home DIR, --data DIR.
#include <QApplication>

#include "gui/desktop.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  return brenquil::gui::RunDesktop();
}
