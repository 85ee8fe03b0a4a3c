// The step columns in the middle of the main window, in the order of the
// transformation: tables ("Tablas Origen", "Tablas Destino", "Añadir
// Nueva"), fields ("Campos Base Origen", "Campos Para Añadir", "Campos Base
// Destino"), indexes ("Tablas Origen", "BBDD Indices"), relations
// ("Relaciones Origen", "Relaciones Destno", "BBDD Rel") and queries
// ("Consultas Origen", "Consultas Destino", "Campos Consulta Modelo", Data1),
// each with its step's buttons. Each column is a widget of its own that the
// window places in its wrapping row; it shows the state's controls.
#pragma once

#include <QWidget>

#include "gui/panel_widgets.h"

namespace brenquil {

class Actualiz;

namespace gui {

// What every column is built from: the state, the window's repaint gate and
// button maker, and where a move of the visible data control reports an error.
struct StepColumnParts {
  Actualiz& state;
  const Gate& gate;
  const ButtonMaker& make_button;
  ErrorReporter report_error;
};

QWidget* TablesColumn(const StepColumnParts& parts, QWidget* parent);
QWidget* FieldsColumn(const StepColumnParts& parts, QWidget* parent);
QWidget* IndexesColumn(const StepColumnParts& parts, QWidget* parent);
QWidget* RelationsColumn(const StepColumnParts& parts, QWidget* parent);
QWidget* QueriesColumn(const StepColumnParts& parts, QWidget* parent);

}  // namespace gui
}  // namespace brenquil
