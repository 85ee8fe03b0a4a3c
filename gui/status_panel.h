// "Estado Transformación" at the bottom left of the main window: the six
// labelled bars of Frame13, the status line Label4 and, under it, the line
// that says where a run is or how it ended; then "Copia de seguridad" with
// its folder (checked, the installation's "copias" folder, at first), and the
// buttons that start a run ("Previsualizar", "Transformar"), stop it
// ("Detener", enabled only while a run goes on) and end the program
// ("Salir"). The check box and folder set the state's BackupFolder; owns
// only its widgets.
#pragma once

#include <functional>

#include <QGroupBox>
#include <QString>

#include "gui/panel_widgets.h"

class QCheckBox;
class QLabel;
class QLineEdit;

namespace brenquil {

class Actualiz;

namespace gui {

class StatusPanel : public QGroupBox {
 public:
  // `preview` runs when "Previsualizar" is clicked, `stop` when "Detener" is.
  StatusPanel(Actualiz& state, const Gate& gate, const ButtonMaker& make_button,
              std::function<void()> preview, std::function<void()> stop, QWidget* parent = nullptr);

  // The line under the status.
  void SetSummary(const QString& text);
  // "Copia de seguridad": checked, and its folder.
  bool Backup() const;
  QString BackupFolder() const;
  void SetBackup(bool checked, const QString& folder);
  // "Detener", which the window enables while a run goes on.
  QPushButton* StopButton() const { return stop_; }

 private:
  QWidget* BuildBars(const Gate& gate);
  void BuildBackup();
  QPushButton* BuildPreview(std::function<void()> preview);

  Actualiz& state_;
  QLabel* summary_ = nullptr;
  QCheckBox* backup_ = nullptr;
  QLineEdit* backup_folder_ = nullptr;
  QPushButton* stop_ = nullptr;
};

}  // namespace gui
}  // namespace brenquil
