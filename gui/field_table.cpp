#include "gui/field_table.h"

#include <algorithm>

#include <QHeaderView>
#include <QPointer>
#include <QSignalBlocker>

#include "shell/controls.h"
#include "shell/type_names.h"

namespace brenquil::gui {

FieldTable::FieldTable(ListBox& names, ListBox& types, ListBox& sizes, const Gate& gate,
                       QWidget* parent)
    : QTableWidget(parent), lists_{&names, &types, &sizes} {
  setColumnCount(3);
  setHorizontalHeaderLabels({QStringLiteral("Nombre"), QStringLiteral("Tipo"),
                             QString::fromUtf8("Tamaño")});
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setWordWrap(false);
  verticalHeader()->hide();
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 2);
  auto* header = horizontalHeader();
  header->setMinimumSectionSize(20);
  header->setSectionResizeMode(0, QHeaderView::Stretch);
  header->setSectionResizeMode(1, QHeaderView::ResizeToContents);
  header->setSectionResizeMode(2, QHeaderView::ResizeToContents);

  QPointer<FieldTable> self(this);
  // A row is a field: a change to any of the three lists shows them all, so
  // the rows follow the names.
  for (int column = 0; column < 3; ++column) {
    Subscribe(*lists_[column], gate, [self] {
      if (!self) return;
      for (int c = 0; c < 3; ++c) self->ShowColumn(c);
      self->ShowSelection();
    });
  }
  connect(this, &QTableWidget::currentCellChanged, this, [this](int row, int, int, int) {
    for (ListBox* list : lists_)
      if (row < list->ListCount() && row != list->ListIndex()) list->SetListIndex(row);
  });
}

void FieldTable::ShowColumn(int column) {
  QSignalBlocker quiet(this);
  const auto& items = lists_[column]->Items();
  // One row per name. When the lists are out of step (the field step takes
  // matched names out of the name list alone), a type or size can no longer
  // be told to which name it belongs, and only the names are shown.
  const int rows = lists_[0]->ListCount();
  const bool in_step = lists_[1]->ListCount() == rows && lists_[2]->ListCount() == rows;
  if (rowCount() != rows) setRowCount(rows);
  for (int row = 0; row < rows; ++row) {
    QString text;
    if ((column == 0 || in_step) && row < static_cast<int>(items.size())) {
      const std::string& value = items[static_cast<size_t>(row)];
      text = ToQt(column == 1 ? TypeWithCode(value) : value);
    }
    QTableWidgetItem* cell = item(row, column);
    if (!cell) {
      cell = new QTableWidgetItem(text);
      if (column == 2) cell->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      setItem(row, column, cell);
    } else if (cell->text() != text) {
      cell->setText(text);
    }
  }
}

void FieldTable::ShowSelection() {
  QSignalBlocker quiet(this);
  int index = lists_[0]->ListIndex();
  if (index < 0 || index >= rowCount()) {
    clearSelection();
    setCurrentCell(-1, -1);
  } else if (currentRow() != index) {
    setCurrentCell(index, 0);
  }
}

}  // namespace brenquil::gui
