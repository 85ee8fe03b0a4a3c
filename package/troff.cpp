#include "package/troff.h"

#include <sstream>

namespace brenquil::package {

namespace {

// An input line that begins with "." or "'" would be read as a request; "\&"
// is a zero-width character that makes it text.
std::string GuardLine(const std::string& line) {
  if (!line.empty() && (line[0] == '.' || line[0] == '\'')) return "\\&" + line;
  return line;
}

std::string Upper(const std::string& text) {
  std::string upper;
  for (char c : text) upper += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  return upper;
}

}  // namespace

std::string TroffText(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '\\': out += "\\e"; break;
      case '-': out += "\\-"; break;     // a minus, not a hyphen: options copy as typed
      case '\'': out += "\\(aq"; break;  // a straight quote, not a closing one
      case '`': out += "\\(ga"; break;
      default: out += c;
    }
  }
  return out;
}

std::string Bold(const std::string& text) { return "\\fB" + TroffText(text) + "\\fR"; }
std::string Italic(const std::string& text) { return "\\fI" + TroffText(text) + "\\fR"; }

ManualPage::ManualPage(const std::string& name, const std::string& section,
                       const std::string& source) {
  text_ = "'\\\" -*- coding: utf-8 -*-\n";
  text_ += ".TH " + TroffText(Upper(name)) + " " + section + " \"\" \"" + TroffText(source) +
           "\" \"Órdenes de usuario\"\n";
  // The page is Spanish: English hyphenation would cut its words wrongly, and
  // a ragged right edge reads better than stretched blanks.
  text_ += ".nr HY 0\n.nh\n.ad l\n";
}

void ManualPage::Section(const std::string& title) {
  text_ += ".SH \"" + TroffText(title) + "\"\n";
}

void ManualPage::Subsection(const std::string& title) {
  text_ += ".SS \"" + TroffText(title) + "\"\n";
}

void ManualPage::Paragraph(const std::string& text) {
  text_ += ".PP\n";
  FilledLines(TroffText(text));
}

void ManualPage::Markup(const std::string& troff) { FilledLines(troff); }

void ManualPage::LineBreak() { text_ += ".br\n"; }

void ManualPage::Item(const std::string& tag, const std::string& text) {
  text_ += ".TP\n" + GuardLine(tag) + "\n";
  FilledLines(TroffText(text));
}

void ManualPage::Example(const std::string& text) {
  text_ += ".PP\n.EX\n";
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) text_ += GuardLine(TroffText(line)) + "\n";
  text_ += ".EE\n";
}

// Filled text needs no line breaks of its own; a line that began with a blank
// would force a break, so words are joined by one blank and the source lines
// cut at about 78 columns.
void ManualPage::FilledLines(const std::string& troff) {
  std::istringstream words(troff);
  std::string line;
  for (std::string word; words >> word;) {
    if (!line.empty() && line.size() + 1 + word.size() > 78) {
      text_ += GuardLine(line) + "\n";
      line.clear();
    }
    line += (line.empty() ? "" : " ") + word;
  }
  if (!line.empty()) text_ += GuardLine(line) + "\n";
}

}  // namespace brenquil::package
