// What the main window shows of the last operation, at its bottom right:
// "Resultados", each database with its outcome, and "Errores", the journal
// with its count in the title (red when not zero) and the tools that copy it
// to the clipboard or save it to a file. Reads the state's report and journal
// when told to; owns only its widgets.
#pragma once

#include <QString>
#include <QWidget>

class QGroupBox;

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
  // Shows the outcome of every database; returns the summary line.
  QString ShowResults();
  // The journal as text, as "Copiar" puts it on the clipboard.
  QString JournalText() const;
  // Writes the journal as text to `path`; false when it cannot be written.
  bool SaveJournal(const QString& path) const;

 private:
  QWidget* BuildResults();
  QWidget* BuildJournal();

  Actualiz& state_;
  ResultsTable* results_ = nullptr;
  QGroupBox* journal_box_ = nullptr;
  JournalTable* journal_ = nullptr;
};

}  // namespace gui
}  // namespace brenquil
