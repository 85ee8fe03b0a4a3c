#include "gui/data_widgets.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QToolButton>

#include "engine/error.h"
#include "engine/recordset.h"
#include "gui/bindings.h"
#include "shell/data_control.h"

namespace brenquil::gui {

DataNavigator::DataNavigator(DataControl& data, std::function<void(const Error&)> failed,
                             QWidget* parent)
    : QWidget(parent), data_(data), failed_(std::move(failed)) {
  setObjectName(ToQt(data.Caption()));
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(1);
  struct Arrow {
    const char* name;
    const char* glyph;
    const char* tip;
    void (DataNavigator::*move)();
  };
  const Arrow left[] = {{"First", "|◀", "Primero", &DataNavigator::First},
                        {"Previous", "◀", "Anterior", &DataNavigator::Previous}};
  const Arrow right[] = {{"Next", "▶", "Siguiente", &DataNavigator::Next},
                         {"Last", "▶|", "Último", &DataNavigator::Last}};
  auto add = [&](const Arrow& arrow) {
    auto* button = new QToolButton(this);
    button->setObjectName(objectName() + QLatin1String(arrow.name));
    button->setText(QString::fromUtf8(arrow.glyph));
    button->setToolTip(QString::fromUtf8(arrow.tip));
    connect(button, &QToolButton::clicked, this, [this, move = arrow.move] { (this->*move)(); });
    row->addWidget(button);
  };
  for (const auto& arrow : left) add(arrow);
  caption_ = new QLabel(ToQt(data.Caption()), this);
  caption_->setObjectName(objectName() + QStringLiteral("Caption"));
  caption_->setFrameShape(QFrame::Panel);
  caption_->setFrameShadow(QFrame::Sunken);
  caption_->setContentsMargins(6, 0, 6, 0);
  row->addWidget(caption_, 1);
  for (const auto& arrow : right) add(arrow);
}

void DataNavigator::Move(const std::function<void()>& move) {
  try {
    auto& rs = data_.Recordset();
    if (rs.Bof() && rs.Eof()) return;  // no rows: nowhere to go
    move();
  } catch (const Error& error) {
    if (failed_) failed_(error);
  }
}

void DataNavigator::First() {
  Move([this] { data_.Recordset().MoveFirst(); });
}

void DataNavigator::Previous() {
  Move([this] {
    auto& rs = data_.Recordset();
    rs.MovePrevious();
    if (rs.Bof()) rs.MoveFirst();
  });
}

void DataNavigator::Next() {
  Move([this] {
    auto& rs = data_.Recordset();
    rs.MoveNext();
    if (rs.Eof()) rs.MoveLast();
  });
}

void DataNavigator::Last() {
  Move([this] { data_.Recordset().MoveLast(); });
}

DataGrid::DataGrid(DataControl& data, QWidget* parent) : QTableWidget(parent), data_(data) {
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
  horizontalHeader()->setStretchLastSection(true);
}

void DataGrid::Reload() {
  clear();
  setRowCount(0);
  setColumnCount(0);
  if (!data_.HasRecordset()) return;
  try {
    Fill();
  } catch (...) {
    clear();
    setRowCount(0);
    setColumnCount(0);
    throw;
  }
  resizeColumnsToContents();
}

void DataGrid::Fill() {
  auto& rs = data_.Recordset();
  auto& fields = rs.Fields();
  const int columns = fields.Count();
  QStringList headers;
  for (int c = 0; c < columns; ++c) headers << ToQt(fields.Item(c)->Name());
  setColumnCount(columns);
  setHorizontalHeaderLabels(headers);
  if (rs.Bof() && rs.Eof()) return;
  rs.MoveFirst();
  const Recordset& rows = rs.Engine();
  for (int r = 0; !rs.Eof(); ++r, rs.MoveNext()) {
    setRowCount(r + 1);
    for (int c = 0; c < columns; ++c) {
      auto value = rows.Value(c);
      setItem(r, c, new QTableWidgetItem(value ? ToQt(*value) : QString()));
    }
  }
  rs.MoveFirst();
}

}  // namespace brenquil::gui
