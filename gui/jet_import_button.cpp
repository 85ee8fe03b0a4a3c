#include "gui/jet_import_button.h"

#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include "engine/error.h"
#include "gui/bindings.h"
#include "gui/panel_widgets.h"
#include "jet/installation_import.h"
#include "shell/actualiz.h"
#include "shell/jet_advice.h"
#include "shell/paths.h"
#include "shell/run_lock.h"

namespace brenquil::gui {

namespace {

// The journal's name for the import.
constexpr const char* kOperation = "ImportJet";

// The Jet files the lists name, by full path: models first.
std::vector<std::string> ListedJetFiles(const Actualiz& state) {
  std::vector<std::string> found;
  for (const auto& name : state.List7.Items())
    if (LooksLikeJet(state.Installation().ModelPath(name)))
      found.push_back(state.Installation().ModelPath(name));
  if (!state.Dir1.Path().empty())
    for (const auto& name : state.List6.Items())
      if (LooksLikeJet(Paths::Join(state.Dir1.Path(), name)))
        found.push_back(Paths::Join(state.Dir1.Path(), name));
  return found;
}

// The hourglass while the files are converted, the arrow back however it ends.
struct WaitCursor {
  WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

}  // namespace

JetImportButton::JetImportButton(Actualiz& state, std::function<void(const Error&)> show_error,
                                 std::function<void(const QString&)> show_progress, QWidget* parent)
    : QPushButton(Q(kImportJetButton), parent),
      state_(state),
      show_error_(std::move(show_error)),
      show_progress_(std::move(show_progress)) {
  setObjectName(QStringLiteral("ImportarJet"));
  setToolTip(Q("Convierte cada base Jet (Access) de los modelos y de la carpeta de datos en una base "
               "del motor con su mismo nombre; guarda los originales en jet-originales/"));
  connect(this, &QPushButton::clicked, this, [this] { Press(); });
  QPointer<JetImportButton> self(this);
  for (ListBox* list : {&state_.List6, &state_.List7})
    list->Subscribe([self] {
      if (self) self->RefreshSoon();
    });
  state_.OnBusy([self](bool busy) {
    if (self && !busy) self->RefreshSoon();
  });
  Refresh();
}

void JetImportButton::RefreshSoon() {
  // A run selects entries of the lists thousands of times, and a listing
  // adds them one by one: the files are looked at once, after.
  if (state_.Busy() || refresh_pending_) return;
  refresh_pending_ = true;
  QTimer::singleShot(0, this, [this] {
    refresh_pending_ = false;
    if (!state_.Busy()) Refresh();
  });
}

void JetImportButton::Refresh() { setVisible(!ListedJetFiles(state_).empty()); }

void JetImportButton::Press() {
  if (state_.Busy()) return;
  const Paths& installation = state_.Installation();
  const std::string data = state_.Dir1.Path();
  const auto listed = ListedJetFiles(state_);
  QString names;
  for (const auto& path : listed) names += Q("\n  ") + ToQt(path);
  QMessageBox question(
      QMessageBox::Question, Q(Actualiz::kTitle),
      Q("Se convertirá en una base del motor, con su mismo nombre, cada base Jet (Access) de los "
        "modelos (%1) y de la carpeta de datos (%2):%3\n\nAntes de que la base convertida ocupe su "
        "sitio, cada original se guarda intacto en jet-originales/AAAAMMDD-HHMMSS/, dentro de su "
        "misma carpeta. Las bases que ya son del motor no se tocan, y una base que no se pueda "
        "convertir sigue en su sitio.")
          .arg(ToQt(installation.ModelsFolder()), ToQt(data), names),
      QMessageBox::Ok | QMessageBox::Cancel, window());
  question.setObjectName(QStringLiteral("ConfirmarImportarJet"));
  question.button(QMessageBox::Ok)->setText(Q("Importar"));
  question.button(QMessageBox::Cancel)->setText(Q("Cancelar"));
  question.setDefaultButton(QMessageBox::Cancel);
  if (question.exec() != QMessageBox::Ok) return;

  state_.Journal.Clear();
  jet::InstallationImport run;
  try {
    if (data.empty())
      throw MakeError(err::kPathNotFound, "no hay carpeta de datos: elija la carpeta de las bases viejas.");
    // A transformation of this installation in another program waits, and
    // this one is refused while the import runs.
    RunLock lock(installation.Home());
    WaitCursor wait;
    auto progress = [this](const std::string& path, std::size_t position, std::size_t count) {
      show_progress_(Q("Importando bases Jet: %1 de %2 · %3")
                         .arg(position)
                         .arg(count)
                         .arg(ToQt(path)));
      QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    };
    run = jet::ImportInstallation(
        {{installation.ModelsFolder(), "modelo"}, {data, "base vieja"}}, progress);
  } catch (const Error& error) {
    state_.Journal.Add(JournalEntry{kOperation, "", data, error.Number(), error.Text()});
    show_progress_(QString());
    show_error_(error);
    return;
  }

  for (const auto& file : run.files) {
    if (file.outcome == jet::FileOutcome::kFailed)
      state_.Journal.Add(JournalEntry{kOperation, "", file.path, file.error,
                                      file.why + "; sigue en su sitio, sin cambios."});
    if (file.outcome == jet::FileOutcome::kConverted)
      for (const auto& item : file.report.left_out)
        state_.Journal.Add(JournalEntry{kOperation, "", file.path, 0,
                                        "no llegó " + item.kind + " " + item.name + ": " + item.reason});
  }
  // The names are the same, the files are not: both lists are made again.
  state_.List7.Clear();
  for (const auto& name : SearchDatabases(installation.ModelsFolder())) state_.List7.AddItem(name);
  state_.Dir1_Change();
  Refresh();

  const int converted = run.Count(jet::FileOutcome::kConverted);
  const int failed = run.Count(jet::FileOutcome::kFailed);
  QString summary = Q("Bases Jet convertidas: %1; fallidas: %2.").arg(converted).arg(failed);
  if (converted > 0)
    summary += Q(" Los originales están en jet-originales/%1/.").arg(ToQt(run.stamp));
  if (!run.Complete()) summary += Q(" El diario «Errores» dice qué no llegó o no se pudo convertir.");
  show_progress_(summary);
  QMessageBox done(run.Complete() ? QMessageBox::Information : QMessageBox::Warning,
                   Q(Actualiz::kTitle), summary, QMessageBox::Ok, window());
  done.setObjectName(QStringLiteral("ImportarJetHecho"));
  done.exec();
}

}  // namespace brenquil::gui
