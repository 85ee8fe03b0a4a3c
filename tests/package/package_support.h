// Helpers for the packaging tests: running a shell command and reading what
// it printed, and texts compared with their blanks collapsed.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <memory>
#include <sstream>
#include <string>

namespace brenquil::test {

struct CommandResult {
  int status;  // the exit code, or -1 when the command could not run
  std::string output;
};

// Runs `command` with /bin/sh and returns its standard output.
inline CommandResult RunCommand(const std::string& command) {
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
  if (!pipe) return {-1, ""};
  std::string output;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0;)
    output.append(buffer, n);
  int status = ::pclose(pipe.release());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

// `text` with every run of blanks and line breaks made one blank.
inline std::string Collapsed(const std::string& text) {
  std::istringstream words(text);
  std::string collapsed;
  for (std::string word; words >> word;) collapsed += (collapsed.empty() ? "" : " ") + word;
  return collapsed;
}

// `text` quoted for /bin/sh.
inline std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace brenquil::test
