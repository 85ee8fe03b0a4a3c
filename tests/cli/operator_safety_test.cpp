// The command line as an operator meets it: no run into a folder nobody
// named, a plan whose exit code a script can use and that writes nothing,
// a status word per database, SIGINT and SIGTERM that stop between
// databases, backups of only what changes, a read-only data folder said once
// per database and alike in the plan and the run, progress on a pipe, help
// that fits 80 columns, and a demo hint that works as printed.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "cli/cli.h"
#include "engine/error.h"
#include "shell/demo.h"
#include "shell/paths.h"
#include "shell/run_lock.h"
#include "tests/support/cli_run_fixture.h"
#include "tests/support/test_support.h"

namespace brenquil {
namespace {

namespace fs = std::filesystem;
using test::FolderContents;
using test::ReadBytes;
using test::TempDir;
using Json = nlohmann::ordered_json;

using test::Cli;
using test::CliRun;

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

size_t Columns(const std::string& line) {
  size_t n = 0;
  for (unsigned char c : line)
    if ((c & 0xC0) != 0x80) ++n;
  return n;
}

class OperatorCli : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(Cli({"demo", dir.Path()}).code, kExitOk);
    home = DemoHome(dir.Path());
    data = DemoData(dir.Path());
  }
  std::vector<std::string> Transform(std::vector<std::string> more) const {
    std::vector<std::string> args{"transform", "--home", home, "--data", data};
    args.insert(args.end(), more.begin(), more.end());
    return args;
  }
  std::string Old(const std::string& name) const { return data + "/" + name; }
  // Every file of the demo (the installation and the data folder) with a
  // digest of its bytes.
  std::map<std::string, size_t> Files() const {
    std::map<std::string, size_t> files;
    for (const auto& [name, bytes] : FolderContents(dir.Path())) files[name] = std::hash<std::string>{}(bytes);
    return files;
  }
  static std::map<std::string, std::string> Statuses(const Json& report) {
    std::map<std::string, std::string> statuses;
    for (const auto& db : report["databases"])
      statuses[fs::path(db["old"].get<std::string>()).filename().string()] = db["status"];
    return statuses;
  }

  TempDir dir;
  std::string home, data;
};

TEST_F(OperatorCli, WithoutDataTheDefaultFolderMustExistAndAMissingDataFolderIsNeverReplaced) {
  const std::string fallback_copy = Paths::Join(Paths::FallbackDataFolder(), "Inventario.mdb");
  ASSERT_FALSE(fs::exists(fallback_copy));
  if (fs::is_directory(Paths::DefaultDataFolder())) GTEST_SKIP() << "the default data folder exists here";
  const auto before = Files();
  struct Case {
    std::vector<std::string> args;
    std::vector<std::string> said;
  };
  const Case cases[] = {
      {{"transform", "--home", home}, {Paths::DefaultDataFolder(), "--data CARPETA"}},
      {{"transform", "--home", home, "--plan"}, {Paths::DefaultDataFolder(), "--data CARPETA"}},
      {{"transform", "--home", home, "--data", dir / "no existe"}, {dir / "no existe", "--data"}},
  };
  for (const auto& c : cases) {
    CliRun run = Cli(c.args);
    EXPECT_EQ(run.code, kExitFailure) << c.args.back();
    EXPECT_TRUE(Contains(run.err, "error 76: " + std::string(ErrorDescription(err::kPathNotFound))))
        << run.err;
    for (const auto& part : c.said) EXPECT_TRUE(Contains(run.err, part)) << part << "\n" << run.err;
    EXPECT_FALSE(Contains(run.out, "Proceso Terminado")) << c.args.back();
  }
  EXPECT_FALSE(fs::exists(fallback_copy)) << "a model was copied into the root";
  EXPECT_EQ(Files(), before);
}

// The installation's home (its catalogues and sample database would be taken
// for old databases, the models copied in beside them) and its models folder,
// however named, are refused as the data folder by a run and by a plan.
TEST_F(OperatorCli, TheInstallationsOwnFoldersAreNoDataFolder) {
  const auto before = Files();
  fs::create_directory_symlink(home, dir / "enlace");
  for (const std::string& folder : {home, home + "/", home + "/modelos", dir / "enlace"})
    for (const bool plan : {false, true}) {
      std::vector<std::string> args = {"transform", "--home", home, "--data", folder, "--json", "-"};
      if (plan) args.push_back("--plan");
      CliRun run = Cli(args);
      EXPECT_EQ(run.code, kExitJournal) << folder << run.err;
      Json report = Json::parse(run.out);
      EXPECT_TRUE(report["databases"].empty()) << folder << report.dump(1);
      ASSERT_EQ(report["errors"].size(), 1u) << folder << report.dump(1);
      EXPECT_EQ(report["errors"][0]["old"], "") << folder;
      EXPECT_TRUE(Contains(report["errors"][0]["text"], "la carpeta de datos '" + folder + "' es la carpeta de"))
          << report["errors"][0]["text"];
    }
  fs::remove(dir / "enlace");
  EXPECT_EQ(Files(), before);
}

