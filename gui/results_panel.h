// What the main window shows of the last operation, at its bottom right:
// "Resultados", each database with its outcome, beside "Detalle", all that
// the operation did to the database selected there (or the whole message of
// the journal entry selected), and "Errores", the journal with its count in
// the title (red when not zero) and the tools that copy it to the clipboard
// or save it to a file. After a plan the results say so in their title and
// colour. Reads the state's report and journal when told to; owns only its
// widgets.
#pragma once

#include <QString>
#include <QWidget>

class QGroupBox;
class QPlainTextEdit;

namespace brenquil {

class Actualiz;

namespace gui {

class JournalTable;
class ResultsTable;

class ResultsPanel : public QWidget {
 public:
  explicit ResultsPanel(Actualiz& state, QWidget* parent = nullptr);

  // Shows the journal's entries the table lacks, and its count.
  void SyncJournal();
  // Empties the results (an operation starts).
  void ClearResults();
  // Shows the outcome of every database, with the first that met errors (or
  // the first) in the details pane; returns the summary line.
  QString ShowResults();
  // Shows in the details pane the database on `row` of the results, or the
  // journal entry on `row` of the journal.
  void ShowDatabase(int row);
  void ShowEntry(int row);
  // The details pane's text.
  QString DetailText() const;
  // The journal as text, as "Copiar" puts it on the clipboard.
  QString JournalText() const;
  // Writes the journal as text to `path`; false when it cannot be written.
  bool SaveJournal(const QString& path) const;

 private:
  QWidget* BuildResults();
  QWidget* BuildJournal();

  Actualiz& state_;
  QGroupBox* results_box_ = nullptr;
  ResultsTable* results_ = nullptr;
  QPlainTextEdit* details_ = nullptr;
  QGroupBox* journal_box_ = nullptr;
  JournalTable* journal_ = nullptr;
};

}  // namespace gui
}  // namespace brenquil
