// The sample beside the database selection: the grid of Neptuno.mdb's table
// Empleados bound to Data2 (DBGrid1) and the three buttons that add, delete
// and reload its sample fields. The grid follows Data2; owns only its widgets.
#pragma once

#include <QGroupBox>

#include "gui/panel_widgets.h"

namespace brenquil {

class Actualiz;

namespace gui {

class DataGrid;

class SamplePanel : public QGroupBox {
 public:
  SamplePanel(Actualiz& state, const ButtonMaker& make_button, QWidget* parent = nullptr);

 private:
  // Reads Data2's rows again; an error is journaled and the grid is empty.
  void ReloadGrid();

  Actualiz& state_;
  DataGrid* grid_ = nullptr;
  bool reloading_ = false;
};

}  // namespace gui
}  // namespace brenquil
