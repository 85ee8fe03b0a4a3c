// The main window: every control of the Actualiz state in a widget, laid out
// so the eye follows the transformation. It puts its panels together (the
// database selection and the sample at the top, the step columns in the
// middle, the status and the results at the bottom; each panel's header says
// what it shows) and owns what no panel does: the presses of the buttons and
// of "Previsualizar", the window's behaviour while an operation runs (every
// button disabled, the operator's input dropped, the widgets repainted at
// most every 50 ms) and the messages to the operator. The state is the
// caller's and must outlive the window; the window sets the state's MsgBox,
// EndProgram and pointer hooks and clears them when it goes.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <QElapsedTimer>
#include <QPointer>
#include <QString>
#include <QWidget>

#include "engine/error.h"
#include "gui/bindings.h"

class QPushButton;

namespace brenquil {

class Actualiz;
class Error;

namespace gui {

class ResultsPanel;
class SamplePanel;
class SelectionPanel;
class StatusPanel;

class ActualizWindow : public QWidget {
 public:
  explicit ActualizWindow(Actualiz& state, QWidget* parent = nullptr);
  ~ActualizWindow() override;
  ActualizWindow(const ActualizWindow&) = delete;
  ActualizWindow& operator=(const ActualizWindow&) = delete;

  Actualiz& State() { return state_; }
  // The database selection at the top, where tools on the data folder go.
  SelectionPanel& Selection() { return *selection_; }

  // What a click on button `number` does: empties the journal and the report,
  // runs its operation and shows its results; an error that reaches it is
  // shown with its number and text, and the window goes on. A click while an
  // operation runs does nothing.
  void PressButton(int number);
  // What a click on "Transformar" does: the plan first (as PressPreview),
  // then the question of ConfirmRunDialog; only its "Transformar" runs the
  // transformation (PressButton(13)), with "Copia de seguridad" as the
  // operator left it there. "Cancelar", or a plan stopped with "Detener",
  // changes nothing. A click while an operation runs does nothing.
  void PressTransformar();
  // What a click on "Detener" does: asks the run under way to stop after the
  // database in hand. It is the one control that takes the operator's input
  // while a run goes on.
  void PressDetener();
  // What a click on "Previsualizar" does: the transformation as a plan (see
  // Actualiz::Preview), its journal and results filled afresh, no file
  // changed; shown as a press of "Transformar" is. A click while an
  // operation runs does nothing.
  void PressPreview();
  // The details pane's text (see ResultsPanel).
  QString DetailText() const;
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
  // An error an operator's action met outside a press: journaled and shown.
  void ReportError(const std::string& operation, const Error& error);
  // During a run: at most every 50 ms, repaints what changed and lets the
  // window draw; the operator's input that came meanwhile is dropped.
  void Tick();
  // The line under the status: which database of how many and which step
  // while a run goes on, the summary once it has ended.
  void ShowProgressLine();
  void OperationStarted();
  void OperationEnded();
  void SetWaiting(bool waiting);
  // The plan "Transformar" works out first; the error that ended it, if any.
  std::optional<Error> RunPlan();

  Actualiz& state_;
  Gate gate_;
  SelectionPanel* selection_ = nullptr;
  StatusPanel* status_ = nullptr;
  ResultsPanel* results_ = nullptr;
  QObject* input_drop_ = nullptr;
  std::vector<QPointer<QWidget>> disabled_;
  bool waiting_ = false;
  bool transforming_ = false;
  bool ending_ = false;
  bool stopping_ = false;
  QElapsedTimer since_repaint_;
};

}  // namespace gui
}  // namespace brenquil
