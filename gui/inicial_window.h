// The start-up form's window: its caption, its picture and its hidden model
// list, bound to the Inicial state it is given (which it does not own).
#pragma once

#include <QPixmap>
#include <QWidget>

namespace brenquil {

class Inicial;

namespace gui {

// The form's picture, drawn here rather than shipped: 249 by 78 pixels.
QPixmap InicialPicture();

class InicialWindow : public QWidget {
 public:
  explicit InicialWindow(Inicial& state, QWidget* parent = nullptr);
  Inicial& State() { return state_; }

 private:
  Inicial& state_;
};

}  // namespace gui
}  // namespace brenquil
