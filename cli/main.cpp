#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/transform_jobs.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  // transform --jobs starts this same program as its workers.
  std::error_code ec;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec) brenquil::SetWorkerProgram(self.string());
  return brenquil::RunCli(args, std::cout, std::cerr);
}
