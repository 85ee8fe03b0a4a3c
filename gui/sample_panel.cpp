#include "gui/sample_panel.h"

#include <QHBoxLayout>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "engine/error.h"
#include "gui/data_widgets.h"
#include "shell/actualiz.h"
#include "shell/ignore_errors.h"

namespace brenquil::gui {

SamplePanel::SamplePanel(Actualiz& state, const ButtonMaker& make_button, QWidget* parent)
    : QGroupBox(ToQt("Neptuno.mdb: Empleados"), parent), state_(state) {
  setObjectName(QStringLiteral("Sample"));
  auto* row = new QHBoxLayout(this);
  Tight(row);
  auto* buttons = new QVBoxLayout;
  buttons->setSpacing(3);
  for (int n : {4, 5, 3}) buttons->addWidget(make_button(n, this));
  buttons->addStretch(1);
  row->addLayout(buttons);
  grid_ = new DataGrid(state_.Data2, this);
  grid_->setObjectName(QStringLiteral("DBGrid1"));
  row->addWidget(grid_, 1);
  ReloadGrid();
  QPointer<SamplePanel> self(this);
  state_.Data2.Subscribe([self] {
    if (self) self->ReloadGrid();
  });
}

void SamplePanel::ReloadGrid() {
  // Reading the grid moves Data2's record set, which must not come back here.
  if (reloading_) return;
  struct Reentry {
    bool& flag;
    explicit Reentry(bool& f) : flag(f) { flag = true; }
    ~Reentry() { flag = false; }
  } reentry(reloading_);
  try {
    grid_->Reload();
  } catch (const Error& error) {
    JournalError(state_, "DBGrid1", error);
  }
}

}  // namespace brenquil::gui
