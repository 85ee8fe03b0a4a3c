// "Estado Transformación" at the bottom left of the main window: the six
// labelled bars of Frame13, the status line Label4 and, under it, the line
// that says where a run is or how it ended; then "Copia de seguridad" with
// its folder, and the buttons that start a run ("Previsualizar",
// "Transformar") and end the program ("Salir"). The check box and folder set
// the state's BackupFolder; owns only its widgets.
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
  // `preview` runs when "Previsualizar" is clicked.
  StatusPanel(Actualiz& state, const Gate& gate, const ButtonMaker& make_button,
              std::function<void()> preview, QWidget* parent = nullptr);

  // The line under the status.
  void SetSummary(const QString& text);

 private:
  QWidget* BuildBars(const Gate& gate);
  void BuildBackup();
  QPushButton* BuildPreview(std::function<void()> preview);

  Actualiz& state_;
  QLabel* summary_ = nullptr;
  QCheckBox* backup_ = nullptr;
  QLineEdit* backup_folder_ = nullptr;
};

}  // namespace gui
}  // namespace brenquil
