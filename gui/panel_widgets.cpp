#include "gui/panel_widgets.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QVBoxLayout>

#include "gui/field_table.h"
#include "shell/controls.h"

namespace brenquil::gui {

QString Indexed(const char* name, int index) {
  return QStringLiteral("%1[%2]").arg(QLatin1String(name)).arg(index);
}

void Tight(QLayout* layout, int spacing) {
  layout->setContentsMargins(4, 2, 4, 4);
  layout->setSpacing(spacing);
}

QGroupBox* FrameBox(const std::string& caption, const QString& name, QWidget* parent) {
  auto* box = new QGroupBox(ToQt(caption), parent);
  box->setObjectName(name);
  return box;
}

QListWidget* ListWidget(ListBox& list, const QString& name, QWidget* parent, const Gate& gate) {
  auto* widget = new CompactList(parent);
  widget->setObjectName(name);
  BindList(list, widget, gate);
  return widget;
}

QLineEdit* TextWidget(TextBox& box, const QString& name, const QString& hint, QWidget* parent,
                      const Gate& gate) {
  auto* widget = new QLineEdit(parent);
  widget->setObjectName(name);
  widget->setPlaceholderText(hint);
  BindText(box, widget, gate);
  return widget;
}

QGroupBox* ListFrame(Frame& frame, const QString& frame_name, ListBox& list,
                     const QString& list_name, QWidget* parent, const Gate& gate) {
  auto* box = FrameBox(frame.Caption(), frame_name, parent);
  auto* layout = new QVBoxLayout(box);
  Tight(layout);
  layout->addWidget(ListWidget(list, list_name, box, gate));
  return box;
}

QGroupBox* FieldRowFrame(Frame& frame, const QString& frame_name, ControlArray<ListBox>& lists,
                         const char* list_name, int first, QWidget* parent, const Gate& gate) {
  auto* box = FrameBox(frame.Caption(), frame_name, parent);
  auto* layout = new QHBoxLayout(box);
  Tight(layout, 1);
  auto* table = new FieldTable(lists[first], lists[first + 1], lists[first + 2], gate, box);
  table->setObjectName(Indexed(list_name, first));
  layout->addWidget(table);
  return box;
}

}  // namespace brenquil::gui
