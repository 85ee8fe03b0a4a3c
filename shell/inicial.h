// Inicial is the start-up form's state: a hidden list of the model names and
// a picture. Its activation lists the models, makes the catalogues and the
// models writable, and asks the front end to show the main window.
#pragma once

#include <functional>
#include <string>

#include "shell/actualiz.h"
#include "shell/controls.h"

namespace brenquil {

class Inicial {
 public:
  explicit Inicial(Actualiz& main);
  static constexpr const char* kCaption = "Actualiza Bases de Datos";
  static constexpr int kImageWidth = 249;
  static constexpr int kImageHeight = 78;

  ListBox List1;  // hidden
  // Set by the front end: shows the main window, which activates it.
  std::function<void()> ShowMain;
  // False for a start-up that must change no file (the command line's plan):
  // the activation then only checks that the catalogues are there.
  bool ResetsAttributes = true;

  // Throws when a catalogue is missing or a model's attributes cannot be
  // reset; the main window is then not shown.
  void Form_Activate();

 private:
  Actualiz& main_;
};

}  // namespace brenquil
