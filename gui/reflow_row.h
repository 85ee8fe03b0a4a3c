// A row of columns that wraps onto more rows when the width cannot hold them
// all at their minimum widths, like words on a line: the step columns of the
// main window, which then scroll instead of being cut at the side.
#pragma once

#include <utility>
#include <vector>

#include <QWidget>

class QVBoxLayout;

namespace brenquil::gui {

class ReflowRow : public QWidget {
 public:
  explicit ReflowRow(QWidget* parent = nullptr);
  // Adds a column with its share of the spare width. The widget becomes a child.
  void AddColumn(QWidget* column, int stretch);
  // The number of columns on each row, as now laid out.
  std::vector<int> Rows() const { return shape_; }
  // Wide enough for the widest column; as tall as the current rows.
  QSize minimumSizeHint() const override;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  // Puts the columns on as few rows as `width` allows, keeping their order.
  void Arrange(int width);

  std::vector<std::pair<QWidget*, int>> columns_;
  std::vector<int> shape_;
  QVBoxLayout* rows_;
};

}  // namespace brenquil::gui
