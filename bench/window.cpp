// Times one "Transformar" in the real desktop window against the same run on
// the command line, both in this process, so the window's share of the cost
// (its widgets and repaints) shows. Each mode starts the program on the given
// installation, runs the start-up activation and the transformation, and
// prints the seconds it took. The window mode can also set up a scene for a
// screenshot instead (scripts/screenshot.sh): "errores" (a run, as timed),
// "plan" ("Previsualizar"), "confirmacion" (the question "Transformar" asks,
// left open) or "detenida" (a run stopped with "Detener" once the first
// database is in hand); --screenshot saves the whole screen as a PNG then.
//
// With --worker (the desktop program, which serves as the window's worker
// process) and --jobs N, the window shares its run among N workers, as the
// desktop program does.
//
// The window mode also prints the longest time the window went without
// serving its events during the run ("pausa más larga"): a timer asks every
// 50 ms, and the widest interval between its ticks, from the press to the
// first tick and from the last tick to the run's end included, is how long an
// operator would see the window frozen.
//
//   brenquil-bench-window --mode window|cli --home DIR --data DIR
//                         [--worker BRENQUIL --jobs N] [--size WxH] [--hold SECONDS]
//                         [--scene NAME] [--screenshot FILE.png]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include <CLI/CLI.hpp>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <QTimer>

#include "cli/cli.h"
#include "cli/transform_jobs.h"
#include "gui/desktop.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// Saves the whole screen (the window and any dialog over it) as a PNG.
bool SaveScreen(const std::string& path) {
  QScreen* screen = QGuiApplication::primaryScreen();
  return screen && screen->grabWindow(0).save(QString::fromStdString(path), "PNG");
}

// Lets the window paint on the screen before it is taken.
void Settle() {
  QElapsedTimer waited;
  waited.start();
  while (waited.elapsed() < 700) {
    QApplication::processEvents(QEventLoop::AllEvents, 50);
    QThread::msleep(20);
  }
}

class Heartbeat {
 public:
  // `doing` says what the run does now (the operation under way).
  explicit Heartbeat(std::function<std::string()> doing) : doing_(std::move(doing)) {
    timer_.setInterval(50);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Beat(); });
  }
  void Start() {
    start_ = last_ = Clock::now();
    timer_.start();
  }
  // The longest pauses, longest first: when each ended (seconds after the
  // press), how long it was and what the run was doing as it ended.
  std::string Pauses() const {
    std::string out;
    for (const auto& [ms, at, doing] : pauses_) {
      char line[256];
      std::snprintf(line, sizeof line, "pausa de %.0f ms, hasta %.1f s, en %s\n", ms, at, doing.c_str());
      out += line;
    }
    return out;
  }
  void Stop() {
    timer_.stop();
    Beat();
    --ticks_;  // the end of the run is not a tick
  }
  double LongestMs() const { return longest_ * 1000; }
  long Ticks() const { return ticks_; }

 private:
  void Beat() {
    const auto now = Clock::now();
    const double pause = std::chrono::duration<double>(now - last_).count();
    longest_ = std::max(longest_, pause);
    if (pause > 0.2) {
      pauses_.emplace_back(pause * 1000, std::chrono::duration<double>(now - start_).count(), doing_());
      std::sort(pauses_.begin(), pauses_.end(), [](const auto& a, const auto& b) { return std::get<0>(a) > std::get<0>(b); });
      if (pauses_.size() > 5) pauses_.pop_back();
    }
    last_ = now;
    ++ticks_;
  }

  std::function<std::string()> doing_;
  std::vector<std::tuple<double, double, std::string>> pauses_;
  QTimer timer_;
  Clock::time_point start_;
  Clock::time_point last_;
  double longest_ = 0;
  long ticks_ = 0;
};

