#include "cli/stop_signals.h"

#include <csignal>

namespace brenquil {

namespace {

volatile std::sig_atomic_t caught = 0;

extern "C" void Record(int number) { caught = number; }

}  // namespace

StopSignals::StopSignals() {
  caught = 0;
  struct sigaction action {};
  action.sa_handler = Record;
  sigemptyset(&action.sa_mask);
  // The handler runs once; the next signal meets the default action. A
  // system call it interrupts goes on: the report written to a pipe is not
  // cut short by the signal that asked for it to be written.
  action.sa_flags = SA_RESETHAND | SA_RESTART;
  sigaction(SIGINT, &action, &old_int_);
  sigaction(SIGTERM, &action, &old_term_);
}

StopSignals::~StopSignals() {
  sigaction(SIGINT, &old_int_, nullptr);
  sigaction(SIGTERM, &old_term_, nullptr);
}

int StopSignals::Caught() { return caught; }

}  // namespace brenquil
