// A field row's three lists (names, type codes, sizes) shown as one table with
// the headers "Nombre", "Tipo" and "Tamaño" and one scrollbar; the type is
// shown by name with its code ("Texto (10)"). One row per name: when the
// lists are out of step, only the names are shown, never a type without its
// name. The three lists stay the window state's, unchanged: picking a row
// selects that entry in all three.
#pragma once

#include <QTableWidget>

#include "gui/bindings.h"

namespace brenquil {

class ListBox;

namespace gui {

class FieldTable : public QTableWidget {
 public:
  FieldTable(ListBox& names, ListBox& types, ListBox& sizes, const Gate& gate,
             QWidget* parent = nullptr);
  QSize sizeHint() const override { return {150, 60}; }
  QSize minimumSizeHint() const override { return {60, 40}; }

 private:
  // Shows column `column` as list `list` holds it now.
  void ShowColumn(int column);
  void ShowSelection();

  ListBox* lists_[3];
};

}  // namespace gui
}  // namespace brenquil
