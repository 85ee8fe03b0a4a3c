#include "gui/selection_panel.h"

#include <algorithm>
#include <filesystem>

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "engine/error.h"
#include "gui/path_edit.h"
#include "shell/actualiz.h"
#include "shell/paths.h"
#include "shell/step_names.h"

namespace brenquil::gui {

namespace {

namespace fs = std::filesystem;

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

SelectionPanel::SelectionPanel(Actualiz& state, const Gate& gate, const ButtonMaker& make_button,
                               ErrorReporter report_error, QWidget* parent)
    : QWidget(parent), state_(state), report_error_(std::move(report_error)) {
  setObjectName(QStringLiteral("Seleccion"));
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(4);
  row->addWidget(BuildBrowse(), 4);

  // The three database lists side by side, the tools under them.
  auto* databases = new QVBoxLayout;
  databases->setSpacing(2);
  auto* lists = new QHBoxLayout;
  lists->setSpacing(4);
  lists->addWidget(ListFrame(state_.Frame7, "Frame7", state_.List6, "List6", this, gate), 1);
  lists->addWidget(ListFrame(state_.Frame8, "Frame8", state_.List7, "List7", this, gate), 1);
  auto* added = ListFrame(state_.Frame10, "Frame10", state_.List8, "List8", this, gate);
  added->layout()->addWidget(make_button(15, added));
  lists->addWidget(added, 1);
  databases->addLayout(lists, 1);
  tools_ = new QHBoxLayout;
  tools_->setSpacing(4);
  databases->addLayout(tools_);
  row->addLayout(databases, 9);
  // Picking an old database by hand names its pair in the path boxes.
  if (auto* old = findChild<QListWidget*>(QStringLiteral("List6"))) {
    connect(old, &QListWidget::currentRowChanged, this, [this](int) {
      if (!state_.Busy()) state_.List6_Click();
    });
  }

  auto* pair = BuildPair(make_button, gate);
  row->addWidget(pair, 6);
}

QWidget* SelectionPanel::BuildBrowse() {
  auto* browse = new QWidget(this);
  auto* column = new QVBoxLayout(browse);
  column->setContentsMargins(0, 6, 0, 0);
  column->setSpacing(2);
  drives_ = new QComboBox(browse);
  drives_->setObjectName(QStringLiteral("Drive1"));
  drives_->setToolTip(ToQt(ControlDescription("Drive1")));
  column->addWidget(drives_);
  folder_path_ = new PathLabel(browse);
  folder_path_->setObjectName(QStringLiteral("Dir1Path"));
  folder_path_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  column->addWidget(folder_path_);
  folders_ = new CompactList(browse);
  folders_->setObjectName(QStringLiteral("Dir1"));
  folders_->setToolTip(Q("Doble clic: abrir la carpeta"));
  column->addWidget(folders_, 1);

  QPointer<SelectionPanel> self(this);
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
    Act("Drive1_Change", [this, drive] {
      state_.Drive1.SetDrive(drive);
      state_.Drive1_Change();
    });
  });
  connect(folders_, &QListWidget::itemActivated, this,
          [this](QListWidgetItem* item) { OpenFolder(item->text()); });
  return browse;
}

QWidget* SelectionPanel::BuildPair(const ButtonMaker& make_button, const Gate& gate) {
  // The pair of databases being worked on, each with its button.
  auto* pair = new QWidget(this);
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
    BindText(*p.text, path, gate);
    line->addWidget(path, 1);
    line->addWidget(make_button(p.button, box));
    pair_column->addWidget(box);
  }
  pair_column->addStretch(1);
  return pair;
}

void SelectionPanel::OpenFolder(const QString& name) {
  const std::string current = state_.Dir1.Path();
  const std::string target = name == QLatin1String("..") ? ParentFolder(current)
                                                         : Paths::Join(current, FromQt(name));
  Act("Dir1_Change", [this, target] { state_.Dir1.SetPath(target); });
}

void SelectionPanel::Act(const std::string& operation, const std::function<void()>& action) {
  try {
    action();
  } catch (const Error& error) {
    report_error_(operation, error);
  }
}

void SelectionPanel::AddTool(QWidget* tool) {
  tool->setParent(this);
  tools_->addWidget(tool);
}

void SelectionPanel::ShowDrives() {
  QSignalBlocker quiet(drives_);
  drives_->clear();
  for (const auto& drive : state_.Drive1.Drives()) drives_->addItem(ToQt(drive));
  drives_->setCurrentText(ToQt(state_.Drive1.Drive()));
}

void SelectionPanel::ShowFolders() {
  const std::string& path = state_.Dir1.Path();
  folder_path_->SetPath(ToQt(path));
  folders_->clear();
  if (path.empty()) return;
  if (!IsRoot(path)) folders_->addItem(QStringLiteral(".."));
  for (const auto& name : state_.Dir1.SubFolders()) folders_->addItem(ToQt(name));
}

}  // namespace brenquil::gui
