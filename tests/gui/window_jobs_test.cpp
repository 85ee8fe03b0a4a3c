// The window's --jobs: "Previsualizar" and "Transformar" shared among worker
// processes (the real brenquil program, started again without a display)
// read as the run of one process: the same journal, results, summary and
// progress, in the list's order, and the same files; "Detener" during a
// shared run finishes the databases in the workers' hands and leaves every
// file valid.
#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

#include "cli/transform_jobs.h"
#include "engine/dbengine.h"
#include "gui/desktop.h"
#include "shell/installation.h"
#include "shell/transformation.h"
#include "tests/gui/qt_support.h"
#include "tests/support/jobs_installation.h"
#include "tests/support/test_support.h"

namespace brenquil::test {
namespace {

namespace fs = std::filesystem;
using Rows = std::vector<std::vector<std::string>>;

constexpr int kPairs = 7;

// An installation of kPairs pairs, the second and the last refused by the
// unique index, an old database without a model and a model without an old
// database: written by the sqlite3 library.
void MakeInstallation(const std::string& home, const std::string& data) {
  SetupInstallation(home);
  fs::create_directories(data);
  for (int n = 1; n <= kPairs; ++n) {
    const std::string name = "base0" + std::to_string(n) + ".mdb";
    RawExec(Paths(home).ModelPath(name), kJobsModel);
    RawExec(data + "/" + name, JobsOldDatabase(n, n == 2 || n == kPairs, 30));
  }
  RawExec(data + "/suelta.mdb", "CREATE TABLE s (a INTEGER); INSERT INTO s VALUES (1);");
  RawExec(Paths(home).ModelPath("nueva.mdb"), "CREATE TABLE t (a INTEGER);");
  DBEngine::Instance().CloseIdle();
}

// What the window shows of a run, its folders written "@".
struct Shown {
  std::string journal;
  std::vector<std::pair<std::string, std::string>> results;  // file, outcome, as listed
  std::string summary;
  std::string status;
  std::vector<std::string> progress;  // "N/M model old", as the bar and the boxes moved
  bool operator==(const Shown&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Shown& s) {
  out << s.status << "\n" << s.summary << "\n" << s.journal << "\n";
  for (const auto& [file, outcome] : s.results) out << file << ": " << outcome << "\n";
  for (const auto& line : s.progress) out << line << "\n";
  return out;
}

class WindowJobs : public ::testing::Test {
 protected:
  WindowJobs() {
    App();
    UseWorkers(false);
  }
  ~WindowJobs() override {
    desktop_.reset();
    SetWorkerProgram("");
  }

  // The worker started is the real program, without any display, through
  // a script that counts the workers; with `slow_second`, the second one
  // started (the one given the second folder of catalogues, whichever of
  // the two scripts gets to run first) starts two seconds late.
  void UseWorkers(bool slow_second) {
    const std::string log = dir_ / "trabajadores";
    WriteBytes(dir_ / "trabajador.sh",
               "#!/bin/sh\necho x >>\"" + log + "\"\n" +
                   (slow_second ? std::string("case \"$") + kWorkerVariable + "\" in */w1) sleep 2 ;; esac\n" : "") +
                   "unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM\nexec \"" + BRENQUIL_PROGRAM + "\" \"$@\"\n");
    fs::permissions(dir_ / "trabajador.sh", fs::perms::owner_all);
    SetWorkerProgram(dir_ / "trabajador.sh");
  }

  std::string Home(const std::string& run) const { return dir_ / (run + "/home"); }
  std::string Data(const std::string& run) const { return dir_ / (run + "/datos"); }

  // The window started as `brenquil --home --data --jobs N` on installation `run`.
  void Start(const std::string& run, int jobs) {
    desktop_.reset();
    MakeInstallation(Home(run), Data(run));
    int code = -1;
    desktop_ = gui::StartDesktop({"brenquil", "--home", QString::fromStdString(Home(run)), "--data",
                                  QString::fromStdString(Data(run)), "--jobs", QString::number(jobs)},
                                 code);
    ASSERT_EQ(code, 0);
    ASSERT_NE(desktop_, nullptr);
    progress_.clear();
    Actualiz& state = desktop_->State();
    // The progress as the bars and the boxes show it, one line per database.
    state.Text4.Subscribe([this, &state] {
      if (!state.Busy()) return;
      const std::string line = std::to_string(static_cast<int>(state.Bar1.Value())) + "/" +
                               std::to_string(static_cast<int>(state.Bar1.Max())) + " " + state.Text3.Text() + " " +
                               state.Text4.Text();
      if (progress_.empty() || progress_.back() != line) progress_.push_back(line);
    });
  }

  gui::ActualizWindow& Main() { return desktop_->Main(); }

  Shown Seen(const std::string& run) {
    Shown s;
    const std::string root = dir_ / run;
    s.journal = Replaced(Main().JournalText().toStdString(), root, "@");
    auto* table = Child<QTableWidget>(Main(), "Resultados");
    for (int r = 0; table && r < table->rowCount(); ++r)
      s.results.emplace_back(table->item(r, 0)->text().toStdString(), table->item(r, 1)->text().toStdString());
    s.summary = Child<QLabel>(Main(), "Resumen")->text().toStdString();
    s.status = desktop_->State().Label4.Caption();
    for (const auto& line : progress_) s.progress.push_back(Replaced(line, root, "@"));
    progress_.clear();
    return s;
  }

  int WorkersStarted() const {
    std::error_code ec;
    return fs::exists(dir_ / "trabajadores", ec) ? static_cast<int>(ReadBytes(dir_ / "trabajadores").size() / 2) : 0;
  }

