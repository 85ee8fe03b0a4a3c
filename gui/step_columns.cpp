#include "gui/step_columns.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/data_widgets.h"
#include "shell/actualiz.h"

namespace brenquil::gui {

namespace {

QWidget* Column(QWidget* parent, QVBoxLayout*& column) {
  auto* area = new QWidget(parent);
  column = new QVBoxLayout(area);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(3);
  return area;
}

}  // namespace

QWidget* TablesColumn(const StepColumnParts& p, QWidget* parent) {
  Actualiz& state = p.state;
  auto* area = new QWidget(parent);
  auto* grid = new QGridLayout(area);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setSpacing(3);
  grid->addWidget(ListFrame(state.Frame4, "Frame4", state.List2, "List2", area, p.gate), 0, 0);
  grid->addWidget(ListFrame(state.Frame5, "Frame5", state.List3, "List3", area, p.gate), 0, 1);
  grid->addWidget(ListFrame(state.Frame6, "Frame6", state.List4, "List4", area, p.gate), 1, 0);
  auto* buttons = new QVBoxLayout;
  buttons->setSpacing(3);
  for (int n : {6, 8, 9, 2}) buttons->addWidget(p.make_button(n, area));
  buttons->addStretch(1);
  grid->addLayout(buttons, 1, 1);
  grid->addWidget(TextWidget(state.Text2, "Text2", Q("Tablas del modelo"), area, p.gate), 2, 0, 1, 2);
  grid->addWidget(TextWidget(state.Text5, "Text5", Q("Ruta del modelo"), area, p.gate), 3, 0, 1, 2);
  grid->setRowStretch(0, 1);
  grid->setRowStretch(1, 1);
  return area;
}

QWidget* FieldsColumn(const StepColumnParts& p, QWidget* parent) {
  Actualiz& state = p.state;
  QVBoxLayout* column = nullptr;
  QWidget* area = Column(parent, column);
  column->addWidget(FieldRowFrame(state.Frame2[0], "Frame2[0]", state.List1, "List1", 0, area, p.gate), 1);
  column->addWidget(FieldRowFrame(state.Frame2[1], "Frame2[1]", state.List1, "List1", 3, area, p.gate), 1);
  column->addWidget(FieldRowFrame(state.Frame3, "Frame3", state.List5, "List5", 0, area, p.gate), 1);
  auto* buttons = new QHBoxLayout;
  buttons->setSpacing(3);
  for (int n : {10, 11, 12}) buttons->addWidget(p.make_button(n, area));
  column->addLayout(buttons);
  return area;
}

QWidget* IndexesColumn(const StepColumnParts& p, QWidget* parent) {
  Actualiz& state = p.state;
  QVBoxLayout* column = nullptr;
  QWidget* area = Column(parent, column);
  column->addWidget(ListFrame(state.Frame12, "Frame12", state.List10, "List10", area, p.gate), 1);
  auto* catalogue = FrameBox(state.Frame2[2].Caption(), "Frame2[2]", area);
  auto* boxes = new QVBoxLayout(catalogue);
  Tight(boxes, 2);
  const char* columns[] = {"nombreind", "tabla", "campo", "unico"};
  for (int i = 0; i < 4; ++i)
    boxes->addWidget(TextWidget(state.Text1[i], Indexed("Text1", i), Q(columns[i]), catalogue, p.gate));
  column->addWidget(catalogue);
  for (int n : {19, 17, 18, 16}) column->addWidget(p.make_button(n, area));
  return area;
}

QWidget* RelationsColumn(const StepColumnParts& p, QWidget* parent) {
  Actualiz& state = p.state;
  QVBoxLayout* column = nullptr;
  QWidget* area = Column(parent, column);
  auto* lists = new QHBoxLayout;
  lists->setSpacing(3);
  for (int i : {0, 1})
    lists->addWidget(ListFrame(state.Frame11[i], Indexed("Frame11", i), state.List9[i],
                               Indexed("List9", i), area, p.gate));
  column->addLayout(lists, 1);
  auto* catalogue = FrameBox(state.Frame2[3].Caption(), "Frame2[3]", area);
  auto* boxes = new QGridLayout(catalogue);
  Tight(boxes, 2);
  const char* columns[] = {"nombrerel", "tabla", "tablafor", "atributos", "campo", "campofor"};
  for (int i = 0; i < 6; ++i)
    boxes->addWidget(TextWidget(state.Text6[i], Indexed("Text6", i), Q(columns[i]), catalogue, p.gate),
                     i / 2, i % 2);
  column->addWidget(catalogue);
  for (int n : {22, 20, 21}) column->addWidget(p.make_button(n, area));
  return area;
}

QWidget* QueriesColumn(const StepColumnParts& p, QWidget* parent) {
  Actualiz& state = p.state;
  QVBoxLayout* column = nullptr;
  QWidget* area = Column(parent, column);
  auto* lists = new QHBoxLayout;
  lists->setSpacing(3);
  lists->addWidget(ListFrame(state.Frame11[4], "Frame11[4]", state.List11[0], "List11[0]", area, p.gate));
  lists->addWidget(ListFrame(state.Frame11[2], "Frame11[2]", state.List11[1], "List11[1]", area, p.gate));
  column->addLayout(lists, 1);
  column->addWidget(
      ListFrame(state.Frame11[3], "Frame11[3]", state.List11[3], "List11[3]", area, p.gate), 1);

  ErrorReporter report = p.report_error;
  auto* navigator = new DataNavigator(
      state.Data5, [report](const Error& error) { report("Data5", error); }, area);
  BindVisible(state.Data5, navigator);
  column->addWidget(navigator);
  column->addWidget(TextWidget(state.campocon[0], "campocon[0]", Q("nombrecon"), area, p.gate));
  column->addWidget(TextWidget(state.campocon[1], "campocon[1]", Q("consulta"), area, p.gate));
  auto* buttons = new QHBoxLayout;
  buttons->setSpacing(3);
  for (int n : {24, 23}) buttons->addWidget(p.make_button(n, area));
  column->addLayout(buttons);
  return area;
}

}  // namespace brenquil::gui
