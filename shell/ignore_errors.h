// Ignore-errors mode: statements run through it; an Error is written to the
// window's journal and the next statement runs. While the mode is off,
// errors pass on unchanged (the field step turns it on partway).
#pragma once

#include <functional>
#include <string>

namespace brenquil {

class Actualiz;
class Error;

// Journals `error` as raised by `operation` on the window's current pair.
void JournalError(Actualiz& window, const std::string& operation, const Error& error);
// Journals `error` as the failure of a whole run ("Transformar" refused
// before its first pair: its installation in use, no data folder): it names
// no database, whatever the pair boxes still show.
void JournalRunError(Actualiz& window, const std::string& operation, const Error& error);

class IgnoreErrors {
 public:
  IgnoreErrors(Actualiz& window, std::string operation, bool on = true)
      : window_(window), operation_(std::move(operation)), on_(on) {}

  void TurnOn() { on_ = true; }
  bool On() const { return on_; }
  // Runs `statement`. Returns false when it failed and the failure was skipped
  // (journaled); while off, the failure passes on.
  bool operator()(const std::function<void()>& statement);
  // Failures skipped so far.
  int Skipped() const { return skipped_; }

 private:
  Actualiz& window_;
  std::string operation_;
  bool on_;
  int skipped_ = 0;
};

// Runs a step for a caller that goes on when the step fails (the driver):
// an Error ends the step, is journaled, and false is returned.
bool RunStep(Actualiz& window, const std::string& operation,
             const std::function<void()>& step);

}  // namespace brenquil
