// Times one "Transformar" in the real desktop window against the same run on
// the command line, both in this process, so the window's share of the cost
// (its widgets and repaints) shows. Each mode starts the program on the given
// installation, runs the start-up activation and the transformation, and
// prints the seconds it took. The window mode can keep the window open after
// the run, for a screenshot.
//
// The window mode also prints the longest time the window went without
// serving its events during the run ("pausa más larga"): a timer asks every
// 50 ms, and the widest interval between its ticks, from the press to the
// first tick and from the last tick to the run's end included, is how long an
// operator would see the window frozen.
//
//   brenquil-bench-window --mode window|cli --home DIR --data DIR
//                         [--size WxH] [--hold SECONDS]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>

#include <CLI/CLI.hpp>
#include <QApplication>
#include <QPushButton>
#include <QTimer>

#include "cli/cli.h"
#include "gui/desktop.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

class Heartbeat {
 public:
  Heartbeat() {
    timer_.setInterval(50);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Beat(); });
  }
  void Start() {
    last_ = Clock::now();
    timer_.start();
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
    longest_ = std::max(longest_, std::chrono::duration<double>(now - last_).count());
    last_ = now;
    ++ticks_;
  }

  QTimer timer_;
  Clock::time_point last_;
  double longest_ = 0;
  long ticks_ = 0;
};

int RunWindow(const std::string& home, const std::string& data, const std::string& size,
              double hold) {
  brenquil::gui::DesktopOptions options;
  options.home = home;
  options.data = data;
  auto start = Clock::now();
  brenquil::gui::Desktop desktop(options);
  desktop.Start();
  int width = 0, height = 0;
  if (std::sscanf(size.c_str(), "%dx%d", &width, &height) == 2) {
    desktop.Main().resize(width, height);
    desktop.Main().move(0, 0);
  }
  QApplication::processEvents();
  auto* run = desktop.Main().findChild<QPushButton*>(QStringLiteral("Command13"));
  if (!run) return 2;
  Heartbeat heartbeat;
  heartbeat.Start();
  run->click();
  heartbeat.Stop();
  QApplication::processEvents();
  std::printf("ventana: %.3f s, %zu errores\n", Seconds(start),
              desktop.State().Journal.Entries().size());
  std::printf("pausa más larga: %.0f ms, %ld latidos de 50 ms\n", heartbeat.LongestMs(), heartbeat.Ticks());
  std::fflush(stdout);
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
  app.add_option("--mode", mode, "window o cli")->check(CLI::IsMember({"window", "cli"}));
  app.add_option("--home", home, "instalación")->required();
  app.add_option("--data", data, "carpeta de las bases viejas")->required();
  app.add_option("--size", size, "tamaño de la ventana, ANCHOxALTO");
  app.add_option("--hold", hold, "segundos que la ventana sigue abierta después");
  CLI11_PARSE(app, argc, argv);
  if (mode == "cli") return RunCommandLine(home, data);
  QApplication qt(argc, argv);
  return RunWindow(home, data, size, hold);
}
