// The small widget builders every panel of the main window shares: a frame
// captioned like its Frame control, a list or text box bound to its control,
// a frame holding one list or one field row, and the window's spacing. Also
// the hook through which a panel makes one of the window's numbered buttons.
#pragma once

#include <functional>
#include <string>

#include <QListWidget>
#include <QString>

#include "gui/bindings.h"

class QGroupBox;
class QLayout;
class QLineEdit;
class QPushButton;
class QWidget;

namespace brenquil {

class Error;
class Frame;
class ListBox;
class TextBox;
template <class T>
class ControlArray;

namespace gui {

// Makes button `number` of the window (named, captioned, with its tooltip,
// pressing its operation) as a child of the given parent. The window gives
// one to each panel.
using ButtonMaker = std::function<QPushButton*(int number, QWidget* parent)>;

// Tells the operator of an error that an action which is not a button met
// (a drive or folder pick, a move of a data control) as `operation`: the
// window journals and shows it, and goes on.
using ErrorReporter = std::function<void(const std::string& operation, const Error& error)>;

// Lists ask for little room, so the layout shares the window by stretch
// factors rather than by Qt's generous default list size.
class CompactList : public QListWidget {
 public:
  using QListWidget::QListWidget;
  QSize sizeHint() const override { return {90, 60}; }
  QSize minimumSizeHint() const override { return {40, 40}; }
};

// The window's wording, for captions built in the front end.
inline QString Q(const char* utf8) { return QString::fromUtf8(utf8); }

// "List1[3]": the name of element `index` of a control array.
QString Indexed(const char* name, int index);

// The window's narrow margins and spacing.
void Tight(QLayout* layout, int spacing = 3);

QGroupBox* FrameBox(const std::string& caption, const QString& name, QWidget* parent);
QListWidget* ListWidget(ListBox& list, const QString& name, QWidget* parent, const Gate& gate);
QLineEdit* TextWidget(TextBox& box, const QString& name, const QString& hint, QWidget* parent,
                      const Gate& gate);

// A frame holding one list.
QGroupBox* ListFrame(Frame& frame, const QString& frame_name, ListBox& list,
                     const QString& list_name, QWidget* parent, const Gate& gate);

// A frame holding a field row's three lists as one table, named after the
// row's first list ("List1[3]").
QGroupBox* FieldRowFrame(Frame& frame, const QString& frame_name, ControlArray<ListBox>& lists,
                         const char* list_name, int first, QWidget* parent, const Gate& gate);

}  // namespace gui
}  // namespace brenquil
