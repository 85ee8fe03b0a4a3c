#include "gui/results_panel.h"

#include <QClipboard>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include "gui/panel_widgets.h"
#include "gui/run_views.h"
#include "shell/actualiz.h"
#include "shell/run_details.h"
#include "shell/step_names.h"

namespace brenquil::gui {

ResultsPanel::ResultsPanel(Actualiz& state, QWidget* parent) : QWidget(parent), state_(state) {
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(4);
  row->addWidget(BuildResults(), 6);
  row->addWidget(BuildJournal(), 5);
}

QWidget* ResultsPanel::BuildResults() {
  results_box_ = new QGroupBox(Q("Resultados"), this);
  results_box_->setObjectName(QStringLiteral("ResultadosFrame"));
  auto* row = new QHBoxLayout(results_box_);
  Tight(row);
  results_ = new ResultsTable(state_.Report, state_.Journal, results_box_);
  results_->setObjectName(QStringLiteral("Resultados"));
  row->addWidget(results_, 4);
  // The details wrap, so a long message is read whole at any width.
  details_ = new QPlainTextEdit(results_box_);
  details_->setObjectName(QStringLiteral("Detalle"));
  details_->setReadOnly(true);
  details_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  details_->setPlaceholderText(Q("Detalle: elija una base en «Resultados» o un error en «Errores»"));
  details_->setMinimumWidth(120);
  row->addWidget(details_, 5);
  connect(results_, &QTableWidget::currentCellChanged, this,
          [this](int current, int, int, int) { ShowDatabase(current); });
  return results_box_;
}

QWidget* ResultsPanel::BuildJournal() {
  journal_box_ = new QGroupBox(Q("Errores"), this);
  journal_box_->setObjectName(QStringLiteral("ErroresFrame"));
  auto* column = new QVBoxLayout(journal_box_);
  Tight(column);
  journal_ = new JournalTable(state_.Journal, journal_box_);
  journal_->setObjectName(QStringLiteral("Errores"));
  column->addWidget(journal_, 1);
  connect(journal_, &QTableWidget::currentCellChanged, this,
          [this](int current, int, int, int) { ShowEntry(current); });
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

void ResultsPanel::ClearResults() {
  results_->setRowCount(0);
  details_->clear();
}

QString ResultsPanel::ShowResults() {
  const QString summary = results_->Show();
  const bool plan = state_.Report.Plan();
  results_box_->setTitle(plan ? Q("Resultados del plan: no se ha cambiado ningún archivo") : Q("Resultados"));
  results_box_->setStyleSheet(plan ? QStringLiteral("QGroupBox::title { color: #1f4e99; }") : QString());
  details_->clear();
  int first = results_->rowCount() > 0 ? 0 : -1;
  for (int row = 0; row < results_->rowCount(); ++row)
    if (results_->ResultAt(row)->errors > 0) {
      first = row;
      break;
    }
  if (first >= 0) results_->setCurrentCell(first, 0);
  return summary;
}

void ResultsPanel::ShowDatabase(int row) {
  const DatabaseResult* result = results_->ResultAt(row);
  if (!result) return;
  QStringList lines;
  for (const auto& line : DatabaseDetails(state_.Report, state_.Journal, *result)) lines << ToQt(line);
  details_->setPlainText(lines.join(QLatin1Char('\n')));
}

void ResultsPanel::ShowEntry(int row) {
  const auto& entries = state_.Journal.Entries();
  if (row < 0 || row >= static_cast<int>(entries.size())) return;
  const JournalEntry& e = entries[static_cast<size_t>(row)];
  QStringList lines;
  if (!e.old.empty()) lines << Q("Base: %1").arg(ToQt(e.old));
  if (!e.model.empty()) lines << Q("Modelo: %1").arg(ToQt(e.model));
  lines << Q("Paso: %1").arg(ToQt(StepName(e.operation)));
  lines << Q("Error %1: %2").arg(e.number).arg(ToQt(e.text));
  details_->setPlainText(lines.join(QLatin1Char('\n')));
}

QString ResultsPanel::DetailText() const { return details_->toPlainText(); }

QString ResultsPanel::JournalText() const { return journal_->AsText(); }

bool ResultsPanel::SaveJournal(const QString& path) const {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) return false;
  QByteArray bytes = JournalText().toUtf8();
  return file.write(bytes) == bytes.size() && file.flush();
}

}  // namespace brenquil::gui
