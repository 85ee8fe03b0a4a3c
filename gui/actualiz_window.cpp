#include "gui/actualiz_window.h"

#include <algorithm>
#include <filesystem>

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QEventLoop>
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
#include <QVBoxLayout>

#include "engine/error.h"
#include "gui/bindings.h"
#include "gui/data_widgets.h"
#include "shell/actualiz.h"
#include "shell/ignore_errors.h"
#include "shell/paths.h"

namespace brenquil::gui {

namespace {

namespace fs = std::filesystem;

// Bars are repainted at most this often during a run: a transformation
// refreshes its frame thousands of times, and painting each would dominate it.
constexpr int kRepaintMillis = 40;

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

QListWidget* ListWidget(ListBox& list, const QString& name, QWidget* parent) {
  auto* widget = new CompactList(parent);
  widget->setObjectName(name);
  BindList(list, widget);
  return widget;
}

QLineEdit* TextWidget(TextBox& box, const QString& name, const QString& hint, QWidget* parent) {
  auto* widget = new QLineEdit(parent);
  widget->setObjectName(name);
  widget->setPlaceholderText(hint);
  BindText(box, widget);
  return widget;
}

// A frame holding one list.
QGroupBox* ListFrame(Frame& frame, const QString& frame_name, ListBox& list,
                     const QString& list_name, QWidget* parent) {
  auto* box = FrameBox(frame.Caption(), frame_name, parent);
  auto* layout = new QVBoxLayout(box);
  Tight(layout);
  layout->addWidget(ListWidget(list, list_name, box));
  return box;
}

// A frame holding a field row's three lists: names wide, type codes and sizes narrow.
QGroupBox* FieldRowFrame(Frame& frame, const QString& frame_name, ControlArray<ListBox>& lists,
                         const char* list_name, int first, QWidget* parent) {
  auto* box = FrameBox(frame.Caption(), frame_name, parent);
  auto* layout = new QHBoxLayout(box);
  Tight(layout, 1);
  for (int k = 0; k < 3; ++k) {
    auto* list = ListWidget(lists[first + k], Indexed(list_name, first + k), box);
    layout->addWidget(list, k == 0 ? 4 : 1);
  }
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
    : QWidget(parent), state_(state) {
  setObjectName(QStringLiteral("Actualiz"));
  setWindowTitle(Q(Actualiz::kCaption));

  // Everything sits in a scroll area: on a screen smaller than the window's
  // layout needs, the operator scrolls instead of losing controls.
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  auto* scroll = new QScrollArea(this);
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  outer->addWidget(scroll);
  auto* content = new QWidget(scroll);
  scroll->setWidget(content);

  auto* rows = new QVBoxLayout(content);
  rows->setContentsMargins(6, 4, 6, 4);
  rows->setSpacing(4);

  auto* top = new QHBoxLayout;
  top->setSpacing(4);
  top->addWidget(BuildSelection(content), 9);
  top->addWidget(BuildSample(content), 4);
  rows->addLayout(top, 5);

  auto* middle = new QHBoxLayout;
  middle->setSpacing(4);
  middle->addWidget(BuildTables(content), 5);
  middle->addWidget(BuildFields(content), 5);
  middle->addWidget(BuildIndexes(content), 4);
  middle->addWidget(BuildRelations(content), 4);
  middle->addWidget(BuildQueries(content), 5);
  rows->addLayout(middle, 11);

  auto* bottom = new QHBoxLayout;
  bottom->setSpacing(4);
  bottom->addWidget(BuildStatus(content), 3);
  bottom->addWidget(BuildJournal(content), 2);
  rows->addLayout(bottom, 4);

  // Hooks the operations call.
  QPointer<ActualizWindow> self(this);
  state_.MsgBox = [self](const std::string& text, const std::string& title) {
    QMessageBox box(QMessageBox::Information, ToQt(title), ToQt(text), QMessageBox::Ok,
                    self.data());
    box.exec();
  };
  state_.EndProgram = [] {
    QApplication::closeAllWindows();
    QCoreApplication::quit();
  };
  state_.OnMousePointer([self](int pointer) {
    if (self) self->SetWaiting(pointer == kPointerHourglass);
  });
  state_.Frame13.Subscribe([self] {
    if (self) self->RepaintBars();
  });
  state_.Journal.Subscribe([self](const JournalEntry&) {
    if (self) self->SyncJournal();
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

  row->addWidget(ListFrame(state_.Frame7, "Frame7", state_.List6, "List6", area), 3);
  row->addWidget(ListFrame(state_.Frame8, "Frame8", state_.List7, "List7", area), 3);
  auto* added = ListFrame(state_.Frame10, "Frame10", state_.List8, "List8", area);
  auto* add_button = new QPushButton(added);
  add_button->setObjectName(QStringLiteral("Command15"));
  BindButton(state_.Command[15], add_button, [this] { PressButton(15); });
  added->layout()->addWidget(add_button);
  row->addWidget(added, 3);

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
    line->addWidget(TextWidget(*p.text, QLatin1String(p.text_name), QString(), box), 1);
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
  grid->addWidget(ListFrame(state_.Frame4, "Frame4", state_.List2, "List2", area), 0, 0);
  grid->addWidget(ListFrame(state_.Frame5, "Frame5", state_.List3, "List3", area), 0, 1);
  grid->addWidget(ListFrame(state_.Frame6, "Frame6", state_.List4, "List4", area), 1, 0);
  auto* buttons = new QVBoxLayout;
  buttons->setSpacing(3);
  for (int n : {6, 8, 9, 2}) {
    auto* button = MakeButton(n, area);
    buttons->addWidget(button);
  }
  buttons->addStretch(1);
  grid->addLayout(buttons, 1, 1);
  grid->addWidget(TextWidget(state_.Text2, "Text2", Q("Tablas del modelo"), area), 2, 0, 1, 2);
  grid->addWidget(TextWidget(state_.Text5, "Text5", Q("Ruta del modelo"), area), 3, 0, 1, 2);
  grid->setRowStretch(0, 1);
  grid->setRowStretch(1, 1);
  return area;
}

QWidget* ActualizWindow::BuildFields(QWidget* parent) {
  auto* area = new QWidget(parent);
  auto* column = new QVBoxLayout(area);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(3);
  column->addWidget(FieldRowFrame(state_.Frame2[0], "Frame2[0]", state_.List1, "List1", 0, area), 1);
  column->addWidget(FieldRowFrame(state_.Frame2[1], "Frame2[1]", state_.List1, "List1", 3, area), 1);
  column->addWidget(FieldRowFrame(state_.Frame3, "Frame3", state_.List5, "List5", 0, area), 1);
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
  column->addWidget(ListFrame(state_.Frame12, "Frame12", state_.List10, "List10", area), 1);
  auto* catalogue = FrameBox(state_.Frame2[2].Caption(), "Frame2[2]", area);
  auto* boxes = new QVBoxLayout(catalogue);
  Tight(boxes, 2);
  const char* columns[] = {"nombreind", "tabla", "campo", "unico"};
  for (int i = 0; i < 4; ++i)
    boxes->addWidget(TextWidget(state_.Text1[i], Indexed("Text1", i), Q(columns[i]), catalogue));
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
                               Indexed("List9", i), area));
  column->addLayout(lists, 1);
  auto* catalogue = FrameBox(state_.Frame2[3].Caption(), "Frame2[3]", area);
  auto* boxes = new QGridLayout(catalogue);
  Tight(boxes, 2);
  const char* columns[] = {"nombrerel", "tabla", "tablafor", "atributos", "campo", "campofor"};
  for (int i = 0; i < 6; ++i)
    boxes->addWidget(TextWidget(state_.Text6[i], Indexed("Text6", i), Q(columns[i]), catalogue),
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
  lists->addWidget(ListFrame(state_.Frame11[4], "Frame11[4]", state_.List11[0], "List11[0]", area));
  lists->addWidget(ListFrame(state_.Frame11[2], "Frame11[2]", state_.List11[1], "List11[1]", area));
  column->addLayout(lists, 1);
  column->addWidget(
      ListFrame(state_.Frame11[3], "Frame11[3]", state_.List11[3], "List11[3]", area), 1);

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
  column->addWidget(TextWidget(state_.campocon[0], "campocon[0]", Q("nombrecon"), area));
  column->addWidget(TextWidget(state_.campocon[1], "campocon[1]", Q("consulta"), area));
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
  Tight(grid);
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
  for (int i = 0; i < 6; ++i) {
    auto* label = new QLabel(bars);
    label->setObjectName(QLatin1String(rows[i].label_name));
    BindLabel(*rows[i].label, label);
    auto* bar = new QProgressBar(bars);
    bar->setObjectName(QLatin1String(rows[i].bar_name));
    BindBar(*rows[i].bar, bar);
    grid->addWidget(label, i / 3, (i % 3) * 2);
    grid->addWidget(bar, i / 3, (i % 3) * 2 + 1);
    grid->setColumnStretch((i % 3) * 2 + 1, 1);
  }
  BindVisible(state_.Frame13, bars);
  column->addWidget(bars);

  auto* line = new QHBoxLayout;
  auto* status = new QLabel(box);
  status->setObjectName(QStringLiteral("Label4"));
  QFont bold = status->font();
  bold.setBold(true);
  status->setFont(bold);
  BindLabel(state_.Label4, status);
  line->addWidget(status, 1);
  AddPlanAndBackup(line, box);
  for (int n : {13, 14}) {
    auto* button = MakeButton(n, box);
    button->setFont(bold);
    button->setMinimumSize(120, 30);
    line->addWidget(button);
  }
  column->addLayout(line);
  return box;
}

void ActualizWindow::AddPlanAndBackup(QHBoxLayout* line, QWidget* parent) {
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
  line->addWidget(backup_folder_);
  line->addWidget(choose);

  auto* preview = new QPushButton(Q("Previsualizar"), parent);
  preview->setObjectName(QStringLiteral("Previsualizar"));
  preview->setMinimumSize(120, 30);
  connect(preview, &QPushButton::clicked, this, [this] { PressPreview(); });
  line->addWidget(preview);
}

void ActualizWindow::PressPreview() {
  auto error = state_.Preview();
  SyncJournal();
  if (error) ShowError(*error);
}

QWidget* ActualizWindow::BuildJournal(QWidget* parent) {
  auto* box = new QGroupBox(Q("Errores"), parent);
  box->setObjectName(QStringLiteral("ErroresFrame"));
  auto* column = new QVBoxLayout(box);
  Tight(column);
  journal_ = new CompactList(box);
  journal_->setObjectName(QStringLiteral("Errores"));
  column->addWidget(journal_);
  SyncJournal();
  return box;
}

QPushButton* ActualizWindow::MakeButton(int number, QWidget* parent) {
  auto* button = new QPushButton(parent);
  button->setObjectName(QStringLiteral("Command%1").arg(number));
  BindButton(state_.Command[number], button, [this, number] { PressButton(number); });
  return button;
}

void ActualizWindow::PressButton(int number) {
  auto error = state_.Press(number);
  SyncJournal();
  if (error) ShowError(*error);
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
  const auto& entries = state_.Journal.Entries();
  // The journal may have been emptied since (a new run): then start over.
  if (journal_->count() > static_cast<int>(entries.size())) journal_->clear();
  for (size_t i = static_cast<size_t>(journal_->count()); i < entries.size(); ++i)
    journal_->addItem(ToQt(FormatEntry(entries[i])));
  if (journal_->count() > 0) journal_->scrollToBottom();
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

void ActualizWindow::RepaintBars() {
  if (since_repaint_.elapsed() < kRepaintMillis) return;
  // Paints what changed (the bars) without taking the operator's input,
  // which waits until the operation ends.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  since_repaint_.restart();
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
