// A path text box that shows a whole path: when the path is wider than the
// box and the box is not being edited, the middle of the path gives way to an
// ellipsis, so the start and the file name stay in view; the whole path is
// the tooltip. Editing shows the text as it is.
#pragma once

#include <QLineEdit>

namespace brenquil::gui {

class PathEdit : public QLineEdit {
 public:
  using QLineEdit::QLineEdit;
  // What the box shows when not being edited.
  QString Shown() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace brenquil::gui
