#include "gui/desktop.h"

#include <cstdio>
#include <sstream>

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QWindow>

#include "engine/error.h"
#include "gui/bindings.h"
#include "gui/window_jobs.h"
#include "shell/ignore_errors.h"
#include "shell/installation.h"
#include "shell/paths.h"

namespace brenquil::gui {

std::optional<DesktopOptions> ParseDesktopOptions(const QStringList& arguments, QString& problem) {
  DesktopOptions options;
  for (int i = 1; i < arguments.size(); ++i) {
    const QString& argument = arguments[i];
    if (argument == QLatin1String("--help") || argument == QLatin1String("-h") ||
        argument == QLatin1String("--version")) {
      options.help = true;
    } else if (argument == QLatin1String("--home") || argument == QLatin1String("--data")) {
      if (i + 1 >= arguments.size()) {
        problem = QStringLiteral("Falta la carpeta después de %1").arg(argument);
        return std::nullopt;
      }
      std::string folder = FromQt(arguments[++i]);
      if (argument == QLatin1String("--home"))
        options.home = folder;
      else
        options.data = folder;
    } else if (argument == QLatin1String("--jobs") || argument == QLatin1String("-j")) {
      if (i + 1 >= arguments.size()) {
        problem = QStringLiteral("Falta el número después de %1").arg(argument);
        return std::nullopt;
      }
      auto jobs = ParseJobs(argument, arguments[++i], problem);
      if (!jobs) return std::nullopt;
      options.jobs = *jobs;
    } else {
      problem = QStringLiteral("Opción desconocida: %1").arg(argument);
      return std::nullopt;
    }
  }
  return options;
}

QString DesktopOptionsUsage() {
  return QString::fromUtf8(
      "Uso: brenquil [--home CARPETA] [--data CARPETA] [--jobs N]\n"
      "  --home CARPETA  instalación (modelos, catálogos, Neptuno.mdb); por omisión,\n"
      "                  la que dice «Instalación» abajo\n"
      "  --data CARPETA  carpeta de las bases viejas al empezar\n"
      "  -j, --jobs N    «Transformar» y «Previsualizar» hacen hasta N bases a la vez,\n"
      "                  cada una en un proceso propio (por omisión, una por\n"
      "                  procesador); el diario y los resultados siguen el orden\n"
      "                  de la lista, como con --jobs 1\n"
      "  --help          muestra esta ayuda y termina\n"
      "  --version       muestra la versión y termina\n");
}

QString DesktopUsage() {
  std::string exit_codes = "Códigos de salida:\n";
  for (const auto& exit : kDesktopExitCodes)
    exit_codes += "  " + std::to_string(exit.code) + "  " + exit.meaning + "\n";
  return DesktopOptionsUsage() + QStringLiteral("\n") + QString::fromStdString(HomeRuleText()) +
         QStringLiteral("\n") + QString::fromStdString(exit_codes);
}

std::optional<int> AnswerWithoutWindow(const std::vector<std::string>& arguments,
                                       std::ostream& out) {
  for (size_t i = 1; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    // A folder given to --home or --data, or a count to --jobs, is not an option.
    if (argument == "--home" || argument == "--data" || argument == "--jobs" || argument == "-j") {
      ++i;
    } else if (argument == "--help" || argument == "-h") {
      out << DesktopUsage().toStdString();
      return 0;
    } else if (argument == "--version") {
      out << "brenquil " << BRENQUIL_VERSION << "\n";
      return 0;
    }
  }
  return std::nullopt;
}

Desktop::Desktop(const DesktopOptions& options)
    : state_(Paths(options.home), options.data),
      inicial_(state_),
      main_(state_),
      first_(inicial_) {
  ShareWindowRuns(state_, options.jobs);
  inicial_.ShowMain = [this] {
    main_.show();
    main_.raise();
    main_.activateWindow();
    state_.Form_Activate();
  };
  QObject::connect(qGuiApp, &QGuiApplication::focusWindowChanged, &first_,
                   [this](QWindow* window) { FocusMoved(window); });
}

Desktop::~Desktop() { inicial_.ShowMain = nullptr; }

void Desktop::Start() {
  first_.show();
  inicial_.Form_Activate();
}

void Desktop::FocusMoved(QWindow* window) {
  if (!window) return;  // another program took the focus
  if (window == first_.windowHandle()) {
    const bool from_main = last_active_ == &main_;
    last_active_ = &first_;
    if (!from_main) return;
    // Once the program runs, a failing activation is shown and the program goes on.
    try {
      inicial_.Form_Activate();
    } catch (const Error& error) {
      JournalError(state_, "Form_Activate", error);
      main_.ShowError(error);
    }
  } else if (window == main_.windowHandle()) {
    last_active_ = &main_;
  }
}

std::unique_ptr<Desktop> StartDesktop(const QStringList& arguments, const HomeLookup& where,
                                      int& exit_code) {
  const QString title = QString::fromUtf8(Actualiz::kTitle);
  QString problem;
  auto options = ParseDesktopOptions(arguments, problem);
  if (!options) {
    std::fputs(("brenquil: " + FromQt(problem) + "\n").c_str(), stderr);
    QMessageBox::critical(nullptr, title, problem + QStringLiteral("\n\n") + DesktopUsage());
    exit_code = kDesktopExitUsage;
    return nullptr;
  }
  if (options->help) {
    std::vector<std::string> plain;
    for (const QString& argument : arguments) plain.push_back(FromQt(argument));
    std::ostringstream answer;
    exit_code = AnswerWithoutWindow(plain, answer).value_or(0);
    std::fputs(answer.str().c_str(), stdout);
    return nullptr;
  }
  try {
    HomeLookup lookup = where;
    lookup.option = options->home;
    const HomeChoice home = ChooseHome(lookup);
    const bool first_start =
        home.source == HomeSource::kUserData && InstallationAbsent(home.folder);
    if (first_start) SetupInstallation(home.folder);
    options->home = home.folder;
    auto desktop = std::make_unique<Desktop>(*options);
    desktop->Start();
    if (first_start)
      QMessageBox::information(
          &desktop->Main(), title,
          QStringLiteral("Se ha creado la instalación en %1.\nPonga las bases modelo en %2.")
              .arg(ToQt(home.folder), ToQt(Paths(home.folder).ModelsFolder())));
    // A data folder named with --data that is not there: the window says so
    // and stays without a data folder until the operator picks one.
    if (auto problem = desktop->State().TakeDataFolderProblem()) desktop->Main().ShowError(*problem);
    exit_code = 0;
    return desktop;
  } catch (const Error& error) {
    // The main window cannot work without its catalogues: say why and end.
    QMessageBox::critical(nullptr, title, ErrorMessage(error));
    exit_code = kDesktopExitStartFailed;
    return nullptr;
  }
}

std::unique_ptr<Desktop> StartDesktop(const QStringList& arguments, int& exit_code) {
  return StartDesktop(arguments, HomeLookup::FromProcess(""), exit_code);
}

int RunDesktop() {
  int exit_code = 0;
  auto desktop = StartDesktop(QCoreApplication::arguments(), exit_code);
  if (!desktop) return exit_code;
  return QApplication::exec();
}

}  // namespace brenquil::gui
