// "Importar bases Jet", in the database selection's tool row: shown while a
// database of "Bases Modelo" or "Bases Viejas" is a genuine Jet file; a click
// asks first, then converts every Jet file of the installation's models and
// of the data folder (jet::ImportInstallation, the originals kept in
// jet-originales/), lists the folders again and journals what failed or did
// not arrive. Owns nothing but itself; the state must outlive it.
#pragma once

#include <functional>

#include <QPushButton>
#include <QString>

namespace brenquil {

class Actualiz;
class Error;

namespace gui {

class JetImportButton : public QPushButton {
 public:
  // `show_error` shows an error that stopped the import before any file;
  // `show_progress` the line under the status while it runs.
  JetImportButton(Actualiz& state, std::function<void(const Error&)> show_error,
                  std::function<void(const QString&)> show_progress, QWidget* parent = nullptr);

  // Shows the button exactly when a listed database is a Jet file. Called
  // soon after the lists change (outside an operation) by itself.
  void Refresh();
  // What a click does. Nothing while an operation runs; nothing when the
  // question is answered "Cancelar".
  void Press();

 private:
  void RefreshSoon();

  Actualiz& state_;
  std::function<void(const Error&)> show_error_;
  std::function<void(const QString&)> show_progress_;
  bool refresh_pending_ = false;
};

}  // namespace gui
}  // namespace brenquil
