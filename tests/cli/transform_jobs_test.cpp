// transform --jobs: the pairs shared among worker processes (brenquil-cli
// itself, started again) give the run of one process: the same report, the
// same journal in the same order, the same files; a plan changes nothing; a
// worker killed midway leaves every file valid and its database is named.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <set>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/transform_jobs.h"
#include "engine/dbengine.h"
#include "shell/run_lock.h"
#include "tests/support/jobs_installation.h"
#include "tests/support/test_support.h"

extern "C" char** environ;

namespace brenquil {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;
using Rows = std::vector<std::vector<std::string>>;
using test::FolderContents;
using test::DatabaseContents;
using test::JobsOldDatabase;
using test::kJobsModel;
using test::RawExec;
using test::RawQuery;
using test::ReadBytes;
using test::Replaced;
using test::TempDir;


// An installation of `pairs` pairs, two of them (the second and the last)
// with rows the model's unique index refuses, an old database without a
// model and a model without an old database.
void MakeInstallation(const std::string& home, const std::string& data, int pairs) {
  std::ostringstream out, err;
  ASSERT_EQ(RunCli({"setup", home}, out, err), kExitOk) << err.str();
  fs::create_directories(data);
  for (int n = 1; n <= pairs; ++n) {
    char name[32];
    std::snprintf(name, sizeof name, "base%02d.mdb", n);
    RawExec(home + "/modelos/" + name, kJobsModel);
    RawExec(data + "/" + name, JobsOldDatabase(n, n == 2 || n == pairs, 40));
  }
  RawExec(data + "/suelta.mdb", "CREATE TABLE s (a INTEGER); INSERT INTO s VALUES (1);");
  RawExec(home + "/modelos/nueva.mdb", "CREATE TABLE t (a INTEGER);");
  DBEngine::Instance().CloseIdle();
}

struct RunResult {
  int code = -1;
  std::string out, err;
};

RunResult Transform(const std::string& home, const std::string& data, std::vector<std::string> extra) {
  DBEngine::Instance().CloseIdle();
  std::vector<std::string> args = {"transform", "--home", home, "--data", data};
  args.insert(args.end(), extra.begin(), extra.end());
  std::ostringstream out, err;
  RunResult run;
  run.code = RunCli(args, out, err);
  DBEngine::Instance().CloseIdle();
  run.out = out.str();
  run.err = err.str();
  return run;
}

class TransformJobs : public ::testing::Test {
 protected:
  void SetUp() override {
    SetWorkerProgram(BRENQUIL_CLI_PROGRAM);
    MakeInstallation(one_ / "home", one_ / "datos", kPairs);
    MakeInstallation(two_ / "home", two_ / "datos", kPairs);
  }
  void TearDown() override { SetWorkerProgram(""); }