int RunWindow(const std::string& home, const std::string& data, const std::string& size,
              double hold, const std::string& scene, const std::string& screenshot, int jobs) {
  brenquil::gui::DesktopOptions options;
  options.home = home;
  options.data = data;
  options.jobs = jobs;
  auto start = Clock::now();
  brenquil::gui::Desktop desktop(options);
  desktop.Start();
  int width = 0, height = 0;
  if (std::sscanf(size.c_str(), "%dx%d", &width, &height) == 2) {
    desktop.Main().resize(width, height);
    desktop.Main().move(0, 0);
  }
  QApplication::processEvents();
  auto& window = desktop.Main();
  bool saved = true;
  Heartbeat heartbeat([&desktop] {
    const std::string doing = desktop.State().CurrentOperation();
    return doing.empty() ? std::string("(entre operaciones)") : doing;
  });
  heartbeat.Start();
  if (scene == "plan") {
    window.PressPreview();
  } else if (scene == "confirmacion") {
    // The question is modal: once it shows, it is taken and answered
    // "Cancelar" from its own event loop. The plan before it runs the event
    // loop too, so the question is looked for rather than waited for.
    QTimer look;
    look.setInterval(100);
    QObject::connect(&look, &QTimer::timeout, [&] {
      auto* question = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      if (!question || !question->isVisible()) return;
      look.stop();
      Settle();
      if (!screenshot.empty()) saved = SaveScreen(screenshot);
      question->reject();
    });
    look.start();
    window.PressTransformar();
  } else {
    if (scene == "detenida") {
      auto* stop = window.findChild<QPushButton*>(QStringLiteral("Detener"));
      if (!stop) return 2;
      bool pressed = false;
      desktop.State().OnOperation([&] {
        if (pressed || desktop.State().Bar1.Value() < 1 || desktop.State().CurrentOperation().empty()) return;
        pressed = true;
        stop->click();
      });
    }
    window.PressButton(13);
  }
  heartbeat.Stop();
  QApplication::processEvents();
  std::printf("ventana: %.3f s, %zu errores\n", Seconds(start),
              desktop.State().Journal.Entries().size());
  std::printf("pausa más larga: %.0f ms, %ld latidos de 50 ms\n", heartbeat.LongestMs(), heartbeat.Ticks());
  std::printf("%s", heartbeat.Pauses().c_str());
  std::fflush(stdout);
  if (!screenshot.empty() && scene != "confirmacion") {
    Settle();
    saved = SaveScreen(screenshot);
  }
  if (!saved) {
    std::fprintf(stderr, "no se pudo guardar %s\n", screenshot.c_str());
    return 2;
  }
  if (hold > 0) {
    QTimer::singleShot(static_cast<int>(hold * 1000), [] { QCoreApplication::quit(); });
    QApplication::exec();
  }
  return desktop.State().Journal.Empty() ? 0 : 1;
}

int RunCommandLine(const std::string& home, const std::string& data) {
  std::ostringstream out, err;
  auto start = Clock::now();
  int code = brenquil::RunCli({"transform", "--home", home, "--data", data}, out, err);
  std::printf("línea de órdenes: %.3f s, salida %d\n", Seconds(start), code);
  return code;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Mide un \"Transformar\" en la ventana o en la línea de órdenes."};
  std::string mode = "window", home, data, size = "1366x740";
  double hold = 0;
  std::string scene = "errores", screenshot;
  app.add_option("--mode", mode, "window o cli")->check(CLI::IsMember({"window", "cli"}));
  app.add_option("--home", home, "instalación")->required();
  app.add_option("--data", data, "carpeta de las bases viejas")->required();
  app.add_option("--size", size, "tamaño de la ventana, ANCHOxALTO");
  app.add_option("--hold", hold, "segundos que la ventana sigue abierta después");
  app.add_option("--scene", scene, "errores, plan, confirmacion o detenida")
      ->check(CLI::IsMember({"errores", "plan", "confirmacion", "detenida"}));
  app.add_option("--screenshot", screenshot, "guarda la pantalla en este PNG");
  int jobs = 1;
  std::string worker;
  app.add_option("--jobs", jobs, "procesos de la ventana (con --worker)")->check(CLI::Range(1, 256));
  app.add_option("--worker", worker, "el programa brenquil, que hace de proceso de trabajo");
  CLI11_PARSE(app, argc, argv);
  if (mode == "cli") return RunCommandLine(home, data);
  if (!worker.empty()) brenquil::SetWorkerProgram(worker);
  QApplication qt(argc, argv);
  return RunWindow(home, data, size, hold, scene, screenshot, worker.empty() ? 1 : jobs);
}
