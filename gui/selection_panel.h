// The database selection at the top of the main window: the drive list and
// the folder list that choose the data folder (Drive1, Dir1), the databases
// "Bases Viejas", "Bases Modelo" and "Bases Añadir" (with its button), and
// the pair being worked on, "Base de Datos Origen" (Text3) and "Directorio de
// Datos" (Text4), each with its button. Tools that act on the databases of
// the data folder as a whole have their row here, under the lists (AddTool).
// Shows the window state's controls; owns only its widgets.
#pragma once

#include <functional>
#include <string>

#include <QString>
#include <QWidget>

#include "gui/panel_widgets.h"

class QComboBox;
class QHBoxLayout;
class QListWidget;

namespace brenquil {

class Actualiz;

namespace gui {

class PathLabel;

class SelectionPanel : public QWidget {
 public:
  SelectionPanel(Actualiz& state, const Gate& gate, const ButtonMaker& make_button,
                 ErrorReporter report_error, QWidget* parent = nullptr);

  // Opens an entry of the folder list: a sub-folder of Dir1's path, or ".."
  // for its parent. Setting the path lists the old databases.
  void OpenFolder(const QString& name);
  // Adds a tool button to the row under the database lists.
  void AddTool(QWidget* tool);

  // The drive and folder lists: they start operations, so a run disables them.
  QComboBox* Drives() const { return drives_; }
  QListWidget* Folders() const { return folders_; }

 private:
  QWidget* BuildBrowse();
  QWidget* BuildPair(const ButtonMaker& make_button, const Gate& gate);
  // Runs an operator's pick; an error goes to report_error_.
  void Act(const std::string& operation, const std::function<void()>& action);
  void ShowFolders();
  void ShowDrives();

  Actualiz& state_;
  ErrorReporter report_error_;
  QComboBox* drives_ = nullptr;
  PathLabel* folder_path_ = nullptr;
  QListWidget* folders_ = nullptr;
  QHBoxLayout* tools_ = nullptr;
};

}  // namespace gui
}  // namespace brenquil