  static constexpr int kPairs = 7;
  TempDir one_, two_;
};

TEST_F(TransformJobs, TwoWorkersGiveTheRunOfOneProcess) {
  RunResult serial = Transform(one_ / "home", one_ / "datos", {"--jobs", "1", "--json", "-"});
  RunResult shared = Transform(two_ / "home", two_ / "datos", {"--jobs", "2", "--json", "-"});
  ASSERT_EQ(serial.code, kExitJournal) << serial.err;
  EXPECT_EQ(shared.code, serial.code) << shared.err;
  // The report, journal included, names the same things in the same order.
  Json a = Json::parse(Replaced(serial.out, one_.Path(), "@"));
  Json b = Json::parse(Replaced(shared.out, two_.Path(), "@"));
  EXPECT_EQ(a, b) << a.dump(1) << "\n" << b.dump(1);
  ASSERT_EQ(a["errors"].size(), 2u) << a.dump(1);
  EXPECT_NE(a["errors"][0].dump().find("base02.mdb"), std::string::npos) << a.dump(1);
  EXPECT_NE(a["errors"][1].dump().find("base07.mdb"), std::string::npos) << a.dump(1);
  // The journal and the progress as printed.
  EXPECT_EQ(Replaced(serial.err, one_.Path(), "@"), Replaced(shared.err, two_.Path(), "@"));
  // Every file the same: objects, rows, and an intact file.
  auto files = DatabaseContents(one_ / "datos");
  EXPECT_EQ(files.size(), kPairs + 2u);  // the pairs, the one without a model, the copied model
  EXPECT_EQ(files, DatabaseContents(two_ / "datos"));
  for (const auto& [name, rows] : files) EXPECT_EQ(rows[0][0], "ok") << name;
}

// A name may hold any byte but NUL: a line break, a backslash, bytes that are
// not UTF-8, what looks like an escape. The workers transform such a pair as
// one process does, rather than fail it for its name.
TEST_F(TransformJobs, NamesWithLineBreaksOrBytesThatAreNotUtf8AreTransformedByTheWorkers) {
  const std::vector<std::string> names = {"l\xC3\xADnea\nnueva.mdb", "raro\xE9\xFF.mdb", "barra\\n%41%.mdb"};
  for (const TempDir* tree : {&one_, &two_})
    for (size_t n = 0; n < names.size(); ++n) {
      RawExec(tree->Path() + "/home/modelos/" + names[n], kJobsModel);
      RawExec(tree->Path() + "/datos/" + names[n], JobsOldDatabase(static_cast<int>(n) + 3, false, 20));
    }
  DBEngine::Instance().CloseIdle();
  RunResult serial = Transform(one_ / "home", one_ / "datos", {"--jobs", "1", "--json", "-"});
  RunResult shared = Transform(two_ / "home", two_ / "datos", {"--jobs", "2", "--json", "-"});
  EXPECT_EQ(shared.code, serial.code) << shared.err;
  EXPECT_EQ(shared.err.find("proceso de trabajo"), std::string::npos) << shared.err;
  EXPECT_EQ(Json::parse(Replaced(serial.out, one_.Path(), "@")), Json::parse(Replaced(shared.out, two_.Path(), "@")));
  EXPECT_EQ(Replaced(serial.err, one_.Path(), "@"), Replaced(shared.err, two_.Path(), "@"));
  auto files = DatabaseContents(two_ / "datos");
  EXPECT_EQ(files, DatabaseContents(one_ / "datos"));
  for (const auto& name : names) {
    ASSERT_EQ(files.count(name), 1u) << name;
    // Transformed: the model's table and its index are in the old database now.
    EXPECT_EQ(RawQuery(two_.Path() + "/datos/" + name,
                       "SELECT count(*) FROM sqlite_master WHERE name IN ('linea', 'linea_pedido')"),
              Rows{{"2"}})
        << name;
  }
}

// Workers are only a way to go faster: a TMPDIR that does not exist leaves
// them their scratch folder in /tmp, and a worker program that cannot be
// started leaves the run to this process, which says so and does it whole.
TEST_F(TransformJobs, WhenNoWorkerCanStartTheRunIsDoneInThisProcess) {
  RunResult serial = Transform(one_ / "home", one_ / "datos", {"--jobs", "1", "--json", "-"});
  const Json expected = Json::parse(Replaced(serial.out, one_.Path(), "@"));
  const char* tmpdir = std::getenv("TMPDIR");
  const std::string saved = tmpdir ? tmpdir : "";
  ::setenv("TMPDIR", (two_ / "no-existe").c_str(), 1);
  RunResult shared = Transform(two_ / "home", two_ / "datos", {"--jobs", "2", "--json", "-"});
  tmpdir ? ::setenv("TMPDIR", saved.c_str(), 1) : ::unsetenv("TMPDIR");
  EXPECT_EQ(shared.code, serial.code) << shared.err;
  EXPECT_EQ(shared.err.find("este proceso"), std::string::npos) << shared.err;
  EXPECT_EQ(Json::parse(Replaced(shared.out, two_.Path(), "@")), expected);

  TempDir three;
  MakeInstallation(three / "home", three / "datos", kPairs);
  SetWorkerProgram(three / "no-existe/brenquil-cli");
  RunResult alone = Transform(three / "home", three / "datos", {"--jobs", "2", "--json", "-"});
  SetWorkerProgram(BRENQUIL_CLI_PROGRAM);
  EXPECT_EQ(alone.code, serial.code) << alone.err;
  EXPECT_NE(alone.err.find("no se pudo iniciar el proceso de trabajo"), std::string::npos) << alone.err;
  EXPECT_NE(alone.err.find("las bases viejas se transforman una tras otra en este proceso"), std::string::npos)
      << alone.err;
  EXPECT_EQ(Json::parse(Replaced(alone.out, three.Path(), "@")), expected);
  EXPECT_EQ(DatabaseContents(three / "datos"), DatabaseContents(one_ / "datos"));
}

// A named pipe called like a database, among the old ones or the models, is
// journaled as no database, with one process or with workers; a run that
// opened it for reading would wait for a writer for ever. A watchdog writes
// to each pipe after a while, so that such a run ends and fails here.
TEST_F(TransformJobs, ANamedPipeCalledLikeADatabaseIsJournaledInsteadOfWaitedFor) {
  std::vector<std::string> pipes;
  for (const TempDir* tree : {&one_, &two_}) {
    RawExec(tree->Path() + "/home/modelos/tubo.mdb", kJobsModel);
    for (const std::string& pipe : {tree->Path() + "/datos/tubo.mdb", tree->Path() + "/home/modelos/solo.mdb"}) {
      ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0) << pipe;
      pipes.push_back(pipe);
    }
  }
  DBEngine::Instance().CloseIdle();
  std::atomic<bool> done{false}, unblocked{false};
  std::thread watchdog([&] {
    for (int tenth = 0; tenth < 300 && !done; ++tenth) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    while (!done) {
      for (const auto& pipe : pipes) {
        const int fd = ::open(pipe.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) {
          unblocked = true;
          ::close(fd);
        }
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  });
  RunResult serial = Transform(one_ / "home", one_ / "datos", {"--jobs", "1", "--json", "-"});
  RunResult shared = Transform(two_ / "home", two_ / "datos", {"--jobs", "2", "--json", "-"});
  done = true;
  watchdog.join();
  EXPECT_FALSE(unblocked) << "a run waited on a named pipe";
  for (const auto& [run, root] : {std::pair{&serial, one_.Path()}, std::pair{&shared, two_.Path()}}) {
    ASSERT_EQ(run->code, kExitJournal) << run->err;
    Json report = Json::parse(run->out);
    std::map<std::string, std::string> journaled;
    for (const auto& e : report["errors"]) {
      const std::string old = e["old"].get<std::string>();
      journaled[old.substr(old.rfind('/') + 1)] += e["text"].get<std::string>();
    }
    for (const std::string name : {"tubo.mdb", "solo.mdb"})
      EXPECT_NE(journaled[name].find("no es un archivo normal (es una tubería con nombre)"), std::string::npos)
          << name << ": " << report["errors"].dump(1);
    // The other pairs are transformed as without the pipes.
    EXPECT_EQ(RawQuery(root + "/datos/base01.mdb", "SELECT count(*) FROM sqlite_master WHERE name = 'linea'"),
              Rows{{"1"}});
  }
}

TEST_F(TransformJobs, APlanWithWorkersChangesNothingAndSaysWhatOneProcessSays) {
  const auto before = FolderContents(two_.Path());
  RunResult serial = Transform(one_ / "home", one_ / "datos", {"--plan", "--jobs", "1", "--json", "-"});
  RunResult shared = Transform(two_ / "home", two_ / "datos", {"--plan", "--jobs", "2", "--json", "-"});
  EXPECT_EQ(shared.code, serial.code) << shared.err;
  EXPECT_EQ(Json::parse(Replaced(serial.out, one_.Path(), "@")), Json::parse(Replaced(shared.out, two_.Path(), "@")));
  auto after = FolderContents(two_.Path());
  after.erase(fs::relative(RunLock::LockFile(two_ / "home"), two_.Path()).string());
  EXPECT_TRUE(after == before) << "a plan with workers changed a file";
}

// With workers the backups are what one process makes: a copy of each
// database the run changes, in one dated folder, and a second run, which
// changes nothing, leaves no folder behind.
TEST_F(TransformJobs, WorkersBackUpOnlyTheDatabasesTheRunChanges) {
  const std::string backups = two_ / "copias";
  RunResult run = Transform(two_ / "home", two_ / "datos", {"--jobs", "2", "--backup", backups, "--json", "-"});
  ASSERT_EQ(run.code, kExitJournal) << run.err;
  Json report = Json::parse(run.out);
  std::set<std::string> changed, copied;
  for (const auto& database : report["databases"])
    if (database["status"] == "updated") {
      changed.insert(fs::path(database["old"].get<std::string>()).filename().string());
      EXPECT_FALSE(database["backup"].get<std::string>().empty()) << database.dump(1);
    }
  ASSERT_FALSE(changed.empty()) << run.out;
  std::vector<fs::path> folders;
  for (const auto& entry : fs::directory_iterator(backups)) folders.push_back(entry.path());
  ASSERT_EQ(folders.size(), 1u);
  for (const auto& entry : fs::directory_iterator(folders[0])) copied.insert(entry.path().filename().string());
  EXPECT_EQ(copied, changed);
  for (const auto& name : copied)
    EXPECT_EQ(RawQuery((folders[0] / name).string(), "PRAGMA integrity_check")[0][0], "ok") << name;

  RunResult again = Transform(two_ / "home", two_ / "datos", {"--jobs", "2", "--backup", backups});
  EXPECT_EQ(again.code, kExitJournal) << again.err;
  size_t after = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(backups)) ++after;
  EXPECT_EQ(after, 1u) << "a run that changed nothing left a backup folder";
}

// The worker started is a script that starts the real program and kills it:
// once it has sent its first line back (so it always holds an entry it has
// not finished), or after `delay` seconds, wherever it is then: in the middle
// of a database, between two, or waiting for the next. A machine fast enough
// to finish every database within a delay still meets the first kind.
TEST_F(TransformJobs, AWorkerKilledMidwayLeavesEveryFileValidAndItsDatabaseNamed) {
  int killed_midway = 0;
  for (const std::string delay : {"first line", "0.05", "0.3", "0.6", "1.0"}) {
    TempDir dir;
    MakeInstallation(dir / "home", dir / "datos", kPairs);
    const std::string script = dir / "trabajador.sh";
    const std::string program = std::string("\"") + BRENQUIL_CLI_PROGRAM + "\" \"$@\" <&3";
    if (delay == "first line")
      test::WriteBytes(script, "#!/bin/sh\nexec 3<&0\npidfile=\"" + dir / "pid" +
                                   ".$$\"\n(" + program + " & echo $! >\"$pidfile\"; wait) | "
                                   "{ IFS= read -r line; printf '%s\\n' \"$line\"; "
                                   "kill -KILL \"$(cat \"$pidfile\")\" 2>/dev/null; cat >/dev/null; }\n");
    else
      test::WriteBytes(script, "#!/bin/sh\nexec 3<&0\n" + program + " &\npid=$!\nsleep " + delay +
                                   "\nkill -KILL $pid 2>/dev/null\nwait $pid 2>/dev/null\n");
    fs::permissions(script, fs::perms::owner_all);
    SetWorkerProgram(script);
    RunResult run = Transform(dir / "home", dir / "datos", {"--jobs", "2", "--json", "-"});
    SetWorkerProgram(BRENQUIL_CLI_PROGRAM);
    ASSERT_EQ(run.code, kExitJournal) << run.err;
    Json report = Json::parse(run.out);
    // Each pair was transformed whole, or journaled as left by its worker
    // and as it was: never half done.
    std::map<std::string, std::string> journaled;
    for (const auto& e : report["errors"]) journaled[fs::path(e["old"].get<std::string>()).filename().string()] += e["text"].get<std::string>();
    for (int n = 1; n <= kPairs; ++n) {
      char name[32];
      std::snprintf(name, sizeof name, "base%02d.mdb", n);
      const std::string path = dir / ("datos/" + std::string(name));
      ASSERT_EQ(RawQuery(path, "PRAGMA integrity_check")[0][0], "ok") << name;
      const bool has_new_table = !RawQuery(path, "SELECT 1 FROM sqlite_master WHERE name = 'linea'").empty();
      const bool left = journaled[name].find("el proceso de trabajo terminó") != std::string::npos ||
                        journaled[name].find("los procesos de trabajo terminaron") != std::string::npos;
      if (left) {
        // Its worker may have committed it before it ended, and never said so;
        // what it holds is all of the pair's changes or none.
        ++killed_midway;
        const bool has_new_field = !RawQuery(path, "SELECT 1 FROM pragma_table_info('cliente') WHERE name = 'alta'").empty();
        const bool has_view = !RawQuery(path, "SELECT 1 FROM sqlite_master WHERE name = 'grandes'").empty();
        EXPECT_TRUE(has_new_table == has_new_field && has_new_field == has_view)
            << name << " half done: " << journaled[name];
        EXPECT_NE(journaled[name].find("con todos los cambios de esta base o con ninguno"), std::string::npos)
            << journaled[name];
      } else {
        EXPECT_TRUE(has_new_table) << name << " neither transformed nor journaled\n" << report.dump(1);
      }
    }
    // A run of one process afterwards finishes the work on valid files.
    RunResult again = Transform(dir / "home", dir / "datos", {"--jobs", "1", "--quiet"});
    EXPECT_EQ(again.code, kExitJournal) << again.err;
    for (const auto& [name, rows] : DatabaseContents(dir / "datos")) EXPECT_EQ(rows[0][0], "ok") << name;
  }
  // At least the worker killed after its first line held a database.
  EXPECT_GT(killed_midway, 0);
}

// SIGINT to the parent (the program run by the operator, a process of its
// own here) while its workers run: the databases in the workers' hands are
// finished, the rest are named as not reached, after them in the list, and
// every file stays valid.
TEST_F(TransformJobs, AStopWaitsForTheDatabasesInHandAndNamesTheRestInOrder) {
  const std::string report = two_ / "informe.json";
  std::vector<std::string> list;  // the data folder's databases, in the list's order
  for (const auto& entry : fs::directory_iterator(two_ / "datos"))
    if (entry.path().extension() == ".mdb") list.push_back(entry.path().filename().string());
  std::sort(list.begin(), list.end());
  std::vector<std::string> args = {BRENQUIL_CLI_PROGRAM, "transform", "--home", two_ / "home", "--data",
                                   two_ / "datos", "--jobs", "2", "--quiet", "--json", report};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  ASSERT_EQ(posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ), 0);
  // The signal goes once the run has begun: its lock is taken after the
  // program's own handlers are in place, and a SIGINT before them ends any
  // program, as Ctrl+C does (a slow start, under a sanitizer, is no fault).
  const fs::path lock = RunLock::LockFile(two_ / "home");
  int status = 0;
  bool ended = false;
  for (int waited = 0; waited < 60000 && !fs::exists(lock) && !ended; waited += 5) {
    ended = waitpid(pid, &status, WNOHANG) == pid;
    if (!ended) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (!ended) {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    kill(pid, SIGINT);
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
  }
  ASSERT_TRUE(WIFEXITED(status));
  const int code = WEXITSTATUS(status);
  // Either the stop came in time, or the run had ended with its journal.
  ASSERT_TRUE(code == kExitInterrupted || code == kExitJournal) << code;
  Json r = Json::parse(ReadBytes(report));
  // A signal that comes after the last database still exits 130, with
  // nothing left unreached.
  if (r["stopped"].get<bool>()) {
    EXPECT_EQ(code, kExitInterrupted);
  }
  if (code == kExitJournal) {
    EXPECT_FALSE(r["stopped"].get<bool>());
  }
  // Handed out in the list's order: what was not reached is the list's
  // tail, untouched; everything before it was transformed.
  std::vector<std::string> not_reached;  // the old databases; not the model it would copy
  for (const auto& path : r["notReached"]) {
    const std::string name = fs::path(path.get<std::string>()).filename().string();
    if (std::find(list.begin(), list.end(), name) != list.end()) not_reached.push_back(name);
  }
  ASSERT_LE(not_reached.size(), list.size());
  EXPECT_EQ(not_reached, std::vector<std::string>(list.end() - not_reached.size(), list.end())) << r.dump(1);
  for (size_t i = 0; i < list.size(); ++i) {
    if (list[i] == "suelta.mdb") continue;
    const bool has_new_table =
        !RawQuery(two_ / ("datos/" + list[i]), "SELECT 1 FROM sqlite_master WHERE name = 'linea'").empty();
    EXPECT_EQ(has_new_table, i < list.size() - not_reached.size()) << list[i] << "\n" << r.dump(1);
  }
  for (const auto& [name, rows] : DatabaseContents(two_ / "datos")) EXPECT_EQ(rows[0][0], "ok") << name;
}

TEST(TransformJobsOptions, TheHelpTellsJobsAndANonPositiveCountIsAUsageError) {
  std::ostringstream out, err;
  ASSERT_EQ(RunCli({"transform", "--help"}, out, err), kExitOk);
  EXPECT_NE(out.str().find("--jobs"), std::string::npos) << out.str();
  std::ostringstream out2, err2;
  EXPECT_EQ(RunCli({"transform", "--jobs", "0"}, out2, err2), kExitUsage) << err2.str();
}

}  // namespace
}  // namespace brenquil
