// Progress of `brenquil-cli transform` while the run is busy, drawn from the
// window's change notifications: on a terminal the six bars and the status
// line, redrawn in place; elsewhere (a pipe, a file) one plain line for each
// database the run takes in hand ("Base 2 de 5: Clientes.mdb") and one for
// each status that is not a database's name. Owns nothing of the window; its
// observers go quiet once the view is gone.
#pragma once

#include <chrono>
#include <memory>
#include <ostream>
#include <string>

namespace brenquil {

class Actualiz;
class Label;
class ProgressBar;

// One bar as drawn: the label padded, the filled part of `cells` cells (the
// value clipped to the maximum; none when the maximum is 0) and value/max.
std::string BarLine(const Label& label, const ProgressBar& bar, int cells = 30);

// The block drawn on a terminal: the six bars, then the status line cut to
// `width` characters.
std::string ProgressBlock(const Actualiz& window, int width);

class ProgressView {
 public:
  enum class Mode { kBars, kLines };
  // Subscribes to Frame13 (the bars' redraws), Label4 (the status) and Text4
  // (the old database in hand).
  ProgressView(Actualiz& window, std::ostream& out, Mode mode, int width = 80);
  ~ProgressView();
  ProgressView(const ProgressView&) = delete;
  ProgressView& operator=(const ProgressView&) = delete;

  // Draws the last state whatever the redraw rate allowed.
  void Finish();

 private:
  struct State;
  std::shared_ptr<State> state_;
};

}  // namespace brenquil
