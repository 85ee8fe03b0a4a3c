// The widgets of the data controls: the navigator a visible data control shows
// (its caption between the first/previous and next/last buttons) and the grid
// that shows every row of a data control's record set. Both read the
// DataControl, which stays owned by the window state.
#pragma once

#include <functional>

#include <QTableWidget>
#include <QWidget>

class QLabel;
class QToolButton;

namespace brenquil {

class DataControl;
class Error;

namespace gui {

class DataNavigator : public QWidget {
 public:
  // `failed` is told of an error a move raised (no record set, a row gone).
  DataNavigator(DataControl& data, std::function<void(const Error&)> failed,
                QWidget* parent = nullptr);

  // What the four buttons do. At either end the record set stays on the
  // first or last row, as a data control's arrows leave it.
  void First();
  void Previous();
  void Next();
  void Last();

 private:
  void Move(const std::function<void()>& move);

  DataControl& data_;
  std::function<void(const Error&)> failed_;
  QLabel* caption_;
};

// A read-only grid of a data control's rows, with its columns as headers.
class DataGrid : public QTableWidget {
 public:
  explicit DataGrid(DataControl& data, QWidget* parent = nullptr);

  // Reads the record set again (empty when the control has none) and leaves
  // it on its first row. Errors pass on; the grid is then empty.
  void Reload();

 private:
  void Fill();

  DataControl& data_;
};

}  // namespace gui
}  // namespace brenquil