TEST_F(OperatorCli, APlanExitsZeroThreeOneOrTwoAndCreatesOrResetsNothing) {
  // A write-protected model: start-up makes it writable for a run, a plan
  // leaves it as it is.
  const std::string model = home + "/modelos/Clientes.mdb";
  ASSERT_EQ(::chmod(model.c_str(), 0444), 0);
  const auto before = Files();
  CliRun pending = Cli(Transform({"--plan"}));
  EXPECT_EQ(pending.code, kExitPending) << pending.err;
  EXPECT_EQ(Files(), before) << "a plan wrote a file";
  EXPECT_FALSE(fs::exists(RunLock::LockFile(home))) << "a plan made the run lock's file";
  struct stat st {};
  ASSERT_EQ(::stat(model.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0444u) << "a plan reset a model's attributes";
  EXPECT_TRUE(Contains(pending.out, "Estado: Plan terminado: no se ha cambiado ningún archivo")) << pending.out;
  EXPECT_FALSE(Contains(pending.out, "Proceso Terminado")) << pending.out;

  ASSERT_EQ(Cli(Transform({})).code, kExitOk);
  EXPECT_EQ(Cli(Transform({"--plan"})).code, kExitOk) << "nothing left to change";

  // Something would be refused: a damaged old database.
  test::WriteBytes(Old("Personal.mdb"), std::string(4096, 'x'));
  EXPECT_EQ(Cli(Transform({"--plan"})).code, kExitJournal);
  // The command could not run: the installation is held by a run.
  {
    RunLock held(home);
    EXPECT_EQ(Cli(Transform({"--plan"})).code, kExitFailure);
  }
  // And a plan holds it against a run, without a file of its own.
  fs::remove(RunLock::LockFile(home));
  {
    RunLock plan(home, true);
    EXPECT_FALSE(fs::exists(RunLock::LockFile(home)));
    EXPECT_EQ(test::NumberOf([&] { RunLock run(home); }), err::kFileInUse);
  }
}

TEST_F(OperatorCli, EveryDatabaseHasAStatusWordAndCountsBesideItsOutcome) {
  Json plan = Json::parse(Cli(Transform({"--plan", "--json", "-"})).out);
  Json run = Json::parse(Cli(Transform({"--json", "-"})).out);
  Json again = Json::parse(Cli(Transform({"--json", "-"})).out);
  using Map = std::map<std::string, std::string>;
  EXPECT_EQ(Statuses(plan), (Map{{"Clientes.mdb", "wouldUpdate"},
                                 {"Personal.mdb", "wouldUpdate"},
                                 {"Archivo.mdb", "wouldSkip"},
                                 {"Inventario.mdb", "wouldCopy"}}));
  EXPECT_EQ(Statuses(run), (Map{{"Clientes.mdb", "updated"},
                                {"Personal.mdb", "updated"},
                                {"Archivo.mdb", "skipped"},
                                {"Inventario.mdb", "copied"}}));
  EXPECT_EQ(Statuses(again), (Map{{"Clientes.mdb", "unchanged"},
                                  {"Personal.mdb", "unchanged"},
                                  {"Archivo.mdb", "skipped"},
                                  {"Inventario.mdb", "unchanged"}}));
  for (const auto& db : run["databases"]) {
    const Json& counts = db["counts"];
    EXPECT_EQ(counts["tablesCreated"], db["tablesCreated"].size()) << db["old"];
    EXPECT_EQ(counts["indexesCreated"], db["indexesCreated"].size()) << db["old"];
    EXPECT_EQ(counts["queriesDeleted"], db["queriesDeleted"].size()) << db["old"];
    EXPECT_EQ(counts["errors"], db["errors"].size()) << db["old"];
    EXPECT_FALSE(db["outcome"].get<std::string>().empty()) << db["old"];
  }
  EXPECT_EQ(run["databases"][0]["counts"]["fieldsAdded"], 4) << run["databases"][0].dump(1);
}

// An error stream that raises `signal` in this process when the run's
// progress first names a database: the handler runs at once, in the middle of
// the run, as an operator's Ctrl+C would.
class RaiseOnFirstDatabase : public std::stringbuf {
 public:
  explicit RaiseOnFirstDatabase(int signal) : signal_(signal) {}

 protected:
  int sync() override {
    if (!raised_ && str().find("Base ") != std::string::npos) {
      raised_ = true;
      ::raise(signal_);
    }
    return 0;
  }

 private:
  int signal_;
  bool raised_ = false;
};

TEST_F(OperatorCli, SigintAndSigtermStopAfterTheDatabaseInHandAndTheReportSaysWhatWasNotReached) {
  struct Case {
    int signal;
    int code;
  };
  for (const Case c : {Case{SIGINT, kExitInterrupted}, Case{SIGTERM, kExitTerminated}}) {
    TempDir fresh;
    ASSERT_EQ(Cli({"demo", fresh.Path()}).code, kExitOk);
    const std::string h = DemoHome(fresh.Path()), d = DemoData(fresh.Path());
    const std::string personal = ReadBytes(d + "/Personal.mdb");
    struct sigaction before {};
    sigaction(c.signal, nullptr, &before);

    RaiseOnFirstDatabase buffer(c.signal);
    std::ostream err(&buffer);
    std::ostringstream out;
    const int code = RunCli({"transform", "--home", h, "--data", d, "--json", fresh / "r.json"}, out, err);

    EXPECT_EQ(code, c.code) << buffer.str();
    Json report = Json::parse(ReadBytes(fresh / "r.json"));
    EXPECT_EQ(report["status"], "Proceso Detenido");
    EXPECT_TRUE(report["stopped"].get<bool>());
    using Map = std::map<std::string, std::string>;
    EXPECT_EQ(Statuses(report), (Map{{"Clientes.mdb", "updated"},
                                     {"Archivo.mdb", "skipped"},
                                     {"Personal.mdb", "notReached"},
                                     {"Inventario.mdb", "notReached"}}))
        << report.dump(1);
    EXPECT_EQ(report["notReached"], Json::array({d + "/Personal.mdb", d + "/Inventario.mdb"}));
    EXPECT_TRUE(ReadBytes(d + "/Personal.mdb") == personal) << "a database after the stop changed";
    EXPECT_FALSE(fs::exists(d + "/Inventario.mdb")) << "a model was copied after the stop";
    EXPECT_EQ(test::RawQuery(d + "/Clientes.mdb", "PRAGMA integrity_check"),
              (std::vector<std::vector<std::string>>{{"ok"}}));
    EXPECT_TRUE(Contains(out.str(), "Personal.mdb: sin tratar")) << out.str();
    EXPECT_TRUE(Contains(buffer.str(), "detenido por")) << buffer.str();
    // The handler goes with the run.
    struct sigaction after {};
    sigaction(c.signal, nullptr, &after);
    EXPECT_EQ(after.sa_handler, before.sa_handler);
  }
}

// Raises a signal at the first byte written to it, once.
class RaiseOnFirstWrite : public std::stringbuf {
 public:
  explicit RaiseOnFirstWrite(int signal) : signal_(signal) {}

 protected:
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    Raise();
    return std::stringbuf::xsputn(s, n);
  }
  int_type overflow(int_type c) override {
    Raise();
    return std::stringbuf::overflow(c);
  }

 private:
  void Raise() {
    if (!raised_) {
      raised_ = true;
      ::raise(signal_);
    }
  }
  int signal_;
  bool raised_ = false;
};

