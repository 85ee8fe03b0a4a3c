#include "gui/actualiz_window.h"

#include <algorithm>

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QEventLoop>
#include <QFrame>
#include <QHBoxLayout>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

#include "engine/error.h"
#include "gui/confirm_run_dialog.h"
#include "gui/jet_import_button.h"
#include "gui/reflow_row.h"
#include "gui/results_panel.h"
#include "gui/sample_panel.h"
#include "gui/selection_panel.h"
#include "gui/status_panel.h"
#include "gui/step_columns.h"
#include "shell/actualiz.h"
#include "shell/backups.h"
#include "shell/ignore_errors.h"
#include "shell/step_names.h"

namespace brenquil::gui {

namespace {

// The window is repainted at most this often during a run: a transformation
// changes its controls thousands of times, and showing each would dominate it.
constexpr int kRepaintMillis = 50;

// Drops the operator's clicks and keys while an operation runs, so none waits
// in the queue to start something when the run ends. A dialog the operation
// opens (a message box) still takes them, and so does "Detener": the one
// control meant for a run under way. Its click is handled when the run next
// repaints the window (Tick), between two of the run's changes.
class InputDrop : public QObject {
 public:
  InputDrop(QWidget* allowed, QObject* parent) : QObject(parent), allowed_(allowed) {}

 protected:
  bool eventFilter(QObject* target, QEvent* event) override {
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::KeyPress:
      case QEvent::KeyRelease:
      case QEvent::Shortcut:
      case QEvent::ShortcutOverride: {
        auto* widget = qobject_cast<QWidget*>(target);
        if (!widget || widget == allowed_) return false;
        return !qobject_cast<QDialog*>(widget->window());
      }
      default:
        return false;
    }
  }

 private:
  QPointer<QWidget> allowed_;
};

}  // namespace

ActualizWindow::ActualizWindow(Actualiz& state, QWidget* parent)
    : QWidget(parent), state_(state), gate_(std::make_shared<UpdateGate>()) {
  setObjectName(QStringLiteral("Actualiz"));
  setWindowTitle(Q(Actualiz::kCaption));
  const ButtonMaker make_button = [this](int number, QWidget* parent) {
    return MakeButton(number, parent);
  };
  QPointer<ActualizWindow> self(this);
  const ErrorReporter report = [self](const std::string& operation, const Error& error) {
    if (self) self->ReportError(operation, error);
  };

  // The selection and the steps sit in a scroll area: on a small screen the
  // operator scrolls them, while the status, "Transformar", the results and
  // the journal below stay in view.
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 4);
  outer->setSpacing(2);
  auto* scroll = new QScrollArea(this);
  scroll->setObjectName(QStringLiteral("Steps"));
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  outer->addWidget(scroll, 1);
  auto* content = new QWidget(scroll);
  scroll->setWidget(content);

  auto* rows = new QVBoxLayout(content);
  rows->setContentsMargins(6, 4, 6, 0);
  rows->setSpacing(4);

  auto* top = new QHBoxLayout;
  top->setSpacing(4);
  selection_ = new SelectionPanel(state_, gate_, make_button, report, content);
  top->addWidget(selection_, 9);
  selection_->AddTool(new JetImportButton(
      state_, [this](const Error& error) { ShowError(error); },
      [this](const QString& line) { status_->SetSummary(line); }, selection_));
  top->addWidget(new SamplePanel(state_, make_button, content), 4);
  rows->addLayout(top, 5);

  // The step columns wrap onto a second row on a narrow screen.
  auto* middle = new ReflowRow(content);
  middle->setObjectName(QStringLiteral("StepColumns"));
  const StepColumnParts parts{state_, gate_, make_button, report};
  middle->AddColumn(TablesColumn(parts, middle), 5);
  middle->AddColumn(FieldsColumn(parts, middle), 6);
  middle->AddColumn(IndexesColumn(parts, middle), 4);
  middle->AddColumn(RelationsColumn(parts, middle), 4);
  middle->AddColumn(QueriesColumn(parts, middle), 5);
  rows->addWidget(middle, 11);

  auto* bottom = new QHBoxLayout;
  bottom->setContentsMargins(6, 0, 6, 0);
  bottom->setSpacing(4);
  status_ = new StatusPanel(
      state_, gate_, make_button, [this] { PressPreview(); }, [this] { PressDetener(); }, this);
  bottom->addWidget(status_, 4);
  results_ = new ResultsPanel(state_, this);
  bottom->addWidget(results_, 9);
  outer->addLayout(bottom, 0);

  // Hooks the operations call.
  state_.MsgBox = [self](const std::string& text, const std::string& title) {
    QMessageBox box(QMessageBox::Information, ToQt(title), ToQt(text), QMessageBox::Ok,
                    self.data());
    box.exec();
  };
  state_.EndProgram = [self] {
    // "Salir" runs as an operation, yet its own closing must go through.
    if (self) self->ending_ = true;
    QApplication::closeAllWindows();
    QCoreApplication::quit();
  };
  state_.OnMousePointer([self](int pointer) {
    if (self) self->SetWaiting(pointer == kPointerHourglass);
  });
  state_.Frame13.Subscribe([self] {
    if (self) self->Tick();
  });
  state_.OnOperation([self] {
    if (self) self->Tick();
  });
  state_.OnBusy([self](bool busy) {
    if (!self) return;
    if (busy)
      self->OperationStarted();
    else
      self->OperationEnded();
  });
  // Between two databases the run asks whether to stop: a click on
  // "Detener" that waits in the queue is handled then, whatever time the
  // last repaint was, so the run stops after the database it just finished.
  state_.SetStopSource([self] {
    if (self && self->state_.Busy()) QCoreApplication::processEvents(QEventLoop::AllEvents);
    return false;
  });
  state_.Journal.Subscribe([self](const JournalEntry&) {
    if (self && !self->state_.Busy()) self->results_->SyncJournal();
  });
  since_repaint_.start();

  // The window opens at a size that fits the screen it is on, 1366 by 768
  // included, leaving room for a title bar.
  QRect screen = QGuiApplication::primaryScreen()
                     ? QGuiApplication::primaryScreen()->availableGeometry()
                     : QRect(0, 0, 1366, 768);
  resize(std::min(1366, screen.width()), std::min(740, screen.height() - 28));
  move(screen.topLeft());
}

