#include "gui/run_views.h"

#include <cstdlib>

#include <QBrush>
#include <QHeaderView>

#include "gui/bindings.h"
#include "shell/error_journal.h"
#include "shell/run_report.h"
#include "shell/run_summary.h"
#include "shell/step_names.h"

namespace brenquil::gui {

namespace {

void Prepare(QTableWidget& table, const QStringList& headers) {
  table.setColumnCount(static_cast<int>(headers.size()));
  table.setHorizontalHeaderLabels(headers);
  table.setEditTriggers(QAbstractItemView::NoEditTriggers);
  table.setSelectionBehavior(QAbstractItemView::SelectRows);
  table.setWordWrap(false);
  table.setTextElideMode(Qt::ElideRight);
  table.verticalHeader()->hide();
  table.verticalHeader()->setDefaultSectionSize(table.fontMetrics().height() + 4);
  table.horizontalHeader()->setStretchLastSection(true);
  table.horizontalHeader()->setMinimumSectionSize(24);
}

// The button that runs a window operation, as the window shows it:
// "Botón «Lista de Tablas»"; empty for an operation without one.
QString StepTip(const std::string& operation) {
  if (operation.rfind("Command", 0) != 0) return {};
  const int number = std::atoi(operation.c_str() + 7);
  const std::string description = ButtonDescription(number);
  return description.empty() ? QString() : QString::fromUtf8("Botón: %1").arg(ToQt(description));
}

QTableWidgetItem* Cell(const QString& text, const QString& tip) {
  auto* cell = new QTableWidgetItem(text);
  cell->setToolTip(tip);
  return cell;
}

}  // namespace

JournalTable::JournalTable(const ErrorJournal& journal, QWidget* parent)
    : QTableWidget(parent), journal_(journal) {
  Prepare(*this, {QStringLiteral("Base"), QStringLiteral("Paso"), QString::fromUtf8("Número"),
                  QStringLiteral("Mensaje")});
  // Fixed first columns and the message in the rest: the row fits the table,
  // so the message is read without scrolling sideways.
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setColumnWidth(0, 100);
  setColumnWidth(1, fontMetrics().horizontalAdvance(QStringLiteral("Transformación")) + 12);
  setColumnWidth(2, fontMetrics().horizontalAdvance(QString::fromUtf8("Número")) + 12);
}

void JournalTable::Sync() {
  const auto& entries = journal_.Entries();
  if (rowCount() > static_cast<int>(entries.size())) setRowCount(0);
  const int shown = rowCount();
  if (shown == static_cast<int>(entries.size())) return;
  setRowCount(static_cast<int>(entries.size()));
  for (int row = shown; row < rowCount(); ++row) {
    const JournalEntry& e = entries[static_cast<size_t>(row)];
    QString pair = e.old.empty() && e.model.empty()
                       ? QString()
                       : ToQt(e.old) + QStringLiteral("\n") + QString::fromUtf8("modelo: ") +
                             ToQt(e.model);
    setItem(row, 0, Cell(ToQt(FileNameOf(e.old)), pair));
    setItem(row, 1, Cell(ToQt(StepName(e.operation)), StepTip(e.operation)));
    auto* number = Cell(QString::number(e.number), QString());
    number->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setItem(row, 2, number);
    // The row keeps one line; selecting it shows the whole message in the
    // details pane, and the tooltip has it too.
    setItem(row, 3, Cell(ToQt(e.text), ToQt(e.text)));
  }
  scrollToBottom();
}

QString JournalTable::AsText() const {
  QString text = QString::fromUtf8("Base\tPaso\tNúmero\tMensaje\tOperación\tModelo\tBase vieja\n");
  for (const auto& e : journal_.Entries()) {
    QStringList fields{ToQt(FileNameOf(e.old)), ToQt(StepName(e.operation)),
                       QString::number(e.number), ToQt(e.text), ToQt(e.operation), ToQt(e.model),
                       ToQt(e.old)};
    for (QString& field : fields) field.replace(QLatin1Char('\t'), QLatin1Char(' '));
    text += fields.join(QLatin1Char('\t')) + QLatin1Char('\n');
  }
  return text;
}

ResultsTable::ResultsTable(const RunReport& report, const ErrorJournal& journal, QWidget* parent)
    : QTableWidget(parent), report_(report), journal_(journal) {
  Prepare(*this, {QStringLiteral("Base"), QStringLiteral("Resultado")});
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setColumnWidth(0, 120);
}

QString ResultsTable::Show() {
  shown_ = Results(report_, journal_);
  const bool plan = report_.Plan();
  // A plan is not a run: its outcomes are tinted, and said in the conditional.
  setStyleSheet(plan ? QStringLiteral("QTableWidget { background: #eef3fb; }") : QString());
  setRowCount(0);
  setRowCount(static_cast<int>(shown_.size()));
  for (int row = 0; row < rowCount(); ++row) {
    const DatabaseResult& r = shown_[static_cast<size_t>(row)];
    const QString outcome = ToQt(OutcomeText(r, plan));
    setItem(row, 0, Cell(ToQt(FileNameOf(r.path)), ToQt(r.path)));
    auto* cell = Cell(outcome, outcome);
    if (r.errors > 0) cell->setForeground(QBrush(Qt::red));
    setItem(row, 1, cell);
  }
  return ToQt(SummaryLine(shown_, journal_.Entries().size(), plan));
}

const DatabaseResult* ResultsTable::ResultAt(int row) const {
  if (row < 0 || row >= static_cast<int>(shown_.size())) return nullptr;
  return &shown_[static_cast<size_t>(row)];
}

}  // namespace brenquil::gui