// A signal that comes once the run is over, while its report is written (to
// a pipe, say), neither ends the program nor cuts the report short: the
// report comes whole, with nothing stopped, and the exit code says a signal
// came. The run happens in a child process, which the default action of the
// signal would end.
TEST_F(OperatorCli, ASignalWhileTheReportIsWrittenLetsItBeFinished) {
  const fs::path written = dir / "informe.json", said = dir / "err.txt";
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    RaiseOnFirstWrite buffer(SIGINT);
    std::ostream out(&buffer);
    std::ostringstream err;
    const int code = RunCli({"transform", "--home", home, "--data", data, "--quiet", "--json", "-"}, out, err);
    std::ofstream(written) << buffer.str();
    std::ofstream(said) << err.str();
    ::_exit(code);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), kExitInterrupted);
  Json report = Json::parse(ReadBytes(written));
  EXPECT_FALSE(report["stopped"].get<bool>());
  using Map = std::map<std::string, std::string>;
  EXPECT_EQ(Statuses(report), (Map{{"Clientes.mdb", "updated"},
                                   {"Archivo.mdb", "skipped"},
                                   {"Personal.mdb", "updated"},
                                   {"Inventario.mdb", "copied"}}))
      << report.dump(1);
  EXPECT_TRUE(Contains(ReadBytes(said), "SIGINT llegó con la transformación ya terminada")) << ReadBytes(said);
}

