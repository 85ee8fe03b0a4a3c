// Widget bindings: each mirrors one control of the window state in one Qt
// widget, both ways. The state owns the content; the widget repaints on the
// control's change notification and writes the operator's typing and
// selections back. The widget may go before the state: a binding whose widget
// is gone ignores later notifications.
#pragma once

#include <functional>
#include <string>

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

// Entries and selection. Selecting a row selects the entry in the state.
void BindList(ListBox& list, QListWidget* widget);
// Text; what the operator types reaches the state as typed.
void BindText(TextBox& box, QLineEdit* widget);
void BindLabel(Label& label, QLabel* widget);
// Value and maximum; shown as a fraction of the maximum, clipped to it, with
// both numbers as the bar's text.
void BindBar(ProgressBar& bar, QProgressBar* widget);
// Caption and visibility; a click runs `press`.
void BindButton(CommandButton& button, QPushButton* widget, std::function<void()> press);
// Visibility only.
void BindVisible(Control& control, QWidget* widget);

}  // namespace gui
}  // namespace brenquil
