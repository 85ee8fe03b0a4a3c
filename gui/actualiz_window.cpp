#include "gui/actualiz_window.h"

#include <algorithm>
#include <filesystem>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

#include "engine/error.h"
#include "gui/bindings.h"
#include "gui/data_widgets.h"
#include "gui/field_table.h"
#include "gui/path_edit.h"
#include "gui/reflow_row.h"
#include "gui/run_views.h"
#include "shell/actualiz.h"
#include "shell/ignore_errors.h"
#include "shell/paths.h"
#include "shell/run_summary.h"
#include "shell/step_names.h"

namespace brenquil::gui {

namespace {

namespace fs = std::filesystem;

// The window is repainted at most this often during a run: a transformation
// changes its controls thousands of times, and showing each would dominate it.
constexpr int kRepaintMillis = 50;

// Drops the operator's clicks and keys while an operation runs, so none waits
// in the queue to start something when the run ends. A dialog the operation
// opens (a message box) still takes them.
class InputDrop : public QObject {
 public:
  using QObject::QObject;

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
        return widget && !qobject_cast<QDialog*>(widget->window());
      }
      default:
        return false;
    }
  }
};

// Lists ask for little room, so the layout shares the window by stretch
// factors rather than by Qt's generous default list size.
class CompactList : public QListWidget {
 public:
  using QListWidget::QListWidget;
  QSize sizeHint() const override { return {90, 60}; }
  QSize minimumSizeHint() const override { return {40, 40}; }
};

// The window's wording, for captions built here.
QString Q(const char* utf8) { return QString::fromUtf8(utf8); }

QString Indexed(const char* name, int index) {
  return QStringLiteral("%1[%2]").arg(QLatin1String(name)).arg(index);
}

void Tight(QLayout* layout, int spacing = 3) {
  layout->setContentsMargins(4, 2, 4, 4);
  layout->setSpacing(spacing);
}

QGroupBox* FrameBox(const std::string& caption, const QString& name, QWidget* parent) {
  auto* box = new QGroupBox(ToQt(caption), parent);
  box->setObjectName(name);
  return box;
}

QListWidget* ListWidget(ListBox& list, const QString& name, QWidget* parent, const Gate& gate) {
  auto* widget = new CompactList(parent);
  widget->setObjectName(name);
  BindList(list, widget, gate);
  return widget;
}

QLineEdit* TextWidget(TextBox& box, const QString& name, const QString& hint, QWidget* parent,
                      const Gate& gate) {
  auto* widget = new QLineEdit(parent);
  widget->setObjectName(name);
  widget->setPlaceholderText(hint);
  BindText(box, widget, gate);
  return widget;
}

// A frame holding one list.
QGroupBox* ListFrame(Frame& frame, const QString& frame_name, ListBox& list,
                     const QString& list_name, QWidget* parent, const Gate& gate) {
  auto* box = FrameBox(frame.Caption(), frame_name, parent);
  auto* layout = new QVBoxLayout(box);
  Tight(layout);
  layout->addWidget(ListWidget(list, list_name, box, gate));
  return box;
}

// A frame holding a field row's three lists as one table, named after the
// row's first list ("List1[3]").
QGroupBox* FieldRowFrame(Frame& frame, const QString& frame_name, ControlArray<ListBox>& lists,
                         const char* list_name, int first, QWidget* parent, const Gate& gate) {
  auto* box = FrameBox(frame.Caption(), frame_name, parent);
  auto* layout = new QHBoxLayout(box);
  Tight(layout, 1);
  auto* table = new FieldTable(lists[first], lists[first + 1], lists[first + 2], gate, box);
  table->setObjectName(Indexed(list_name, first));
  layout->addWidget(table);
  return box;
}

std::string ParentFolder(const std::string& path) {
  fs::path folder(path);
  if (folder.has_relative_path() && !folder.has_filename()) folder = folder.parent_path();
  fs::path parent = folder.parent_path();
  return parent.empty() ? folder.root_path().string() : parent.string();
}

bool IsRoot(const std::string& path) {
  fs::path folder(path);
  return folder.has_root_path() && !folder.has_relative_path();
}

}  // namespace

// The folder being browsed: a long path is shortened at its start, so the
// folder's own name stays in view; the whole path is the tooltip.
class PathLabel : public QLabel {
 public:
  using QLabel::QLabel;
  void SetPath(const QString& path) {
    path_ = path;
    setToolTip(path);
    Elide();
  }