TEST_F(OperatorCli, BackupMakesItsFolderAndCopiesOnlyTheDatabasesTheRunChanges) {
  const std::string backups = dir / "copias/de la noche";
  CliRun run = Cli(Transform({"--backup", backups, "--json", dir / "r.json"}));
  ASSERT_EQ(run.code, kExitOk) << run.err;
  ASSERT_TRUE(fs::is_directory(backups));
  std::vector<fs::path> stamps(fs::directory_iterator(backups), fs::directory_iterator{});
  ASSERT_EQ(stamps.size(), 1u);
  std::set<std::string> copied;
  for (const auto& entry : fs::directory_iterator(stamps[0])) copied.insert(entry.path().filename().string());
  EXPECT_EQ(copied, (std::set<std::string>{"Clientes.mdb", "Personal.mdb"}))
      << "only the databases the run changed";
  // The copy is the database as it was before the run's first change.
  const std::string copy = (stamps[0] / "Clientes.mdb").string();
  EXPECT_TRUE(test::RawQuery(copy, "SELECT name FROM sqlite_master WHERE name = 'Entregas'").empty())
      << "the copy was taken after a change";
  EXPECT_EQ(test::RawQuery(copy, "SELECT count(*) FROM Clientes"),
            test::RawQuery(Old("Clientes.mdb"), "SELECT count(*) FROM Clientes"));
  EXPECT_EQ(test::RawQuery(copy, "PRAGMA integrity_check"), (std::vector<std::vector<std::string>>{{"ok"}}));

  // A second run changes nothing and copies nothing.
  ASSERT_EQ(Cli(Transform({"--backup", backups})).code, kExitOk);
  EXPECT_EQ(std::distance(fs::directory_iterator(backups), fs::directory_iterator{}), 1);

  // A folder that cannot be made refuses the run before anything changes.
  test::WriteBytes(dir / "un archivo", "no es una carpeta");
  const auto before = Files();
  CliRun refused = Cli(Transform({"--backup", dir / "un archivo/copias"}));
  EXPECT_EQ(refused.code, kExitFailure);
  EXPECT_TRUE(Contains(refused.err, "error 75: ")) << refused.err;
  EXPECT_TRUE(Contains(refused.err, dir / "un archivo/copias")) << refused.err;
  EXPECT_EQ(Files(), before);
}

TEST_F(OperatorCli, AReadOnlyDataFolderIsOneErrorPerDatabaseAndThePlanSaysTheSame) {
  // Clientes and Personal would change; Inventario would be copied.
  ASSERT_EQ(::chmod(data.c_str(), 0555), 0);
  struct Restore {
    std::string folder;
    ~Restore() { ::chmod(folder.c_str(), 0755); }
  } restore{data};
  const auto before = FolderContents(data);
  Json plan = Json::parse(Cli(Transform({"--plan", "--json", "-"})).out);
  TempDir out;
  CliRun run_text = Cli(Transform({"--json", out / "run.json"}));
  EXPECT_EQ(run_text.code, kExitJournal);
  Json run = Json::parse(ReadBytes(out / "run.json"));
  for (const Json* report : {&plan, &run}) {
    std::map<std::string, int> errors;
    for (const auto& e : (*report)["errors"]) {
      ++errors[fs::path(e["old"].get<std::string>()).filename().string()];
      EXPECT_FALSE(Contains(e["text"], "_Click")) << e["text"];
    }
    EXPECT_EQ(errors, (std::map<std::string, int>{{"Clientes.mdb", 1}, {"Personal.mdb", 1}, {"Inventario.mdb", 1}}))
        << report->dump(1);
  }
  using Map = std::map<std::string, std::string>;
  EXPECT_EQ(Statuses(plan), (Map{{"Clientes.mdb", "wouldFail"},
                                 {"Personal.mdb", "wouldFail"},
                                 {"Archivo.mdb", "wouldSkip"},
                                 {"Inventario.mdb", "wouldFail"}}));
  EXPECT_EQ(Statuses(run), (Map{{"Clientes.mdb", "failed"},
                                {"Personal.mdb", "failed"},
                                {"Archivo.mdb", "skipped"},
                                {"Inventario.mdb", "failed"}}));
  EXPECT_TRUE(FolderContents(data) == before) << "a file of the read-only folder changed";
}

