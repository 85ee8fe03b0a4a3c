#include "gui/results_panel.h"

#include <QClipboard>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QToolButton>
#include <QVBoxLayout>

#include "gui/panel_widgets.h"
#include "gui/run_views.h"
#include "shell/actualiz.h"

namespace brenquil::gui {

ResultsPanel::ResultsPanel(Actualiz& state, QWidget* parent) : QWidget(parent), state_(state) {
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(4);
  row->addWidget(BuildResults(), 4);
  row->addWidget(BuildJournal(), 5);
}

QWidget* ResultsPanel::BuildResults() {
  auto* box = new QGroupBox(Q("Resultados"), this);
  box->setObjectName(QStringLiteral("ResultadosFrame"));
  auto* column = new QVBoxLayout(box);
  Tight(column);
  results_ = new ResultsTable(state_.Report, state_.Journal, box);
  results_->setObjectName(QStringLiteral("Resultados"));
  column->addWidget(results_);
  return box;
}

QWidget* ResultsPanel::BuildJournal() {
  journal_box_ = new QGroupBox(Q("Errores"), this);
  journal_box_->setObjectName(QStringLiteral("ErroresFrame"));
  auto* column = new QVBoxLayout(journal_box_);
  Tight(column);
  journal_ = new JournalTable(state_.Journal, journal_box_);
  journal_->setObjectName(QStringLiteral("Errores"));
  column->addWidget(journal_, 1);
  auto* tools = new QHBoxLayout;
  tools->setSpacing(3);
  tools->addStretch(1);
  auto* copy = new QToolButton(journal_box_);
  copy->setObjectName(QStringLiteral("CopiarErrores"));
  copy->setText(Q("Copiar"));
  copy->setToolTip(Q("Copia el diario de errores al portapapeles, en columnas separadas por tabuladores"));
  connect(copy, &QToolButton::clicked, this,
          [this] { QGuiApplication::clipboard()->setText(JournalText()); });
  tools->addWidget(copy);
  auto* save = new QToolButton(journal_box_);
  save->setObjectName(QStringLiteral("GuardarErrores"));
  save->setText(Q("Guardar…"));
  save->setToolTip(Q("Guarda el diario de errores en un archivo de texto"));
  connect(save, &QToolButton::clicked, this, [this] {
    QString path = QFileDialog::getSaveFileName(this, Q("Guardar el diario de errores"),
                                                Q("errores.txt"), Q("Texto (*.txt)"));
    if (path.isEmpty()) return;
    if (!SaveJournal(path))
      QMessageBox::warning(this, Q(Actualiz::kTitle), Q("No se pudo escribir %1").arg(path));
  });
  tools->addWidget(save);
  column->addLayout(tools);
  SyncJournal();
  return journal_box_;
}

void ResultsPanel::SyncJournal() {
  journal_->Sync();
  const int count = static_cast<int>(state_.Journal.Entries().size());
  journal_box_->setTitle(Q("Errores (%1)").arg(count));
  journal_box_->setStyleSheet(count > 0 ? QStringLiteral("QGroupBox::title { color: #c00000; }")
                                        : QString());
}

void ResultsPanel::ClearResults() { results_->setRowCount(0); }

QString ResultsPanel::ShowResults() { return results_->Show(); }

QString ResultsPanel::JournalText() const { return journal_->AsText(); }

bool ResultsPanel::SaveJournal(const QString& path) const {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) return false;
  QByteArray bytes = JournalText().toUtf8();
  return file.write(bytes) == bytes.size() && file.flush();
}

}  // namespace brenquil::gui