 protected:
  void resizeEvent(QResizeEvent* event) override {
    QLabel::resizeEvent(event);
    Elide();
  }

 private:
  void Elide() { setText(fontMetrics().elidedText(path_, Qt::ElideLeft, std::max(width(), 20))); }
  QString path_;
};

ActualizWindow::ActualizWindow(Actualiz& state, QWidget* parent)
    : QWidget(parent), state_(state), gate_(std::make_shared<UpdateGate>()) {
  setObjectName(QStringLiteral("Actualiz"));
  setWindowTitle(Q(Actualiz::kCaption));

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
  top->addWidget(BuildSelection(content), 9);
  top->addWidget(BuildSample(content), 4);
  rows->addLayout(top, 5);

  // The step columns wrap onto a second row on a narrow screen.
  auto* middle = new ReflowRow(content);
  middle->setObjectName(QStringLiteral("StepColumns"));
  middle->AddColumn(BuildTables(middle), 5);
  middle->AddColumn(BuildFields(middle), 6);
  middle->AddColumn(BuildIndexes(middle), 4);
  middle->AddColumn(BuildRelations(middle), 4);
  middle->AddColumn(BuildQueries(middle), 5);
  rows->addWidget(middle, 11);

  auto* bottom = new QHBoxLayout;
  bottom->setContentsMargins(6, 0, 6, 0);
  bottom->setSpacing(4);
  bottom->addWidget(BuildStatus(this), 4);
  bottom->addWidget(BuildResults(this), 4);
  bottom->addWidget(BuildJournal(this), 5);
  outer->addLayout(bottom, 0);

  // Hooks the operations call.
  QPointer<ActualizWindow> self(this);
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
  state_.Journal.Subscribe([self](const JournalEntry&) {
    if (self && !self->state_.Busy()) self->SyncJournal();
  });
  state_.Data2.Subscribe([self] {
    if (self) self->ReloadGrid();
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
}

QWidget* ActualizWindow::BuildSelection(QWidget* parent) {
  auto* area = new QWidget(parent);
  auto* row = new QHBoxLayout(area);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(4);

  // The drive and folder lists.
  auto* browse = new QWidget(area);
  auto* column = new QVBoxLayout(browse);
  column->setContentsMargins(0, 6, 0, 0);
  column->setSpacing(2);
  drives_ = new QComboBox(browse);
  drives_->setObjectName(QStringLiteral("Drive1"));
  column->addWidget(drives_);
  folder_path_ = new PathLabel(browse);
  folder_path_->setObjectName(QStringLiteral("Dir1Path"));
  folder_path_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  column->addWidget(folder_path_);
  folders_ = new CompactList(browse);
  folders_->setObjectName(QStringLiteral("Dir1"));
  folders_->setToolTip(Q("Doble clic: abrir la carpeta"));
  column->addWidget(folders_, 1);
  row->addWidget(browse, 4);

  QPointer<ActualizWindow> self(this);
  state_.Drive1.Subscribe([self] {
    if (self) self->ShowDrives();
  });
  state_.Dir1.Subscribe([self] {
    if (self) self->ShowFolders();
  });
  ShowDrives();
  ShowFolders();
  connect(drives_, &QComboBox::activated, this, [this](int index) {
    std::string drive = FromQt(drives_->itemText(index));
    RunOperatorAction("Drive1_Change", [this, drive] {
      state_.Drive1.SetDrive(drive);
      state_.Drive1_Change();
    });
  });
  connect(folders_, &QListWidget::itemActivated, this,
          [this](QListWidgetItem* item) { OpenFolder(item->text()); });

  row->addWidget(ListFrame(state_.Frame7, "Frame7", state_.List6, "List6", area, gate_), 3);
  row->addWidget(ListFrame(state_.Frame8, "Frame8", state_.List7, "List7", area, gate_), 3);
  auto* added = ListFrame(state_.Frame10, "Frame10", state_.List8, "List8", area, gate_);
  added->layout()->addWidget(MakeButton(15, added));
  row->addWidget(added, 3);
  // Picking an old database by hand names its pair in the path boxes.
  if (auto* old = area->findChild<QListWidget*>(QStringLiteral("List6"))) {
    connect(old, &QListWidget::currentRowChanged, this, [this](int) {
      if (!state_.Busy()) state_.List6_Click();
    });
  }

  // The pair of databases being worked on, each with its button.
  auto* pair = new QWidget(area);
  auto* pair_column = new QVBoxLayout(pair);
  pair_column->setContentsMargins(0, 0, 0, 0);
  pair_column->setSpacing(4);
  struct PathBox {
    int frame;
    TextBox* text;
    const char* text_name;
    int button;
  };
  for (const PathBox& p : {PathBox{0, &state_.Text3, "Text3", 1}, PathBox{1, &state_.Text4, "Text4", 7}}) {
    auto* box = FrameBox(state_.Frame1[p.frame].Caption(), Indexed("Frame1", p.frame), pair);
    auto* line = new QHBoxLayout(box);
    Tight(line);
    auto* path = new PathEdit(box);
    path->setObjectName(QLatin1String(p.text_name));
    BindText(*p.text, path, gate_);
    line->addWidget(path, 1);
    auto* button = MakeButton(p.button, box);
    line->addWidget(button);
    pair_column->addWidget(box);
  }
  pair_column->addStretch(1);
  row->addWidget(pair, 6);
  return area;
}

QWidget* ActualizWindow::BuildSample(QWidget* parent) {
  auto* box = new QGroupBox(ToQt("Neptuno.mdb: Empleados"), parent);
  box->setObjectName(QStringLiteral("Sample"));
  auto* row = new QHBoxLayout(box);
  Tight(row);
  auto* buttons = new QVBoxLayout;
  buttons->setSpacing(3);
  for (int n : {4, 5, 3}) {
    auto* button = MakeButton(n, box);
    buttons->addWidget(button);
  }
  buttons->addStretch(1);
  row->addLayout(buttons);
  grid_ = new DataGrid(state_.Data2, box);
  grid_->setObjectName(QStringLiteral("DBGrid1"));
  row->addWidget(grid_, 1);
  ReloadGrid();
  return box;
}

QWidget* ActualizWindow::BuildTables(QWidget* parent) {
  auto* area = new QWidget(parent);
  auto* grid = new QGridLayout(area);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setSpacing(3);
  grid->addWidget(ListFrame(state_.Frame4, "Frame4", state_.List2, "List2", area, gate_), 0, 0);
  grid->addWidget(ListFrame(state_.Frame5, "Frame5", state_.List3, "List3", area, gate_), 0, 1);
  grid->addWidget(ListFrame(state_.Frame6, "Frame6", state_.List4, "List4", area, gate_), 1, 0);
  auto* buttons = new QVBoxLayout;
  buttons->setSpacing(3);
  for (int n : {6, 8, 9, 2}) {
    auto* button = MakeButton(n, area);
    buttons->addWidget(button);
  }
  buttons->addStretch(1);
  grid->addLayout(buttons, 1, 1);
  grid->addWidget(TextWidget(state_.Text2, "Text2", Q("Tablas del modelo"), area, gate_), 2, 0, 1, 2);
  grid->addWidget(TextWidget(state_.Text5, "Text5", Q("Ruta del modelo"), area, gate_), 3, 0, 1, 2);
  grid->setRowStretch(0, 1);
  grid->setRowStretch(1, 1);
  return area;
}

QWidget* ActualizWindow::BuildFields(QWidget* parent) {
  auto* area = new QWidget(parent);
  auto* column = new QVBoxLayout(area);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(3);
  column->addWidget(FieldRowFrame(state_.Frame2[0], "Frame2[0]", state_.List1, "List1", 0, area, gate_), 1);
  column->addWidget(FieldRowFrame(state_.Frame2[1], "Frame2[1]", state_.List1, "List1", 3, area, gate_), 1);
  column->addWidget(FieldRowFrame(state_.Frame3, "Frame3", state_.List5, "List5", 0, area, gate_), 1);
  auto* buttons = new QHBoxLayout;
  buttons->setSpacing(3);
  for (int n : {10, 11, 12}) {
    auto* button = MakeButton(n, area);
    buttons->addWidget(button);
  }
  column->addLayout(buttons);
  return area;
}

QWidget* ActualizWindow::BuildIndexes(QWidget* parent) {
  auto* area = new QWidget(parent);
  auto* column = new QVBoxLayout(area);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(3);
  column->addWidget(ListFrame(state_.Frame12, "Frame12", state_.List10, "List10", area, gate_), 1);
  auto* catalogue = FrameBox(state_.Frame2[2].Caption(), "Frame2[2]", area);
  auto* boxes = new QVBoxLayout(catalogue);
  Tight(boxes, 2);
  const char* columns[] = {"nombreind", "tabla", "campo", "unico"};
  for (int i = 0; i < 4; ++i)
    boxes->addWidget(TextWidget(state_.Text1[i], Indexed("Text1", i), Q(columns[i]), catalogue, gate_));
  column->addWidget(catalogue);
  for (int n : {19, 17, 18, 16}) {
    auto* button = MakeButton(n, area);
    column->addWidget(button);
  }
  return area;
}

QWidget* ActualizWindow::BuildRelations(QWidget* parent) {
  auto* area = new QWidget(parent);
  auto* column = new QVBoxLayout(area);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(3);
  auto* lists = new QHBoxLayout;
  lists->setSpacing(3);
  for (int i : {0, 1})
    lists->addWidget(ListFrame(state_.Frame11[i], Indexed("Frame11", i), state_.List9[i],
                               Indexed("List9", i), area, gate_));
  column->addLayout(lists, 1);
  auto* catalogue = FrameBox(state_.Frame2[3].Caption(), "Frame2[3]", area);
  auto* boxes = new QGridLayout(catalogue);
  Tight(boxes, 2);
  const char* columns[] = {"nombrerel", "tabla", "tablafor", "atributos", "campo", "campofor"};
  for (int i = 0; i < 6; ++i)
    boxes->addWidget(TextWidget(state_.Text6[i], Indexed("Text6", i), Q(columns[i]), catalogue, gate_),
                     i / 2, i % 2);
  column->addWidget(catalogue);
  for (int n : {22, 20, 21}) {
    auto* button = MakeButton(n, area);
    column->addWidget(button);
  }
  return area;
}

QWidget* ActualizWindow::BuildQueries(QWidget* parent) {
  auto* area = new QWidget(parent);
  auto* column = new QVBoxLayout(area);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(3);
  auto* lists = new QHBoxLayout;
  lists->setSpacing(3);
  lists->addWidget(ListFrame(state_.Frame11[4], "Frame11[4]", state_.List11[0], "List11[0]", area, gate_));
  lists->addWidget(ListFrame(state_.Frame11[2], "Frame11[2]", state_.List11[1], "List11[1]", area, gate_));
  column->addLayout(lists, 1);
  column->addWidget(
      ListFrame(state_.Frame11[3], "Frame11[3]", state_.List11[3], "List11[3]", area, gate_), 1);

  QPointer<ActualizWindow> self(this);
  auto* navigator = new DataNavigator(
      state_.Data5,
      [self](const Error& error) {
        if (!self) return;
        JournalError(self->state_, "Data5", error);
        self->ShowError(error);
      },
      area);
  BindVisible(state_.Data5, navigator);
  column->addWidget(navigator);
  column->addWidget(TextWidget(state_.campocon[0], "campocon[0]", Q("nombrecon"), area, gate_));
  column->addWidget(TextWidget(state_.campocon[1], "campocon[1]", Q("consulta"), area, gate_));
  auto* buttons = new QHBoxLayout;
  buttons->setSpacing(3);
  for (int n : {24, 23}) {
    auto* button = MakeButton(n, area);
    buttons->addWidget(button);
  }
  column->addLayout(buttons);
  return area;
}

QWidget* ActualizWindow::BuildStatus(QWidget* parent) {
  auto* box = FrameBox(state_.Frame9.Caption(), "Frame9", parent);
  auto* column = new QVBoxLayout(box);
  Tight(column);

  auto* bars = new QFrame(box);
  bars->setObjectName(QStringLiteral("Frame13"));
  bars->setFrameShape(QFrame::StyledPanel);
  auto* grid = new QGridLayout(bars);
  Tight(grid, 2);
  grid->setHorizontalSpacing(6);
  struct Row {
    Label* label;
    const char* label_name;
    ProgressBar* bar;
    const char* bar_name;
  };
  const Row rows[] = {
      {&state_.Label1, "Label1", &state_.Bar1, "Bar1"},
      {&state_.Label2, "Label2", &state_.Bar2, "Bar2"},
      {&state_.Label3, "Label3", &state_.Bar3, "Bar3"},
      {&state_.Label6, "Label6", &state_.Bar4, "Bar4"},
      {&state_.Label7, "Label7", &state_.Bar5, "Bar5"},
      {&state_.Label8, "Label8", &state_.Bar6, "Bar6"},
  };
  // Two columns of three: bases, tables, fields; indexes, relations, queries.
  for (int i = 0; i < 6; ++i) {
    auto* label = new QLabel(bars);
    label->setObjectName(QLatin1String(rows[i].label_name));
    BindLabel(*rows[i].label, label, gate_);
    auto* bar = new QProgressBar(bars);
    bar->setObjectName(QLatin1String(rows[i].bar_name));
    bar->setMaximumHeight(label->sizeHint().height() + 4);
    BindBar(*rows[i].bar, bar, gate_);
    grid->addWidget(label, i % 3, (i / 3) * 2);
    grid->addWidget(bar, i % 3, (i / 3) * 2 + 1);
    grid->setColumnStretch((i / 3) * 2 + 1, 1);
  }
  BindVisible(state_.Frame13, bars);
  column->addWidget(bars);

  auto* status = new QLabel(box);
  status->setObjectName(QStringLiteral("Label4"));
  QFont bold = status->font();
  bold.setBold(true);
  status->setFont(bold);
  BindLabel(state_.Label4, status, gate_);
  column->addWidget(status);
  summary_ = new QLabel(box);
  summary_->setObjectName(QStringLiteral("Resumen"));
  summary_->setWordWrap(true);
  summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  column->addWidget(summary_);
  column->addStretch(1);
  column->addLayout(BuildBackup(box));

  // Room stays between the two for another operation's button.
  auto* line = new QHBoxLayout;
  line->addWidget(BuildPreview(box));
  for (int n : {13, 14}) {
    auto* button = MakeButton(n, box);
    button->setFont(bold);
    button->setMinimumSize(110, 28);
    line->addWidget(button);
    if (n == 13) line->addStretch(1);
  }
  column->addLayout(line);
  return box;
}

QHBoxLayout* ActualizWindow::BuildBackup(QWidget* parent) {
  auto* line = new QHBoxLayout;
  line->setSpacing(3);
  backup_ = new QCheckBox(Q("Copia de seguridad"), parent);
  backup_->setObjectName(QStringLiteral("CopiaSeguridad"));
  backup_folder_ = new QLineEdit(parent);
  backup_folder_->setObjectName(QStringLiteral("CarpetaCopias"));
  backup_folder_->setPlaceholderText(Q("Carpeta de las copias"));
  auto* choose = new QPushButton(QStringLiteral("…"), parent);
  choose->setObjectName(QStringLiteral("ElegirCarpetaCopias"));
  auto update = [this] {
    state_.BackupFolder = backup_->isChecked() ? FromQt(backup_folder_->text()) : std::string();
  };
  connect(backup_, &QCheckBox::toggled, this, update);
  connect(backup_folder_, &QLineEdit::textChanged, this, update);
  connect(choose, &QPushButton::clicked, this, [this] {
    QString folder = QFileDialog::getExistingDirectory(this, Q("Copia de seguridad"), backup_folder_->text());
    if (folder.isEmpty()) return;
    backup_folder_->setText(folder);
    backup_->setChecked(true);
  });
  line->addWidget(backup_);
  line->addWidget(backup_folder_, 1);
  line->addWidget(choose);
  return line;
}

QPushButton* ActualizWindow::BuildPreview(QWidget* parent) {
  auto* preview = new QPushButton(Q("Previsualizar"), parent);
  preview->setObjectName(QStringLiteral("Previsualizar"));
  QFont bold = preview->font();
  bold.setBold(true);
  preview->setFont(bold);
  preview->setMinimumSize(110, 28);
  connect(preview, &QPushButton::clicked, this, [this] { PressPreview(); });
  return preview;
}

void ActualizWindow::PressPreview() {
  if (state_.Busy()) return;
  // The plan starts its own journal and results (Actualiz::Preview).
  transforming_ = true;
  auto error = state_.Preview();
  transforming_ = false;
  if (error) ShowError(*error);
}

QWidget* ActualizWindow::BuildResults(QWidget* parent) {
  auto* box = new QGroupBox(Q("Resultados"), parent);
  box->setObjectName(QStringLiteral("ResultadosFrame"));
  auto* column = new QVBoxLayout(box);
  Tight(column);
  results_ = new ResultsTable(state_.Report, state_.Journal, box);
  results_->setObjectName(QStringLiteral("Resultados"));
  column->addWidget(results_);
  return box;
}

QWidget* ActualizWindow::BuildJournal(QWidget* parent) {
  journal_box_ = new QGroupBox(Q("Errores"), parent);
  journal_box_->setObjectName(QStringLiteral("ErroresFrame"));
  auto* column = new QVBoxLayout(journal_box_);
  Tight(column);
  journal_ = new JournalTable(state_.Journal, journal_box_);
  journal_->setObjectName(QStringLiteral("Errores"));
  column->addWidget(journal_, 1);
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

QPushButton* ActualizWindow::MakeButton(int number, QWidget* parent) {
  auto* button = new QPushButton(parent);
  button->setObjectName(QStringLiteral("Command%1").arg(number));
  button->setToolTip(ToQt(ButtonDescription(number)));
  BindButton(state_.Command[number], button, [this, number] { PressButton(number); });
  return button;
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

QString ActualizWindow::JournalText() const { return journal_->AsText(); }

bool ActualizWindow::SaveJournal(const QString& path) const {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) return false;
  QByteArray bytes = JournalText().toUtf8();
  return file.write(bytes) == bytes.size() && file.flush();
}

void ActualizWindow::OpenFolder(const QString& name) {
  const std::string current = state_.Dir1.Path();
  const std::string target = name == QLatin1String("..") ? ParentFolder(current)
                                                         : Paths::Join(current, FromQt(name));
  RunOperatorAction("Dir1_Change", [this, target] { state_.Dir1.SetPath(target); });
}

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

void ActualizWindow::RunOperatorAction(const std::string& operation,
                                       const std::function<void()>& action) {
  try {
    action();
  } catch (const Error& error) {
    JournalError(state_, operation, error);
    ShowError(error);
  }
}

void ActualizWindow::ShowDrives() {
  QSignalBlocker quiet(drives_);
  drives_->clear();
  for (const auto& drive : state_.Drive1.Drives()) drives_->addItem(ToQt(drive));
  drives_->setCurrentText(ToQt(state_.Drive1.Drive()));
}

void ActualizWindow::ShowFolders() {
  const std::string& path = state_.Dir1.Path();
  folder_path_->SetPath(ToQt(path));
  folders_->clear();
  if (path.empty()) return;
  if (!IsRoot(path)) folders_->addItem(QStringLiteral(".."));
  for (const auto& name : state_.Dir1.SubFolders()) folders_->addItem(ToQt(name));
}

void ActualizWindow::SyncJournal() {
  if (!journal_) return;
  journal_->Sync();
  const int count = static_cast<int>(state_.Journal.Entries().size());
  journal_box_->setTitle(Q("Errores (%1)").arg(count));
  journal_box_->setStyleSheet(count > 0 ? QStringLiteral("QGroupBox::title { color: #c00000; }")
                                        : QString());
}

void ActualizWindow::ReloadGrid() {
  // Reading the grid moves Data2's record set, which must not come back here.
  if (!grid_ || reloading_grid_) return;
  struct Reentry {
    bool& flag;
    explicit Reentry(bool& f) : flag(f) { flag = true; }
    ~Reentry() { flag = false; }
  } reentry(reloading_grid_);
  try {
    grid_->Reload();
  } catch (const Error& error) {
    JournalError(state_, "DBGrid1", error);
  }
}

void ActualizWindow::Tick() {
  if (since_repaint_.elapsed() < kRepaintMillis) return;
  gate_->Flush();
  if (state_.Busy()) {
    SyncJournal();
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
  QString line;
  if (transforming_ && state_.Bar1.Max() > 0 && state_.Bar1.Value() > 0)
    line = Q("Base %1 de %2").arg(state_.Bar1.Value()).arg(state_.Bar1.Max());
  const std::string& operation = state_.CurrentOperation();
  if (!operation.empty() && operation != "Command13_Click") {
    if (!line.isEmpty()) line += Q(" · ");
    line += ToQt(StepName(operation));
  }
  summary_->setText(line);
}

void ActualizWindow::OperationStarted() {
  gate_->Hold();
  // Every button, and the lists that start operations, wait for the end.
  disabled_.clear();
  QList<QWidget*> controls;
  for (auto* button : findChildren<QPushButton*>()) controls << button;
  for (auto* button : findChildren<QToolButton*>()) controls << button;
  controls << drives_ << folders_;
  for (QWidget* control : controls) {
    if (!control->isEnabled()) continue;
    control->setEnabled(false);
    disabled_.emplace_back(control);
  }
  if (!input_drop_) {
    input_drop_ = new InputDrop(this);
    qApp->installEventFilter(input_drop_);
  }
  SyncJournal();
  results_->setRowCount(0);
  summary_->clear();
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
  SyncJournal();
  summary_->setText(results_->Show());
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