ActualizWindow::~ActualizWindow() {
  SetWaiting(false);
  state_.MsgBox = nullptr;
  state_.EndProgram = nullptr;
  state_.OnMousePointer(nullptr);
  state_.SetStopSource(nullptr);
}

void ActualizWindow::PressPreview() {
  if (state_.Busy()) return;
  if (auto error = RunPlan()) ShowError(*error);
}

std::optional<Error> ActualizWindow::RunPlan() {
  // The plan starts its own journal and results (Actualiz::Preview).
  transforming_ = true;
  auto error = state_.Preview();
  transforming_ = false;
  return error;
}

QPushButton* ActualizWindow::MakeButton(int number, QWidget* parent) {
  auto* button = new QPushButton(parent);
  button->setObjectName(QStringLiteral("Command%1").arg(number));
  button->setToolTip(ToQt(ButtonDescription(number)));
  // "Transformar" asks before it changes anything.
  BindButton(state_.Command[number], button, [this, number] {
    if (number == 13)
      PressTransformar();
    else
      PressButton(number);
  });
  return button;
}

void ActualizWindow::PressTransformar() {
  if (state_.Busy()) return;
  // A plan that could not be made (no data folder, another run under way)
  // asks nothing.
  if (auto error = RunPlan()) {
    ShowError(*error);
    return;
  }
  if (state_.Report.Stopped() || !state_.Report.Plan()) return;
  ConfirmRunDialog question(state_, status_->Backup(), status_->BackupFolder(), this);
  if (question.exec() != QDialog::Accepted) return;
  status_->SetBackup(question.Backup(), question.BackupFolder());
  // A backup folder that cannot be made refuses the run before it starts,
  // with the message the command line gives.
  if (question.Backup()) {
    try {
      RunBackups(FromQt(question.BackupFolder())).Prepare();
    } catch (const Error& error) {
      ShowError(error);
      return;
    }
  }
  PressButton(13);
}

void ActualizWindow::PressDetener() {
  if (!state_.Busy()) return;
  state_.RequestStop();
  stopping_ = true;
  status_->StopButton()->setEnabled(false);
  status_->SetSummary(Q("Deteniendo: se termina la base que está en curso…"));
}