TEST_F(OperatorCli, ProgressOnAPipeNamesOnlyTheDatabaseInHand) {
  CliRun run = Cli(Transform({}));
  ASSERT_EQ(run.code, kExitOk);
  std::vector<std::string> lines;
  std::istringstream stream(run.err);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  EXPECT_EQ(lines, (std::vector<std::string>{"Base 2 de 3: Clientes.mdb", "Base 3 de 3: Personal.mdb",
                                             "Añadiendo bases de datos nuevas", "Proceso Terminado"}));
}

TEST(OperatorHelp, EveryHelpFitsEightyColumnsWithItsOwnExampleAndExitCodes) {
  struct Case {
    std::vector<std::string> args;
    std::vector<const char*> has;
    std::vector<const char*> lacks;
  };
  const Case cases[] = {
      {{"--help"}, {"ORDEN --help", "Códigos de salida"}, {}},
      {{"setup", "--help"}, {"Ejemplo:", "--home", "Códigos de salida: 0"}, {"130", " 3 "}},
      {{"demo", "--help"}, {"Ejemplo:", "Códigos de salida: 0"}, {"130", " 3 "}},
      {{"schema", "--help"}, {"Ejemplo:", "Códigos de salida: 0"}, {"130", " 3 "}},
      {{"transform", "--help"}, {"Ejemplos:", "3 con --plan", "130 o 143", "SIGINT"}, {}},
  };
  for (const auto& c : cases) {
    CliRun run = Cli(c.args);
    ASSERT_EQ(run.code, kExitOk) << c.args[0];
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);)
      EXPECT_LE(Columns(line), 80u) << c.args[0] << ": " << line;
    for (const char* part : c.has) EXPECT_TRUE(Contains(run.out, part)) << c.args[0] << " lacks " << part;
    for (const char* part : c.lacks) EXPECT_FALSE(Contains(run.out, part)) << c.args[0] << " has " << part;
  }
  // An unknown option is named, with the help of its subcommand.
  CliRun unknown = Cli({"transform", "--bogus"});
  EXPECT_EQ(unknown.code, kExitUsage);
  EXPECT_EQ(unknown.err, "brenquil-cli: opción desconocida: '--bogus'\nAyuda: brenquil-cli transform --help\n");
}

TEST(OperatorHelp, SetupTakesHomeLikeTheOtherSubcommands) {
  TempDir t;
  CliRun made = Cli({"setup", "--home", t / "inst"});
  ASSERT_EQ(made.code, kExitOk) << made.err;
  EXPECT_TRUE(fs::exists(t / "inst/indices.mdb"));
  EXPECT_EQ(Cli({"setup", t / "inst"}).out, "nada que hacer: la instalación de " + (t / "inst") + " está completa\n");
  EXPECT_EQ(Cli({"setup", t / "una", "--home", t / "otra"}).code, kExitUsage);
  EXPECT_FALSE(fs::exists(t / "una"));
}

TEST(OperatorHelp, TheDemosHintIsACommandThatWorksAsPrinted) {
  TempDir t;
  const std::string folder = t / "demo de O'Brien";
  CliRun demo = Cli({"demo", folder});
  ASSERT_EQ(demo.code, kExitOk) << demo.err;
  const std::string prefix = "para transformarla: ";
  auto at = demo.out.find(prefix);
  ASSERT_NE(at, std::string::npos) << demo.out;
  std::string command = demo.out.substr(at + prefix.size());
  command = command.substr(0, command.find('\n'));
  // The program's path, quoted, then the arguments: the shell reads them back whole.
  const std::string program = "'" + Paths::Join(ProgramFolder(), "brenquil-cli") + "'";
  ASSERT_EQ(command.rfind(program + " ", 0), 0u) << command;
  std::string script = "printf '%s\\n' " + command.substr(program.size() + 1) + " > '" + (t / "words") + "'";
  ASSERT_EQ(std::system(script.c_str()), 0) << script;
  EXPECT_EQ(ReadBytes(t / "words"), "transform\n--home\n" + DemoHome(folder) + "\n--data\n" + DemoData(folder) + "\n");
}

}  // namespace
}  // namespace brenquil
