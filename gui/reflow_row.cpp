#include "gui/reflow_row.h"

#include <algorithm>

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace brenquil::gui {

namespace {
constexpr int kSpacing = 4;
}

ReflowRow::ReflowRow(QWidget* parent) : QWidget(parent), rows_(new QVBoxLayout(this)) {
  rows_->setContentsMargins(0, 0, 0, 0);
  rows_->setSpacing(kSpacing);
}

void ReflowRow::AddColumn(QWidget* column, int stretch) {
  column->setParent(this);
  columns_.emplace_back(column, stretch);
  shape_.clear();
  Arrange(width() > 0 ? width() : QWIDGETSIZE_MAX);
}

QSize ReflowRow::minimumSizeHint() const {
  int widest = 0;
  for (const auto& [column, stretch] : columns_)
    widest = std::max(widest, column->minimumSizeHint().width());
  return {widest, rows_->minimumSize().height()};
}

void ReflowRow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Arrange(width());
}

void ReflowRow::Arrange(int width) {
  std::vector<int> shape;
  int used = 0;
  for (const auto& [column, stretch] : columns_) {
    int need = column->minimumSizeHint().width();
    if (!shape.empty() && used + kSpacing + need <= width) {
      ++shape.back();
      used += kSpacing + need;
    } else {
      shape.push_back(1);
      used = need;
    }
  }
  if (shape == shape_) return;
  shape_ = shape;
  // The row layouts are made anew; the columns stay children of this widget.
  while (QLayoutItem* item = rows_->takeAt(0)) {
    if (QLayout* row = item->layout())
      while (QLayoutItem* cell = row->takeAt(0)) delete cell;
    delete item;
  }
  size_t next = 0;
  for (int count : shape_) {
    auto* row = new QHBoxLayout;
    row->setSpacing(kSpacing);
    for (int k = 0; k < count; ++k, ++next)
      row->addWidget(columns_[next].first, columns_[next].second);
    rows_->addLayout(row, 1);
  }
  updateGeometry();
}

}  // namespace brenquil::gui
