// What the window shows of a finished operation: the journal as a table of
// Base, Paso, Número and Mensaje, and the results table with each database's
// outcome (in the conditional, on a tinted ground, after a plan). Both read
// the window state's journal and report when told to.
#pragma once

#include <vector>

#include <QString>
#include <QTableWidget>

#include "shell/run_summary.h"

namespace brenquil {

class ErrorJournal;
class RunReport;

namespace gui {

class JournalTable : public QTableWidget {
 public:
  explicit JournalTable(const ErrorJournal& journal, QWidget* parent = nullptr);
  QSize sizeHint() const override { return {300, 80}; }
  QSize minimumSizeHint() const override { return {100, 50}; }

  // Shows the entries the table lacks; starts over when the journal is
  // shorter than the table (a new operation emptied it).
  void Sync();
  // The whole journal as text, one entry a line, fields separated by tabs,
  // with a heading line: what "Copiar" and "Guardar" give.
  QString AsText() const;

 private:
  const ErrorJournal& journal_;
};

class ResultsTable : public QTableWidget {
 public:
  ResultsTable(const RunReport& report, const ErrorJournal& journal, QWidget* parent = nullptr);
  QSize sizeHint() const override { return {300, 80}; }
  QSize minimumSizeHint() const override { return {100, 50}; }

  // Shows every database the report and the journal name, with its outcome;
  // returns the summary line.
  QString Show();
  // The database shown on `row`, as Show found it; null outside the table.
  const DatabaseResult* ResultAt(int row) const;

 private:
  std::vector<DatabaseResult> shown_;
  const RunReport& report_;
  const ErrorJournal& journal_;
};

}  // namespace gui
}  // namespace brenquil
