// The main window: every control of the Actualiz state in a widget, laid out
// so the eye follows the transformation, plus "Previsualizar" and "Copia de
// seguridad" beside "Transformar", the results of the last operation, the
// error journal "Errores" and a grid of the sample table bound to Data2.
// While an operation runs every button is disabled, the operator's input is
// dropped and the widgets repaint at most every 50 ms. The state is the
// caller's and must outlive the window; the window sets the state's MsgBox,
// EndProgram and pointer hooks and clears them when it goes.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <QElapsedTimer>
#include <QPointer>
#include <QString>
#include <QWidget>

#include "gui/bindings.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace brenquil {

class Actualiz;
class Error;

namespace gui {

class DataGrid;
class JournalTable;
class PathLabel;
class ResultsTable;

class ActualizWindow : public QWidget {
 public:
  explicit ActualizWindow(Actualiz& state, QWidget* parent = nullptr);
  ~ActualizWindow() override;
  ActualizWindow(const ActualizWindow&) = delete;
  ActualizWindow& operator=(const ActualizWindow&) = delete;

  Actualiz& State() { return state_; }

  // What a click on button `number` does: empties the journal and the report,
  // runs its operation and shows its results; an error that reaches it is
  // shown with its number and text, and the window goes on. A click while an
  // operation runs does nothing.
  void PressButton(int number);
  // What a click on "Previsualizar" does: the transformation as a plan (see
  // Actualiz::Preview), its journal and results filled afresh, no file
  // changed; shown as a press of "Transformar" is. A click while an
  // operation runs does nothing.
  void PressPreview();
  // The journal as text, as "Copiar" puts it on the clipboard.
  QString JournalText() const;
  // Writes the journal as text to `path`; false when it cannot be written.
  bool SaveJournal(const QString& path) const;
  // Opens an entry of the folder list: a sub-folder of Dir1's path, or ".."
  // for its parent. Setting the path lists the old databases.
  void OpenFolder(const QString& name);
  // Shows an error to the operator in a message box with the program's title.
  void ShowError(const Error& error);

 protected:
  // Closing the window while an operation runs is refused: the run ends first.
  void closeEvent(QCloseEvent* event) override;

 private:
  // Button `number` of the window, named, captioned and pressing its operation.
  QPushButton* MakeButton(int number, QWidget* parent);
  QWidget* BuildSelection(QWidget* parent);
  QWidget* BuildSample(QWidget* parent);
  QWidget* BuildTables(QWidget* parent);
  QWidget* BuildFields(QWidget* parent);
  QWidget* BuildIndexes(QWidget* parent);
  QWidget* BuildRelations(QWidget* parent);
  QWidget* BuildQueries(QWidget* parent);
  QWidget* BuildStatus(QWidget* parent);
  // "Copia de seguridad" (a check box and its folder), which set the state's
  // BackupFolder; and "Previsualizar", beside "Transformar".
  QHBoxLayout* BuildBackup(QWidget* parent);
  QPushButton* BuildPreview(QWidget* parent);
  QWidget* BuildResults(QWidget* parent);
  QWidget* BuildJournal(QWidget* parent);

  // Runs an operator's action that is not a button (a drive or folder pick):
  // an error is journaled and shown, and the window goes on.
  void RunOperatorAction(const std::string& operation, const std::function<void()>& action);
  void ShowFolders();
  void ShowDrives();
  void SyncJournal();
  void ReloadGrid();
  // During a run: at most every 50 ms, repaints what changed and lets the
  // window draw; the operator's input that came meanwhile is dropped.
  void Tick();
  // The line under the status: which database of how many and which step
  // while a run goes on, the summary once it has ended.
  void ShowProgressLine();
  void OperationStarted();
  void OperationEnded();
  void SetWaiting(bool waiting);

  Actualiz& state_;
  Gate gate_;
  QComboBox* drives_ = nullptr;
  PathLabel* folder_path_ = nullptr;
  QListWidget* folders_ = nullptr;
  QGroupBox* journal_box_ = nullptr;
  JournalTable* journal_ = nullptr;
  ResultsTable* results_ = nullptr;
  QLabel* summary_ = nullptr;
  QCheckBox* backup_ = nullptr;
  QLineEdit* backup_folder_ = nullptr;
  DataGrid* grid_ = nullptr;
  QObject* input_drop_ = nullptr;
  std::vector<QPointer<QWidget>> disabled_;
  bool waiting_ = false;
  bool reloading_grid_ = false;
  bool transforming_ = false;
  bool ending_ = false;
  QElapsedTimer since_repaint_;
};

}  // namespace gui
}  // namespace brenquil
