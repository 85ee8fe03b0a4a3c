// Writing a manual page in the man macros: a page made of sections,
// paragraphs, tagged items and example blocks, where every character that
// troff would read as a request or an escape is written so it prints as itself.
#pragma once

#include <string>

namespace brenquil::package {

// `text` escaped for troff: backslashes, minus signs and quotes print as
// themselves, and no line begins with a control character.
std::string TroffText(const std::string& text);

// Escaped text in bold or in italics, for a tag or a synopsis.
std::string Bold(const std::string& text);
std::string Italic(const std::string& text);

class ManualPage {
 public:
  // `name` as in "brenquil-cli", `section` "1"; `source` names the package and
  // its version. The page is UTF-8 and says so for preconv.
  ManualPage(const std::string& name, const std::string& section, const std::string& source);

  void Section(const std::string& title);     // .SH
  void Subsection(const std::string& title);  // .SS
  // Plain text, filled: its line breaks and runs of blanks become one blank.
  void Paragraph(const std::string& text);
  // Text already in troff (built with Bold, Italic, TroffText), filled.
  void Markup(const std::string& troff);
  void LineBreak();  // .br
  // A tagged paragraph: `tag` in troff, `text` plain and filled.
  void Item(const std::string& tag, const std::string& text);
  // Lines shown as they stand, in a fixed-width font (.EX/.EE).
  void Example(const std::string& text);

  const std::string& Text() const { return text_; }

 private:
  void FilledLines(const std::string& troff);
  std::string text_;
};

}  // namespace brenquil::package