  TempDir dir_;
  std::unique_ptr<gui::Desktop> desktop_;
  std::vector<std::string> progress_;
};

TEST_F(WindowJobs, TwoWorkersShowWhatOneProcessShowsAndWriteTheSameFiles) {
  Shown plan[2], run[2];
  int questions[2] = {0, 0};
  std::map<std::string, Rows> files[2];
  for (int jobs : {1, 2}) {
    const std::string name = "j" + std::to_string(jobs);
    Start(name, jobs);
    Main().PressPreview();
    plan[jobs - 1] = Seen(name);
    // "Transformar": the plan again, the question, then the run.
    questions[jobs - 1] = AnswerConfirmation([&] { Child<QPushButton>(Main(), "Command13")->click(); });
    run[jobs - 1] = Seen(name);
    desktop_.reset();
    DBEngine::Instance().CloseIdle();
    files[jobs - 1] = DatabaseContents(Data(name));
    if (jobs == 1) {
      EXPECT_EQ(WorkersStarted(), 0);
    }
  }
  // Each of the plan, the plan "Transformar" makes first and the run of
  // the second window had its two workers.
  EXPECT_EQ(WorkersStarted(), 6);
  EXPECT_EQ(questions[0], 1);
  EXPECT_EQ(questions[1], 1);
  EXPECT_EQ(plan[0], plan[1]);
  EXPECT_EQ(run[0], run[1]);
  // The plan and the run met the two refusals and the whole list.
  EXPECT_EQ(run[0].status, kStatusDone);
  EXPECT_EQ(plan[0].status, kStatusPlanDone);
  // "Transformar" shows the plan's progress, then the run's.
  EXPECT_EQ(run[0].progress.size(), 2u * kPairs) << run[0];
  for (const char* refused : {"base02.mdb", "base07.mdb"})
    EXPECT_NE(run[0].journal.find(refused), std::string::npos) << run[0];
  EXPECT_EQ(files[0].size(), kPairs + 2u);  // the pairs, the one without a model, the copied model
  EXPECT_EQ(files[0], files[1]);
  for (const auto& [name, rows] : files[1]) EXPECT_EQ(rows[0][0], "ok") << name;
}

// "Detener" once the first database is in, while the second worker, late,
// has not started on the two it holds: the window stays painted and takes
// the click while it waits, the workers finish the four databases in their
// hands, the rest of the list is named as not reached, in its order, and is
// left as it was.
TEST_F(WindowJobs, DetenerStopsASharedRunAfterTheDatabasesInHand) {
  UseWorkers(true);
  Start("j2", 2);
  Actualiz& state = desktop_->State();
  auto* stop = Child<QPushButton>(Main(), "Detener");
  ASSERT_NE(stop, nullptr);
  const std::vector<std::string> list = state.List6.Items();
  ASSERT_EQ(list.size(), kPairs + 1u);
  std::map<std::string, std::string> before;
  for (const auto& name : list) before[name] = ReadBytes(Data("j2") + "/" + name);
  bool clicked = false;
  long refreshes_at_click = 0;
  std::chrono::steady_clock::time_point click_time;
  state.Text4.Subscribe([&] {
    if (clicked || !state.Busy() || state.Bar1.Value() < 1) return;
    clicked = true;
    refreshes_at_click = state.Frame13.Refreshes();
    click_time = std::chrono::steady_clock::now();
    PostClick(stop);
  });
  Main().PressButton(13);
  const auto waited = std::chrono::steady_clock::now() - click_time;
  QApplication::processEvents();
  ASSERT_TRUE(clicked);
  EXPECT_EQ(WorkersStarted(), 2);
  // Waiting for the late worker, the run asked the window to repaint about
  // ten times a second, where a run of one process does once a database (the
  // four in hand): at least once every quarter second from the click on,
  // however late a loaded machine let the run see it.
  const long quarters = static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(waited).count() / 250);
  EXPECT_GE(state.Frame13.Refreshes() - refreshes_at_click, quarters);
  EXPECT_EQ(state.Label4.Caption(), kStatusStopped);
  const Shown shown = Seen("j2");
  std::map<std::string, std::string> outcome(shown.results.begin(), shown.results.end());
  for (size_t i = 0; i < list.size(); ++i) {
    const std::string path = Data("j2") + "/" + list[i];
    if (i < 4) {
      EXPECT_EQ(outcome[list[i]].rfind("actualizada", 0), 0u) << list[i] << "\n" << shown;
      EXPECT_FALSE(RawQuery(path, "SELECT 1 FROM sqlite_master WHERE name = 'linea'").empty()) << list[i];
    } else {
      EXPECT_EQ(outcome[list[i]].rfind("sin tratar", 0), 0u) << list[i] << "\n" << shown;
      EXPECT_TRUE(ReadBytes(path) == before[list[i]]) << list[i] << " changed after the stop";
    }
  }
  EXPECT_EQ(outcome["nueva.mdb"].rfind("sin tratar", 0), 0u) << shown;
  EXPECT_FALSE(fs::exists(Data("j2") + "/nueva.mdb"));
  EXPECT_TRUE(Child<QLabel>(Main(), "Resumen")->text().contains("5 sin tratar")) << shown;
  desktop_.reset();
  DBEngine::Instance().CloseIdle();
  for (const auto& [name, rows] : DatabaseContents(Data("j2"))) EXPECT_EQ(rows[0][0], "ok") << name;
}

}  // namespace
}  // namespace brenquil::test
