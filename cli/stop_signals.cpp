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
  // The handler runs once; the next signal meets the default action.
  action.sa_flags = SA_RESETHAND;
  sigaction(SIGINT, &action, &old_int_);
  sigaction(SIGTERM, &action, &old_term_);
}

StopSignals::~StopSignals() {
  sigaction(SIGINT, &old_int_, nullptr);
  sigaction(SIGTERM, &old_term_, nullptr);
}

int StopSignals::Caught() { return caught; }

}  // namespace brenquil
