#include "gui/bindings.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>

#include "engine/error.h"
#include "shell/controls.h"

namespace brenquil::gui {

namespace {

// QProgressBar counts in whole steps; a bar's single-precision value is shown
// as its share of the maximum on this many steps.
constexpr int kBarSteps = 1000;

QString Plain(float number) { return QString::number(static_cast<double>(number), 'g', 7); }

// A widget not yet placed in a window is left alone: showing it would open it
// as a window of its own.
void ShowIf(QWidget* widget, bool visible) {
  if (!widget->isWindow()) widget->setVisible(visible);
}

}  // namespace

QString ErrorMessage(const Error& error) {
  return QStringLiteral("Error %1: %2").arg(error.Number()).arg(ToQt(error.Text()));
}

void BindList(ListBox& list, QListWidget* widget) {
  // What the widget holds, as the state's texts: a long listing appends one
  // entry per notification, and comparing with this copy keeps that linear
  // instead of rebuilding the widget each time.
  auto shown = std::make_shared<std::vector<std::string>>();
  QPointer<QListWidget> guard(widget);
  auto repaint = [&list, guard, shown] {
    if (!guard) return;
    QSignalBlocker quiet(guard.data());
    const auto& items = list.Items();
    if (items != *shown) {
      bool extends = items.size() >= shown->size() &&
                     std::equal(shown->begin(), shown->end(), items.begin());
      if (!extends) {
        guard->clear();
        shown->clear();
      }
      for (size_t i = shown->size(); i < items.size(); ++i) guard->addItem(ToQt(items[i]));
      *shown = items;
    }
    int index = list.ListIndex();
    if (guard->currentRow() != index) {
      guard->setCurrentRow(index);
      if (index < 0) guard->clearSelection();
    }
    if (index >= 0) guard->scrollToItem(guard->item(index));
    ShowIf(guard, list.Visible());
  };
  list.Subscribe(repaint);
  repaint();
  QObject::connect(widget, &QListWidget::currentRowChanged, widget, [&list](int row) {
    if (row != list.ListIndex() && row < list.ListCount()) list.SetListIndex(row);
  });
}

void BindText(TextBox& box, QLineEdit* widget) {
  QPointer<QLineEdit> guard(widget);
  auto repaint = [&box, guard] {
    if (!guard) return;
    QString text = ToQt(box.Text());
    if (guard->text() != text) {
      guard->setText(text);
      guard->setCursorPosition(0);
    }
    guard->setToolTip(text);
    ShowIf(guard, box.Visible());
  };
  box.Subscribe(repaint);
  repaint();
  QObject::connect(widget, &QLineEdit::textEdited, widget,
                   [&box](const QString& text) { box.SetText(FromQt(text)); });
}

void BindLabel(Label& label, QLabel* widget) {
  QPointer<QLabel> guard(widget);
  auto repaint = [&label, guard] {
    if (!guard) return;
    guard->setText(ToQt(label.Caption()));
    ShowIf(guard, label.Visible());
  };
  label.Subscribe(repaint);
  repaint();
}

void BindBar(ProgressBar& bar, QProgressBar* widget) {
  widget->setRange(0, kBarSteps);
  QPointer<QProgressBar> guard(widget);
  auto repaint = [&bar, guard] {
    if (!guard) return;
    float max = bar.Max();
    double share = max > 0 ? std::clamp(static_cast<double>(bar.Value()) / max, 0.0, 1.0) : 0.0;
    guard->setValue(static_cast<int>(std::lround(share * kBarSteps)));
    guard->setFormat(Plain(bar.Value()) + QStringLiteral(" / ") + Plain(max));
    ShowIf(guard, bar.Visible());
  };
  bar.Subscribe(repaint);
  repaint();
}

void BindButton(CommandButton& button, QPushButton* widget, std::function<void()> press) {
  QPointer<QPushButton> guard(widget);
  auto repaint = [&button, guard] {
    if (!guard) return;
    guard->setText(ToQt(button.Caption()));
    ShowIf(guard, button.Visible());
  };
  button.Subscribe(repaint);
  repaint();
  QObject::connect(widget, &QPushButton::clicked, widget, [press = std::move(press)] { press(); });
}

void BindVisible(Control& control, QWidget* widget) {
  QPointer<QWidget> guard(widget);
  auto repaint = [&control, guard] {
    if (guard) ShowIf(guard, control.Visible());
  };
  control.Subscribe(repaint);
  repaint();
}

}  // namespace brenquil::gui
