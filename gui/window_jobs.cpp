#include "gui/window_jobs.h"

#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "cli/cli.h"
#include "cli/transform_jobs.h"

namespace brenquil::gui {

std::optional<int> ParseJobs(const QString& option, const QString& value, QString& problem) {
  bool whole = false;
  const int jobs = value.toInt(&whole);
  if (whole && jobs >= 1 && jobs <= kMaxJobs) return jobs;
  problem = QStringLiteral("%1 pide un número entero de procesos de 1 a %2, no «%3»")
                .arg(option)
                .arg(kMaxJobs)
                .arg(value);
  return std::nullopt;
}

void ShareWindowRuns(Actualiz& state, int jobs) {
  if (jobs > 1 && !WorkerProgram().empty()) ShareRun(state, jobs, std::cerr);
}

std::optional<int> StartAsProgram(const std::vector<std::string>& arguments) {
  std::error_code ec;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec) SetWorkerProgram(self.string());
  if (!std::getenv(kWorkerVariable)) return std::nullopt;
  // A worker: `transform` with the options its parent gave, headless.
  const std::vector<std::string> args(arguments.begin() + (arguments.empty() ? 0 : 1), arguments.end());
  return RunCli(args, std::cout, std::cerr);
}

}  // namespace brenquil::gui
