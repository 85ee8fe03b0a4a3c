#include "gui/confirm_run_dialog.h"

#include <algorithm>

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/panel_widgets.h"
#include "shell/actualiz.h"
#include "shell/run_summary.h"
#include "shell/step_names.h"

namespace brenquil::gui {

namespace {

QString Count(size_t n, const char* one, const char* many) {
  return QStringLiteral("%1 %2").arg(n).arg(Q(n == 1 ? one : many));
}

}  // namespace

ConfirmRunDialog::ConfirmRunDialog(const Actualiz& state, bool backup, const QString& folder,
                                   QWidget* parent)
    : QDialog(parent) {
  setObjectName(QStringLiteral("ConfirmarTransformar"));
  setWindowTitle(Q("Transformar"));
  setModal(true);

  const auto results = Results(state.Report, state.Journal);
  size_t counts[6] = {};
  for (const auto& r : results) ++counts[static_cast<int>(r.outcome)];
  auto count = [&counts](Outcome outcome) { return counts[static_cast<int>(outcome)]; };
  const size_t refused = state.Journal.Entries().size();
  const QString data = ToQt(state.Dir1.Path());

  const size_t with_errors = static_cast<size_t>(std::count_if(
      results.begin(), results.end(), [](const DatabaseResult& r) { return r.errors > 0; }));
  QStringList lines;
  lines << Q("Carpeta de datos: %1").arg(data);
  lines << Q("Bases que se actualizarían: %1").arg(count(Outcome::kUpdated));
  lines << Q("Bases que quedarían sin cambios: %1").arg(count(Outcome::kUnchanged));
  lines << Q("Modelos sin base vieja que se copiarían: %1").arg(count(Outcome::kCopied));
  lines << Q("Bases sin modelo que se omitirían: %1").arg(count(Outcome::kSkipped));
  if (refused == 0)
    lines << Q("Cambios que se rechazarían: ninguno");
  else
    lines << Q("Cambios que se rechazarían: %1, en %2 (véanse «Errores» y «Detalle»)")
                 .arg(refused)
                 .arg(Count(with_errors, "base", "bases"));
  plan_text_ = lines.join(QLatin1Char('\n'));

  // Models copied into a folder that has no old database of theirs: most
  // likely not the data folder at all.
  if (state.Report.Databases().empty() && count(Outcome::kCopied) > 0)
    warning_ = Q("La carpeta %1 no tiene ninguna base vieja con modelo: «Transformar» solo copiaría "
                 "en ella %2. Compruebe que es la carpeta de datos antes de seguir.")
                   .arg(data)
                   .arg(Count(count(Outcome::kCopied), "modelo", "modelos"));

  // A frame of its own, so the question stands out from the window behind
  // it even where no window manager draws one.
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  auto* frame = new QFrame(this);
  frame->setFrameShape(QFrame::Box);
  frame->setLineWidth(2);
  outer->addWidget(frame);
  auto* column = new QVBoxLayout(frame);
  auto* title = new QLabel(Q("Transformar"), this);
  QFont bold = title->font();
  bold.setBold(true);
  bold.setPointSizeF(bold.pointSizeF() * 1.2);
  title->setFont(bold);
  column->addWidget(title);
  auto* heading = new QLabel(Q("Esto es lo que haría «Transformar», según el plan que se acaba de hacer "
                               "(no se ha cambiado ningún archivo):"),
                             this);
  heading->setWordWrap(true);
  column->addWidget(heading);
  auto* plan = new QLabel(plan_text_, this);
  plan->setObjectName(QStringLiteral("Plan"));
  plan->setWordWrap(true);
  plan->setTextInteractionFlags(Qt::TextSelectableByMouse);
  column->addWidget(plan);
  if (!warning_.isEmpty()) {
    auto* warning = new QLabel(warning_, this);
    warning->setObjectName(QStringLiteral("Aviso"));
    warning->setWordWrap(true);
    warning->setStyleSheet(QStringLiteral("color: #c00000; font-weight: bold;"));
    column->addWidget(warning);
  }

  auto* line = new QHBoxLayout;
  backup_ = new QCheckBox(Q("Copia de seguridad"), this);
  backup_->setObjectName(QStringLiteral("CopiaSeguridad"));
  backup_->setChecked(backup);
  backup_->setToolTip(ToQt(ControlDescription("Copia de seguridad")));
  folder_ = new QLineEdit(folder, this);
  folder_->setObjectName(QStringLiteral("CarpetaCopias"));
  folder_->setToolTip(backup_->toolTip());
  auto* choose = new QPushButton(QStringLiteral("…"), this);
  choose->setObjectName(QStringLiteral("ElegirCarpetaCopias"));
  choose->setToolTip(ToQt(ControlDescription("ElegirCarpetaCopias")));
  choose->setMaximumWidth(choose->fontMetrics().horizontalAdvance(QStringLiteral("…")) + 24);
  connect(choose, &QPushButton::clicked, this, [this] {
    QString chosen = QFileDialog::getExistingDirectory(this, Q("Copia de seguridad"), folder_->text());
    if (chosen.isEmpty()) return;
    folder_->setText(chosen);
    backup_->setChecked(true);
  });
  line->addWidget(backup_);
  line->addWidget(folder_, 1);
  line->addWidget(choose);
  column->addLayout(line);

  auto* buttons = new QDialogButtonBox(this);
  auto* run = buttons->addButton(Q("Transformar"), QDialogButtonBox::AcceptRole);
  run->setObjectName(QStringLiteral("Transformar"));
  auto* cancel = buttons->addButton(Q("Cancelar"), QDialogButtonBox::RejectRole);
  cancel->setObjectName(QStringLiteral("Cancelar"));
  // Nothing starts by a stray Enter: "Cancelar" is the default.
  cancel->setDefault(true);
  cancel->setFocus();
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  column->addWidget(buttons);
  setMinimumWidth(520);
}

bool ConfirmRunDialog::Backup() const { return backup_->isChecked(); }

QString ConfirmRunDialog::BackupFolder() const { return folder_->text(); }

}  // namespace brenquil::gui
