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

void UpdateGate::Release() {
  held_ = false;
  Flush();
}

void UpdateGate::Flush() {
  // A repaint may change another control (a list selection moving a data
  // control); what it marks is taken by this same flush.
  for (size_t i = 0; i < queued_.size(); ++i) {
    if (auto repaint = queued_[i].lock()) {
      repaint->queued = false;
      repaint->run();
    }
  }
  queued_.clear();
}

void UpdateGate::Request(const std::shared_ptr<Repaint>& repaint) {
  if (!held_) {
    repaint->run();
    return;
  }
  if (repaint->queued) return;
  repaint->queued = true;
  queued_.push_back(repaint);
}

void Subscribe(Control& control, const Gate& gate, std::function<void()> repaint) {
  auto shared = std::make_shared<UpdateGate::Repaint>(UpdateGate::Repaint{std::move(repaint)});
  std::weak_ptr<UpdateGate> weak = gate;
  control.Subscribe([weak, shared] {
    if (auto g = weak.lock())
      g->Request(shared);
    else
      shared->run();
  });
  shared->run();
}

QString ErrorMessage(const Error& error) {
  return QStringLiteral("Error %1: %2").arg(error.Number()).arg(ToQt(error.Text()));
}

void BindList(ListBox& list, QListWidget* widget, const Gate& gate) {
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
  Subscribe(list, gate, repaint);
  QObject::connect(widget, &QListWidget::currentRowChanged, widget, [&list](int row) {
    if (row != list.ListIndex() && row < list.ListCount()) list.SetListIndex(row);
  });
}

void BindText(TextBox& box, QLineEdit* widget, const Gate& gate) {
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
  Subscribe(box, gate, repaint);
  QObject::connect(widget, &QLineEdit::textEdited, widget,
                   [&box](const QString& text) { box.SetText(FromQt(text)); });
}

void BindLabel(Label& label, QLabel* widget, const Gate& gate) {
  QPointer<QLabel> guard(widget);
  auto repaint = [&label, guard] {
    if (!guard) return;
    guard->setText(ToQt(label.Caption()));
    ShowIf(guard, label.Visible());
  };
  Subscribe(label, gate, repaint);
}

void BindBar(ProgressBar& bar, QProgressBar* widget, const Gate& gate) {
  widget->setRange(0, kBarSteps);
  QPointer<QProgressBar> guard(widget);
  // A bar is shown empty and without numbers until a step first sets it, so
  // the control's initial maximum is never read as "0 / 100".
  auto started = std::make_shared<bool>(false);
  auto repaint = [&bar, guard, started] {
    if (!guard) return;
    ShowIf(guard, bar.Visible());
    if (!*started) {
      guard->setValue(0);
      guard->setTextVisible(false);
      guard->setFormat(QString());
      return;
    }
    float max = bar.Max();
    double share = max > 0 ? std::clamp(static_cast<double>(bar.Value()) / max, 0.0, 1.0) : 0.0;
    guard->setValue(static_cast<int>(std::lround(share * kBarSteps)));
    guard->setFormat(Plain(bar.Value()) + QStringLiteral(" / ") + Plain(max));
    guard->setTextVisible(true);
  };
  // Subscribed ahead of the repaint, so the first change repaints as started.
  bar.Subscribe([started] { *started = true; });
  Subscribe(bar, gate, repaint);
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
