#include "cli/progress.h"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "shell/actualiz.h"

namespace brenquil {

namespace {

// Captions are UTF-8; a column is one code point (no wide characters here).
int Columns(const std::string& text) {
  int n = 0;
  for (unsigned char c : text)
    if ((c & 0xC0) != 0x80) ++n;
  return n;
}

std::string CutToColumns(const std::string& text, int width) {
  int n = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && n++ == width)
      return text.substr(0, i);
  }
  return text;
}

std::string Decimal(float value) {
  std::ostringstream text;
  if (value == std::floor(value) && std::fabs(value) < 1e9f)
    text << static_cast<long long>(value);
  else
    text << value;
  return text.str();
}

constexpr auto kMinInterval = std::chrono::milliseconds(50);  // ~20 redraws a second
constexpr int kBlockLines = 7;

}  // namespace

std::string BarLine(const Label& label, const ProgressBar& bar, int cells) {
  std::string line = label.Caption();
  line.append(static_cast<size_t>(std::max(0, 10 - Columns(line))), ' ');
  int filled = 0;
  if (bar.Max() > 0) {
    float share = std::clamp(bar.Value() / bar.Max(), 0.0f, 1.0f);
    filled = static_cast<int>(std::lround(share * static_cast<float>(cells)));
  }
  // Appended piece by piece: GCC 12 warns (-Wrestrict) on "literal" + string
  // chains in optimised builds.
  line += '[';
  line.append(static_cast<size_t>(filled), '#');
  line.append(static_cast<size_t>(cells - filled), '-');
  line += "] ";
  line += Decimal(bar.Value());
  line += '/';
  line += Decimal(bar.Max());
  return line;
}

std::string ProgressBlock(const Actualiz& w, int width) {
  std::string block;
  for (auto [label, bar] : {std::pair{&w.Label1, &w.Bar1}, std::pair{&w.Label2, &w.Bar2},
                            std::pair{&w.Label3, &w.Bar3}, std::pair{&w.Label6, &w.Bar4},
                            std::pair{&w.Label7, &w.Bar5}, std::pair{&w.Label8, &w.Bar6}})
    block += CutToColumns(BarLine(*label, *bar), width) + "\n";
  block += CutToColumns(w.Label4.Caption(), width) + "\n";
  return block;
}

struct ProgressView::State {
  Actualiz& window;
  std::ostream& out;
  Mode mode;
  int width;
  bool drawn = false;
  std::chrono::steady_clock::time_point last{};
  std::string last_status;

  void Draw(bool force) {
    auto now = std::chrono::steady_clock::now();
    if (!force && drawn && now - last < kMinInterval) return;
    last = now;
    std::string block = ProgressBlock(window, width);
    // Back to the block's first line, then each line cleared and rewritten.
    if (drawn) out << "\x1b[" << kBlockLines << "A";
    std::istringstream lines(block);
    for (std::string line; std::getline(lines, line);) out << "\r\x1b[2K" << line << "\n";
    out.flush();
    drawn = true;
  }

  void Print(const std::string& line) {
    if (line.empty() || line == last_status) return;
    last_status = line;
    out << line << "\n";
    out.flush();
  }

  void StatusChanged() {
    if (mode == Mode::kBars) return Draw(false);
    // The status shows a model's name while its pair is worked on (and, for
    // a moment, the name the pass before left); the database in hand is
    // told by DatabaseChanged instead.
    const std::string& status = window.Label4.Caption();
    const auto& models = window.List7.Items();
    if (std::find(models.begin(), models.end(), status) != models.end()) return;
    Print(status);
  }

  void DatabaseChanged() {
    if (mode != Mode::kLines || !window.Busy()) return;
    const std::string& path = window.Text4.Text();
    std::string name = path.substr(path.find_last_of('/') + 1);
    std::string line = name;
    if (window.Bar1.Max() > 0)
      line = "Base " + Decimal(window.Bar1.Value()) + " de " + Decimal(window.Bar1.Max()) + ": " + name;
    Print(line);
  }
};

ProgressView::ProgressView(Actualiz& window, std::ostream& out, Mode mode, int width)
    : state_(
          std::make_shared<State>(State{window, out, mode, std::max(width, 20), false, {}, {}})) {
  std::weak_ptr<State> weak = state_;
  window.Frame13.Subscribe([weak] {
    if (auto s = weak.lock(); s && s->mode == Mode::kBars) s->Draw(false);
  });
  window.Label4.Subscribe([weak] {
    if (auto s = weak.lock()) s->StatusChanged();
  });
  window.Text4.Subscribe([weak] {
    if (auto s = weak.lock()) s->DatabaseChanged();
  });
}

ProgressView::~ProgressView() = default;

void ProgressView::Finish() {
  if (state_->mode == Mode::kBars) state_->Draw(true);
}

}  // namespace brenquil
