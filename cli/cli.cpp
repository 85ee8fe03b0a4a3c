#include "cli/cli.h"

#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <vector>

#include "cli/import_report.h"
#include "cli/json_text.h"
#include "cli/progress.h"
#include "cli/schema_dump.h"
#include "cli/spanish_parser.h"
#include "cli/stop_signals.h"
#include "cli/transform_jobs.h"
#include "cli/transform_report.h"
#include "engine/dbengine.h"
#include "engine/error.h"
#include "jet/installation_import.h"
#include "jet/jet_import.h"
#include "shell/actualiz.h"
#include "shell/demo.h"
#include "shell/inicial.h"
#include "shell/installation.h"
#include "shell/backups.h"
#include "shell/paths.h"
#include "shell/run_lock.h"
#include "shell/run_summary.h"

namespace brenquil {

namespace {

namespace fs = std::filesystem;

// Arguments that parse but do not go together: a usage error (exit 64).
struct UsageProblem : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// What the subcommands' options fill; each reads the members it declared.
struct Options {
  std::string home;  // empty: the program's folder
  std::optional<std::string> data;
  std::string target;  // setup's HOME, demo's CARPETA, schema's ARCHIVO, import's JET
  std::string output;  // import's OUT
  std::string json_file;  // "-": the standard output
  bool json = false;
  bool plan = false;   // transform --plan
  std::string backup;  // transform --backup
  bool system = false;
  bool quiet = false;
  int jobs = DefaultJobs();  // transform --jobs
};

struct Io {
  std::ostream& out;
  std::ostream& err;
  bool terminal;
};

std::string HomeOf(const std::string& home) { return ChooseHome(home).folder; }

void ReportError(Io& io, const Error& error) {
  io.err << "brenquil-cli: error " << error.Number() << ": " << error.Text() << "\n";
}

int TerminalWidth() {
  winsize size{};
  if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

// ---- setup

void SetupOptions(CLI::App& app, Options& o) {
  app.add_option("HOME", o.target,
                 "carpeta de la instalación (por omisión, la que dice «Instalación» abajo)");
  app.add_option("--home", o.home, "lo mismo que HOME, como en las demás órdenes")->type_name("CARPETA");
}

int SetupCommand(const Options& o, Io& io) {
  if (!o.target.empty() && !o.home.empty() && o.target != o.home)
    throw UsageProblem("HOME ('" + o.target + "') y --home ('" + o.home +
                       "') nombran carpetas distintas; indique solo una");
  std::string home = HomeOf(o.target.empty() ? o.home : o.target);
  auto created = SetupInstallation(home);
  for (const auto& path : created) io.out << "creado " << path << "\n";
  if (created.empty()) io.out << "nada que hacer: la instalación de " << home << " está completa\n";
  return kExitOk;
}

// ---- demo

void DemoOptions(CLI::App& app, Options& o) {
  app.add_option("CARPETA", o.target, "carpeta de la demostración (se crea si no existe)")
      ->required();
}

// `text` quoted for a POSIX shell: between single quotes, each of its own
// single quotes written as '\''.
std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

int DemoCommand(const Options& o, Io& io) {
  MakeDemo(o.target);
  // The command is printed with this program's own path, so that it works
  // as printed whether or not the program is on the PATH.
  const std::string program = Paths::Join(ProgramFolder(), "brenquil-cli");
  io.out << "instalación de demostración: " << DemoHome(o.target) << "\n"
         << "bases viejas:                " << DemoData(o.target) << "\n"
         << "para transformarla: " << ShellQuoted(program) << " transform --home "
         << ShellQuoted(DemoHome(o.target)) << " --data " << ShellQuoted(DemoData(o.target)) << "\n";
  return kExitOk;
}

// ---- schema

void SchemaOptions(CLI::App& app, Options& o) {
  app.add_option("ARCHIVO", o.target, "archivo de base de datos")->required();
  app.add_flag("--json", o.json, "en JSON en lugar de un listado");
  app.add_flag("--system", o.system, "muestra también las tablas del sistema (MSys...)");
}

int SchemaCommand(const Options& o, Io& io) {
  auto db = DBEngine::Instance().OpenDatabase(o.target);
  if (o.json)
    io.out << JsonText(SchemaJson(*db, o.system));
  else
    PrintSchema(*db, io.out, o.system);
  db->Close();
  return kExitOk;
}

// ---- transform

void TransformOptions(CLI::App& app, Options& o) {
  app.add_option("--home", o.home,
                 "carpeta de la instalación (por omisión, la que dice «Instalación» abajo)")
      ->type_name("CARPETA");
  app.add_option_function<std::string>(
         "--data", [&o](const std::string& folder) { o.data = folder; },
         "carpeta de las bases viejas; por omisión \"" + Paths::DefaultDataFolder() +
             "\", que entonces tiene que existir")
      ->type_name("CARPETA");
  app.add_option("--json", o.json_file,
                 "escribe además el informe en JSON en ARCHIVO; con \"-\", en la salida "
                 "estándar en lugar del informe de texto")
      ->type_name("ARCHIVO");
  app.add_flag("--plan", o.plan,
               "Previsualizar: hace la transformación entera y la deshace, sin cambiar ni crear "
               "ningún archivo; informa de lo que haría y de lo que se rechazaría, con las filas que "
               "lo impiden");
  app.add_option("--backup", o.backup,
                 "justo antes de cambiar cada base vieja, guarda una copia en "
                 "CARPETA/AAAAMMDD-HHMMSS/, con su mismo nombre (crea CARPETA si falta; solo "
                 "copia las bases que cambian); para volver atrás, copie ese archivo sobre la "
                 "base de la carpeta de datos. No va con --plan")
      ->type_name("CARPETA");
  app.add_flag("-q,--quiet", o.quiet, "no muestra el avance ni el informe: solo los errores");
  app.add_option("-j,--jobs", o.jobs,
                 "transforma hasta N bases a la vez, cada una en un proceso propio (por omisión, "
                 "una por procesador); el diario, el informe y el avance siguen el orden de la "
                 "lista, como con --jobs 1, que las hace una tras otra en este proceso")
      ->type_name("N")
      ->check(CLI::Range(1, kMaxJobs));
}

// The catalogues that `home` lacks, by file name.
std::vector<std::string> MissingCatalogues(const std::string& home) {
  Paths paths(home);
  std::vector<std::string> missing;
  std::error_code ec;
  for (const auto& path : {paths.IndexCatalog(), paths.RelationCatalog(), paths.QueryCatalog()})
    if (!fs::exists(path, ec)) missing.push_back(fs::path(path).filename().string());
  return missing;
}

// Start-up as the desktop window does it: Inicial's activation, which shows
// (activates) the main window. A failure here ends the subcommand. A plan
// changes no file: start-up then resets no attribute.
std::optional<Error> StartUp(Actualiz& window, Inicial& inicial, const Options& o, bool worker) {
  try {
    // The window would fall back to the root for a default folder that is
    // not there; transforming another folder than the one asked for is
    // never wanted, so the command line stops and says how to name one.
    Paths::CheckedDataFolder(o.data);
    if (!o.backup.empty()) RunBackups(o.backup).Prepare();
    // A worker's parent has reset them already.
    inicial.ResetsAttributes = !o.plan && !worker;
    inicial.ShowMain = [&window] { window.Form_Activate(); };
    inicial.Form_Activate();
    if (auto problem = window.TakeDataFolderProblem()) throw *problem;
    return std::nullopt;
  } catch (const Error& error) {
    return error;
  }
}

// What a finished transformation exits with: a stop by a signal first, then
// the journal; a plan tells whether a run would change anything.
int TransformExitCode(const Actualiz& window, int signal) {
  if (signal == SIGINT) return kExitInterrupted;
  if (signal == SIGTERM) return kExitTerminated;
  if (!window.Journal.Empty()) return kExitJournal;
  if (!window.Report.Plan()) return kExitOk;
  for (const auto& result : Results(window.Report, window.Journal))
    if (result.outcome == Outcome::kUpdated || result.outcome == Outcome::kCopied) return kExitPending;
  return kExitOk;
}

// A worker of a shared run (see transform_jobs.h): its parent holds the run
// lock, prints and stops; it runs the entries it is handed, in its own copies
// of the catalogues, and answers on its standard output.
int TransformWorker(const Options& o, const std::string& home, const std::string& catalogues, Io& io) {
  // A Ctrl+C reaches the whole process group: the parent decides, and each
  // worker finishes the database in its hands.
  ::signal(SIGINT, SIG_IGN);
  ::signal(SIGTERM, SIG_IGN);
  Paths paths(home);
  paths.UseCatalogueFolder(catalogues);
  DBEngine::Instance().SetScratchFolder(catalogues);
  Actualiz window{paths, o.data};
  Inicial inicial(window);
  if (auto failure = StartUp(window, inicial, o, true)) {
    ReportError(io, *failure);
    return kExitFailure;
  }
  BecomeWorker(window);
  window.BackupFolder = o.backup;
  if (o.plan)
    window.Preview();
  else
    window.Press(13);
  FinishWorker(window);
  return kExitOk;
}

int TransformCommand(const Options& o, Io& io) {
  // A plan changes nothing, so it has nothing to back up.
  if (o.plan && !o.backup.empty())
    throw UsageProblem("--plan no cambia nada y no hace copias de seguridad: quite --backup o --plan");
  const std::string home = HomeOf(o.home);
  const char* worker_catalogues = std::getenv(kWorkerVariable);
  if (worker_catalogues) return TransformWorker(o, home, worker_catalogues, io);
  Actualiz window{Paths(home), o.data};
  Inicial inicial(window);
  if (auto failure = StartUp(window, inicial, o, false)) {
    ReportError(io, *failure);
    auto missing = MissingCatalogues(home);
    if (!missing.empty()) {
      io.err << "brenquil-cli: " << home << " no es una instalación: le falta";
      const char* separator = " ";
      for (const auto& name : missing) {
        io.err << separator << name;
        separator = ", ";
      }
      io.err << ".\nPara crearla: brenquil-cli setup '" << home << "'\n";
    }
    return kExitFailure;
  }
  if (o.jobs > 1 && !WorkerProgram().empty())
    ShareRun(window, o.jobs, io.err);
  std::optional<Error> failure;
  const bool json_out = o.json_file == "-";
  // SIGINT and SIGTERM stop the run after the database in hand. One that
  // comes once the run is over waits until the journal and the report are
  // written whole; a second one still ends the program at once.
  StopSignals signals;
  int signal = 0;
  {
    std::optional<ProgressView> view;
    if (!o.quiet)
      view.emplace(window, io.err,
                   io.terminal ? ProgressView::Mode::kBars : ProgressView::Mode::kLines,
                   io.terminal ? TerminalWidth() : 80);
    window.SetStopSource([] { return StopSignals::Caught() != 0; });
    // Pressed like the button: an error that reaches it is journaled.
    window.BackupFolder = o.backup;
    failure = o.plan ? window.Preview() : window.Press(13);
    window.SetStopSource(nullptr);
    signal = StopSignals::Caught();
    if (view) view->Finish();
  }
  // Another run holds the installation: this one did nothing.
  if (failure && failure->Number() == err::kFileInUse) {
    ReportError(io, *failure);
    return kExitFailure;
  }
  PrintJournal(window, io.err);
  if (json_out)
    WriteTransformReportJson(window, io.out);
  else if (!o.quiet)
    PrintTransformReport(window, io.out);
  if (!o.json_file.empty() && !json_out) {
    std::ofstream file(o.json_file, std::ios::binary | std::ios::trunc);
    WriteTransformReportJson(window, file);
    file.close();
    if (!file)
      throw MakeError(err::kFileAccess, "no se pudo escribir el informe '" + o.json_file + "'.");
    if (!o.quiet) io.out << "Informe JSON: " << o.json_file << "\n";
  }
  if (signal) {
    io.err << "brenquil-cli: detenido por " << (signal == SIGINT ? "SIGINT" : "SIGTERM")
           << " después de la base que tenía entre manos\n";
  } else if ((signal = StopSignals::Caught()) != 0) {
    io.err << "brenquil-cli: " << (signal == SIGINT ? "SIGINT" : "SIGTERM")
           << " llegó con la transformación ya terminada; el diario y el informe están completos\n";
  }
  return TransformExitCode(window, signal);
}

// ---- import

void ImportOptions(CLI::App& app, Options& o) {
  app.add_option("JET", o.target, "la base Jet (.mdb) o ACE (.accdb) que se importa; no se modifica");
  app.add_option("OUT", o.output, "la base nueva que se escribe; no debe existir");
  app.add_option("--home", o.home,
                 "convierte las bases Jet de la instalación (CARPETA/modelos); por omisión, la "
                 "que dice «Instalación» abajo. No va con JET y OUT")
      ->type_name("CARPETA");
  app.add_option_function<std::string>(
         "--data", [&o](const std::string& folder) { o.data = folder; },
         "convierte también las bases viejas Jet de CARPETA; por omisión \"" +
             Paths::DefaultDataFolder() + "\", que entonces tiene que existir. No va con JET y OUT")
      ->type_name("CARPETA");
  app.add_flag("--json", o.json, "el informe en JSON en lugar de texto");
}

int ImportFileCommand(const Options& o, Io& io) {
  jet::ImportReport report = jet::ImportJet(o.target, o.output);
  if (o.json)
    io.out << JsonText(ImportReportJson(report));
  else
    PrintImportReport(report, io.out);
  return report.Complete() ? kExitOk : kExitJournal;
}

// Every Jet model and old database of the installation, each in its place;
// the installation is taken as a transformation takes it, so none runs
// meanwhile.
int ImportInstallationCommand(const Options& o, Io& io) {
  const std::string home = HomeOf(o.home);
  const std::string data = Paths::CheckedDataFolder(o.data);
  RunLock lock(home);
  auto progress = [&io](const std::string& path, std::size_t position, std::size_t count) {
    io.err << "[" << position << "/" << count << "] " << path << "\n";
    io.err.flush();
  };
  auto run = jet::ImportInstallation(
      {{Paths(home).ModelsFolder(), "modelo"}, {data, "base vieja"}}, progress);
  if (o.json)
    io.out << JsonText(InstallationImportJson(run));
  else
    PrintInstallationImport(run, io.out);
  return run.Complete() ? kExitOk : kExitJournal;
}

// One Jet file (JET OUT), or the whole installation (--home, --data):
// 0 everything arrived; 1 something was left out or a file failed (the
// report names it); 2 nothing could be done (the error says why).
int ImportCommand(const Options& o, Io& io) {
  const bool installation = !o.home.empty() || o.data.has_value();
  const bool file = !o.target.empty() || !o.output.empty();
  if (installation && file)
    throw UsageProblem("JET y OUT importan un archivo; --home y --data, las bases de una instalación: "
                       "indique unos u otros, no los dos");
  if (installation) return ImportInstallationCommand(o, io);
  if (o.target.empty() || o.output.empty())
    throw UsageProblem(o.target.empty() ? "falta JET y OUT, o --home y --data"
                                        : "falta OUT, la base nueva que se escribe");
  return ImportFileCommand(o, io);
}

// ---- the table

struct Subcommand {
  const char* name;
  const char* help;
  void (*options)(CLI::App&, Options&);
  int (*run)(const Options&, Io&);
  // The end of the subcommand's --help: an example and its exit codes.
  const char* footer = nullptr;
};

const Subcommand kSubcommands[] = {
    {"setup",
     "Crea una instalación en HOME: la carpeta modelos, los catálogos indices.mdb, "
     "relacion.mdb y consulta.mdb y la base de ejemplo Neptuno.mdb. Nunca sobrescribe un "
     "archivo.",
     SetupOptions, SetupCommand,
     "Ejemplo:\n  brenquil-cli setup --home /srv/brenquil\n\n"
     "Códigos de salida: 0 hecho; 2 no se pudo crear un archivo o una carpeta; 64 argumentos "
     "incorrectos."},
    {"demo",
     "Crea una demostración en CARPETA: CARPETA/home, una instalación con modelos, y "
     "CARPETA/datos, "
     "bases viejas a las que faltan tablas, campos, índices, relaciones y consultas de sus "
     "modelos.",
     DemoOptions, DemoCommand,
     "Ejemplo:\n  brenquil-cli demo /tmp/demo\n\n"
     "Códigos de salida: 0 hecho; 2 no se pudo crear (por ejemplo, ya hay una demostración en "
     "CARPETA); 64 argumentos incorrectos."},
    {"schema",
     "Muestra las tablas, campos, índices, relaciones y consultas que el motor ve en ARCHIVO; "
     "las tablas del sistema, solo con --system.",
     SchemaOptions, SchemaCommand,
     "Ejemplo:\n  brenquil-cli schema --json /srv/bases/Clientes.mdb\n\n"
     "Códigos de salida: 0 hecho; 2 el archivo no se pudo leer; 64 argumentos incorrectos."},
    {"transform",
     "Pulsa \"Transformar\": pone cada base vieja de la carpeta de datos al día con su "
     "modelo, copia los modelos sin base vieja del mismo nombre y muestra el estado, los "
     "cambios de cada base y el diario de errores. Con --plan no cambia nada y muestra lo que "
     "haría. SIGINT (Ctrl+C) o SIGTERM la detienen después de la base que tiene entre manos.",
     TransformOptions, TransformCommand,
     "Ejemplos:\n"
     "  brenquil-cli transform --home /srv/brenquil --data /srv/bases --plan\n"
     "  brenquil-cli transform --home /srv/brenquil --data /srv/bases --backup /srv/copias "
     "--json informe.json\n\n"
     "Códigos de salida: 0 hecho (con --plan: nada cambiaría); 1 la transformación terminó con "
     "errores en su diario (con --plan: algo se rechazaría); 2 la orden no pudo hacerse; 3 con "
     "--plan: hay cambios por hacer y nada se rechazaría; 64 argumentos incorrectos; 130 o 143 "
     "detenida por SIGINT o SIGTERM después de la base que tenía entre manos, con su informe "
     "escrito."},
    {"import",
     "Importa la base Jet (.mdb) o ACE (.accdb) JET en una base nueva OUT: sus tablas con "
     "sus filas, índices, relaciones y las consultas que se traducen a vistas de SQLite, e "
     "informa de lo que no llegó y por qué. JET no se modifica y OUT no debe existir. Con "
     "--home y --data, en lugar de JET y OUT, convierte de una vez cada base Jet de los "
     "modelos (HOME/modelos) y de las bases viejas (DATA) en una base del motor con su mismo "
     "nombre; el original se guarda intacto en jet-originales/AAAAMMDD-HHMMSS/ junto a ella, "
     "y las bases que ya son del motor no se tocan. No se hace mientras una transformación "
     "tiene la instalación.",
     ImportOptions, ImportCommand,
     "Ejemplos:\n"
     "  brenquil-cli import /mnt/viejo/Clientes.mdb Clientes.mdb --json\n"
     "  brenquil-cli import --home /srv/brenquil --data /srv/bases\n\n"
     "Códigos de salida: 0 todo llegó (con --home y --data: toda base Jet se convirtió entera); "
     "1 algo no llegó o una base no se pudo convertir (el informe dice qué y por qué; la que "
     "falló sigue en su sitio); 2 no se pudo hacer nada: JET no se pudo leer u OUT no se pudo "
     "escribir (no queda nada a medias), falta una carpeta, u otra transformación tiene la "
     "instalación; 64 argumentos incorrectos."},
};

// RunCli; with `describe`, the parser is given to it instead of the arguments.
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
        const std::function<void(const CLI::App&)>* describe) {
  CLI::App app{
      "Brenquil pone las bases de datos viejas de una carpeta de datos al día con la "
      "estructura de sus bases modelo.",
      "brenquil-cli"};
  SpanishHelp(app);
  app.set_version_flag("--version", std::string("brenquil-cli ") + BRENQUIL_VERSION,
                       "muestra la versión y termina");
  app.require_subcommand(1);
  std::string exit_codes = "Códigos de salida:";
  for (const auto& exit : kExitCodes)
    exit_codes += std::string(&exit == kExitCodes ? " " : "; ") + std::to_string(exit.code) + " " +
                  exit.meaning;
  app.footer("Cada orden tiene su ayuda, con un ejemplo y sus códigos de salida: brenquil-cli ORDEN "
             "--help.\n\n" + HomeRuleText() + "\n\n" + exit_codes + ".");

  Options options;
  const Subcommand* chosen = nullptr;
  for (const auto& sub : kSubcommands) {
    CLI::App* cmd = app.add_subcommand(sub.name, sub.help);
    cmd->group("Órdenes");
    cmd->set_help_flag("-h,--help", "muestra esta ayuda y termina");
    sub.options(*cmd, options);
    if (sub.footer) cmd->footer(std::string(sub.footer) + "\n\n" + HomeRuleText());
    cmd->callback([&chosen, &sub] { chosen = &sub; });
  }
  if (describe) {
    (*describe)(app);
    return kExitOk;
  }

  // The hint names the help of the subcommand the arguments were for.
  auto named = std::find_if(args.begin(), args.end(), [](const std::string& a) {
    return std::any_of(std::begin(kSubcommands), std::end(kSubcommands),
                       [&](const Subcommand& sub) { return a == sub.name; });
  });
  const std::string help = named == args.end() ? "brenquil-cli --help" : "brenquil-cli " + *named + " --help";
  auto usage = [&err, &help](const std::string& problem) {
    err << "brenquil-cli: " << problem << "\nAyuda: " << help << "\n";
    return kExitUsage;
  };
  // The first word that is not an option names the subcommand; the parser
  // itself would only call it an unexpected argument.
  auto first = std::find_if(args.begin(), args.end(),
                            [](const std::string& a) { return a.empty() || a[0] != '-'; });
  if (first != args.end() &&
      std::none_of(std::begin(kSubcommands), std::end(kSubcommands),
                   [&](const Subcommand& sub) { return *first == sub.name; }))
    return usage("orden desconocida: '" + *first + "'");

  std::vector<std::string> reversed(args.rbegin(), args.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) return app.exit(e, out, err);  // --help, --version
    return usage(SpanishParseError(e));
  }
  if (!chosen) return kExitUsage;

  Io io{out, err, &err == &std::cerr && isatty(STDERR_FILENO) == 1};
  int code = kExitFailure;
  try {
    code = chosen->run(options, io);
  } catch (const UsageProblem& problem) {
    code = usage(problem.what());
  } catch (const Error& error) {
    ReportError(io, error);
  } catch (const std::exception& error) {
    io.err << "brenquil-cli: " << error.what() << "\n";
  }
  // The engine keeps released files open for the next operation; a finished
  // subcommand leaves every change in the database files themselves, so
  // another program (or the next subcommand of a test) sees finished files.
  DBEngine::Instance().CloseIdle();
  return code;
}

}  // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  return Run(args, out, err, nullptr);
}

void DescribeCli(const std::function<void(const CLI::App&)>& visit) {
  std::ostringstream unused;
  Run({}, unused, unused, &visit);
}

}  // namespace brenquil
