#include "gui/status_panel.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "shell/actualiz.h"
#include "shell/step_names.h"

namespace brenquil::gui {

StatusPanel::StatusPanel(Actualiz& state, const Gate& gate, const ButtonMaker& make_button,
                         std::function<void()> preview, std::function<void()> stop, QWidget* parent)
    : QGroupBox(ToQt(state.Frame9.Caption()), parent), state_(state) {
  setObjectName(QStringLiteral("Frame9"));
  auto* column = new QVBoxLayout(this);
  Tight(column);
  column->addWidget(BuildBars(gate));

  auto* status = new QLabel(this);
  status->setObjectName(QStringLiteral("Label4"));
  QFont bold = status->font();
  bold.setBold(true);
  status->setFont(bold);
  BindLabel(state_.Label4, status, gate);
  column->addWidget(status);
  summary_ = new QLabel(this);
  summary_->setObjectName(QStringLiteral("Resumen"));
  summary_->setWordWrap(true);
  summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  column->addWidget(summary_);
  column->addStretch(1);
  BuildBackup();

  // "Detener" sits beside "Transformar", away from "Salir".
  auto* line = new QHBoxLayout;
  line->addWidget(BuildPreview(std::move(preview)));
  auto* run = make_button(13, this);
  run->setFont(bold);
  run->setMinimumSize(110, 28);
  line->addWidget(run);
  stop_ = new QPushButton(Q("Detener"), this);
  stop_->setObjectName(QStringLiteral("Detener"));
  stop_->setToolTip(ToQt(ControlDescription("Detener")));
  stop_->setMinimumHeight(28);
  stop_->setEnabled(false);
  connect(stop_, &QPushButton::clicked, this, std::move(stop));
  line->addWidget(stop_);
  line->addStretch(1);
  auto* end = make_button(14, this);
  end->setFont(bold);
  end->setMinimumSize(90, 28);
  line->addWidget(end);
  column->addLayout(line);
}

void StatusPanel::SetSummary(const QString& text) { summary_->setText(text); }

bool StatusPanel::Backup() const { return backup_->isChecked(); }

QString StatusPanel::BackupFolder() const { return backup_folder_->text(); }

void StatusPanel::SetBackup(bool checked, const QString& folder) {
  backup_folder_->setText(folder);
  backup_->setChecked(checked);
}

QWidget* StatusPanel::BuildBars(const Gate& gate) {
  auto* bars = new QFrame(this);
  bars->setObjectName(QStringLiteral("Frame13"));
  bars->setFrameShape(QFrame::StyledPanel);
  auto* grid = new QGridLayout(bars);
  Tight(grid, 2);
  grid->setHorizontalSpacing(6);
  struct Row {
    Label* label;
    const char* label_name;
    ProgressBar* bar;
    const char* bar_name;
  };
  const Row rows[] = {
      {&state_.Label1, "Label1", &state_.Bar1, "Bar1"},
      {&state_.Label2, "Label2", &state_.Bar2, "Bar2"},
      {&state_.Label3, "Label3", &state_.Bar3, "Bar3"},
      {&state_.Label6, "Label6", &state_.Bar4, "Bar4"},
      {&state_.Label7, "Label7", &state_.Bar5, "Bar5"},
      {&state_.Label8, "Label8", &state_.Bar6, "Bar6"},
  };
  // Two columns of three: bases, tables, fields; indexes, relations, queries.
  for (int i = 0; i < 6; ++i) {
    auto* label = new QLabel(bars);
    label->setObjectName(QLatin1String(rows[i].label_name));
    BindLabel(*rows[i].label, label, gate);
    auto* bar = new QProgressBar(bars);
    bar->setObjectName(QLatin1String(rows[i].bar_name));
    bar->setMaximumHeight(label->sizeHint().height() + 4);
    BindBar(*rows[i].bar, bar, gate);
    grid->addWidget(label, i % 3, (i / 3) * 2);
    grid->addWidget(bar, i % 3, (i / 3) * 2 + 1);
    grid->setColumnStretch((i / 3) * 2 + 1, 1);
  }
  BindVisible(state_.Frame13, bars);
  return bars;
}

void StatusPanel::BuildBackup() {
  auto* line = new QHBoxLayout;
  line->setSpacing(3);
  backup_ = new QCheckBox(Q("Copia de seguridad"), this);
  backup_->setObjectName(QStringLiteral("CopiaSeguridad"));
  backup_folder_ = new QLineEdit(this);
  backup_folder_->setObjectName(QStringLiteral("CarpetaCopias"));
  backup_folder_->setPlaceholderText(Q("Carpeta de las copias"));
  auto* choose = new QPushButton(QStringLiteral("…"), this);
  choose->setObjectName(QStringLiteral("ElegirCarpetaCopias"));
  backup_->setToolTip(ToQt(ControlDescription("Copia de seguridad")));
  backup_folder_->setToolTip(backup_->toolTip());
  choose->setToolTip(ToQt(ControlDescription("ElegirCarpetaCopias")));
  choose->setMaximumWidth(choose->fontMetrics().horizontalAdvance(QStringLiteral("…")) + 24);
  auto update = [this] {
    state_.BackupFolder = backup_->isChecked() ? FromQt(backup_folder_->text()) : std::string();
  };
  connect(backup_, &QCheckBox::toggled, this, update);
  connect(backup_folder_, &QLineEdit::textChanged, this, update);
  connect(choose, &QPushButton::clicked, this, [this] {
    QString folder = QFileDialog::getExistingDirectory(this, Q("Copia de seguridad"), backup_folder_->text());
    if (folder.isEmpty()) return;
    backup_folder_->setText(folder);
    backup_->setChecked(true);
  });
  line->addWidget(backup_);
  line->addWidget(backup_folder_, 1);
  line->addWidget(choose);
  static_cast<QVBoxLayout*>(layout())->addLayout(line);
  // A run takes its copies unless the operator says otherwise.
  SetBackup(true, ToQt(state_.Installation().BackupsFolder()));
}

QPushButton* StatusPanel::BuildPreview(std::function<void()> preview) {
  auto* button = new QPushButton(Q("Previsualizar"), this);
  button->setObjectName(QStringLiteral("Previsualizar"));
  QFont bold = button->font();
  bold.setBold(true);
  button->setFont(bold);
  button->setMinimumSize(110, 28);
  button->setToolTip(ToQt(ControlDescription("Previsualizar")));
  connect(button, &QPushButton::clicked, this, std::move(preview));
  return button;
}

}  // namespace brenquil::gui