void ActualizWindow::PressButton(int number) {
  if (state_.Busy()) return;
  // Each press is reported on its own: the journal and the results start empty.
  state_.Journal.Clear();
  state_.Report.Clear();
  transforming_ = number == 13;
  auto error = state_.Press(number);
  transforming_ = false;
  if (error) ShowError(*error);
}

QString ActualizWindow::DetailText() const { return results_->DetailText(); }

QString ActualizWindow::JournalText() const { return results_->JournalText(); }

bool ActualizWindow::SaveJournal(const QString& path) const { return results_->SaveJournal(path); }

void ActualizWindow::OpenFolder(const QString& name) { selection_->OpenFolder(name); }

void ActualizWindow::ShowError(const Error& error) {
  QMessageBox box(QMessageBox::Critical, Q(Actualiz::kTitle), ErrorMessage(error),
                  QMessageBox::Ok, this);
  box.exec();
}

void ActualizWindow::closeEvent(QCloseEvent* event) {
  if (state_.Busy() && !ending_) {
    event->ignore();
    return;
  }
  // Closing the main window ends the program, as "Salir" does; the start-up
  // form behind it has nothing left to do.
  event->accept();
  QCoreApplication::quit();
}

void ActualizWindow::ReportError(const std::string& operation, const Error& error) {
  JournalError(state_, operation, error);
  ShowError(error);
}

void ActualizWindow::Tick() {
  if (since_repaint_.elapsed() < kRepaintMillis) return;
  gate_->Flush();
  if (state_.Busy()) {
    results_->SyncJournal();
    ShowProgressLine();
    // Lets the window paint; the clicks and keys that came meanwhile reach
    // InputDrop and are dropped rather than left waiting for the run's end.
    QCoreApplication::processEvents(QEventLoop::AllEvents);
  } else {
    // An operation called outside a press: paint, and leave input for later.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  }
  since_repaint_.restart();
}

void ActualizWindow::ShowProgressLine() {
  // Once "Detener" was pressed the line says so until the run ends.
  if (stopping_) return;
  QString line;
  if (transforming_ && state_.Bar1.Max() > 0 && state_.Bar1.Value() > 0)
    line = Q("Base %1 de %2").arg(state_.Bar1.Value()).arg(state_.Bar1.Max());
  const std::string& operation = state_.CurrentOperation();
  if (!operation.empty() && operation != "Command13_Click") {
    if (!line.isEmpty()) line += Q(" · ");
    line += ToQt(StepName(operation));
  }
  status_->SetSummary(line);
}

void ActualizWindow::OperationStarted() {
  gate_->Hold();
  // Every button, and the lists that start operations, wait for the end.
  disabled_.clear();
  QList<QWidget*> controls;
  for (auto* button : findChildren<QPushButton*>()) controls << button;
  for (auto* button : findChildren<QToolButton*>()) controls << button;
  controls << selection_->Drives() << selection_->Folders();
  for (QWidget* control : controls) {
    if (!control->isEnabled()) continue;
    control->setEnabled(false);
    disabled_.emplace_back(control);
  }
  // "Detener" is the one control a run leaves to the operator.
  stopping_ = false;
  status_->StopButton()->setEnabled(true);
  if (!input_drop_) {
    input_drop_ = new InputDrop(status_->StopButton(), this);
    qApp->installEventFilter(input_drop_);
  }
  results_->SyncJournal();
  results_->ClearResults();
  status_->SetSummary(QString());
  since_repaint_.restart();
}

void ActualizWindow::OperationEnded() {
  gate_->Release();
  // Input that came during the last slice of the run is dropped too.
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  if (input_drop_) {
    qApp->removeEventFilter(input_drop_);
    delete input_drop_;
    input_drop_ = nullptr;
  }
  for (auto& control : disabled_)
    if (control) control->setEnabled(true);
  disabled_.clear();
  status_->StopButton()->setEnabled(false);
  results_->SyncJournal();
  status_->SetSummary(results_->ShowResults());
}

void ActualizWindow::SetWaiting(bool waiting) {
  if (waiting == waiting_) return;
  waiting_ = waiting;
  if (waiting)
    QApplication::setOverrideCursor(Qt::WaitCursor);
  else
    QApplication::restoreOverrideCursor();
}

}  // namespace brenquil::gui
