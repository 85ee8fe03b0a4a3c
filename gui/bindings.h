// Widget bindings: each mirrors one control of the window state in one Qt
// widget, both ways. The state owns the content; the widget repaints on the
// control's change notification and writes the operator's typing and
// selections back. The widget may go before the state: a binding whose widget
// is gone ignores later notifications.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QString>

class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QWidget;

namespace brenquil {

class CommandButton;
class Control;
class Error;
class Label;
class ListBox;
class ProgressBar;
class TextBox;

namespace gui {

inline QString ToQt(const std::string& text) { return QString::fromStdString(text); }
inline std::string FromQt(const QString& text) { return text.toStdString(); }

// "Error 3024: texto" — how the front end shows an error to the operator.
QString ErrorMessage(const Error& error);

// Holds the widgets back while an operation runs: a control that changes
// meanwhile only marks its binding, and Flush repaints each marked binding
// once, so a run that changes a list thousands of times repaints it a few
// times. Not held, every change repaints at once. Owned by the window; the
// bindings keep a weak reference and repaint at once when it is gone.
class UpdateGate {
 public:
  struct Repaint {
    std::function<void()> run;
    bool queued = false;
  };

  void Hold() { held_ = true; }
  // Repaints what is marked and lets later changes repaint at once.
  void Release();
  bool Held() const { return held_; }
  void Flush();
  // Runs `repaint` now, or marks it for the next Flush while held.
  void Request(const std::shared_ptr<Repaint>& repaint);

 private:
  bool held_ = false;
  std::vector<std::weak_ptr<Repaint>> queued_;
};
using Gate = std::shared_ptr<UpdateGate>;

// Entries and selection. Selecting a row selects the entry in the state.
void BindList(ListBox& list, QListWidget* widget, const Gate& gate = nullptr);
// Text; what the operator types reaches the state as typed.
void BindText(TextBox& box, QLineEdit* widget, const Gate& gate = nullptr);
void BindLabel(Label& label, QLabel* widget, const Gate& gate = nullptr);
// Value and maximum; shown as a fraction of the maximum, clipped to it, with
// both numbers as the bar's text. A bar no step has set yet shows no text.
void BindBar(ProgressBar& bar, QProgressBar* widget, const Gate& gate = nullptr);
// Caption and visibility; a click runs `press`.
void BindButton(CommandButton& button, QPushButton* widget, std::function<void()> press);
// Visibility only.
void BindVisible(Control& control, QWidget* widget);

// Subscribes `repaint` to `control` through `gate` and runs it once now.
void Subscribe(Control& control, const Gate& gate, std::function<void()> repaint);

}  // namespace gui
}  // namespace brenquil
