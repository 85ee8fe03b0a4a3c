// The main window: every control of the Actualiz state in a widget, laid out
// so the eye follows the transformation, plus the error journal "Errores" and
// a grid of the sample table bound to Data2. The state is the caller's and
// must outlive the window; the window sets the state's MsgBox, EndProgram and
// pointer hooks and clears them when it goes.
#pragma once

#include <functional>
#include <string>

#include <QElapsedTimer>
#include <QString>
#include <QWidget>

class QCheckBox;
class QComboBox;
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
class PathLabel;

class ActualizWindow : public QWidget {
 public:
  explicit ActualizWindow(Actualiz& state, QWidget* parent = nullptr);
  ~ActualizWindow() override;
  ActualizWindow(const ActualizWindow&) = delete;
  ActualizWindow& operator=(const ActualizWindow&) = delete;

  Actualiz& State() { return state_; }

  // What a click on button `number` does: runs its operation; an error that
  // reaches it is shown with its number and text, and the window goes on.
  void PressButton(int number);
  // What a click on "Previsualizar" does: the transformation as a plan (see
  // Actualiz::Preview), its report and journal filled, no file changed.
  void PressPreview();
  // Opens an entry of the folder list: a sub-folder of Dir1's path, or ".."
  // for its parent. Setting the path lists the old databases.
  void OpenFolder(const QString& name);
  // Shows an error to the operator in a message box with the program's title.
  void ShowError(const Error& error);

 protected:
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
  // "Previsualizar" and "Copia de seguridad" (a check box and its folder),
  // beside "Transformar"; the box and folder set the state's BackupFolder.
  void AddPlanAndBackup(QHBoxLayout* line, QWidget* parent);
  QWidget* BuildJournal(QWidget* parent);

  // Runs an operator's action that is not a button (a drive or folder pick):
  // an error is journaled and shown, and the window goes on.
  void RunOperatorAction(const std::string& operation, const std::function<void()>& action);
  void ShowFolders();
  void ShowDrives();
  void SyncJournal();
  void ReloadGrid();
  void RepaintBars();
  void SetWaiting(bool waiting);

  Actualiz& state_;
  QComboBox* drives_ = nullptr;
  PathLabel* folder_path_ = nullptr;
  QListWidget* folders_ = nullptr;
  QListWidget* journal_ = nullptr;
  QCheckBox* backup_ = nullptr;
  QLineEdit* backup_folder_ = nullptr;
  DataGrid* grid_ = nullptr;
  bool waiting_ = false;
  bool reloading_grid_ = false;
  QElapsedTimer since_repaint_;
};

}  // namespace gui
}  // namespace brenquil
