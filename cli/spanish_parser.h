// The argument parser's own texts in Spanish, like every text of the program:
// the labels of its help and the messages of its parse errors; and its help
// wrapped at 80 columns, an option's description under itself.
#pragma once

#include <CLI/CLI.hpp>
#include <string>

namespace brenquil {

// Spanish labels, help wrapped at 80 columns and the help-flag text for `app`
// and the subcommands it adds later.
void SpanishHelp(CLI::App& app);

// `text` with every line longer than `width` columns (UTF-8 code points)
// broken between words; a line that starts with blanks followed by a name
// and a description (an option's line) continues under its description.
std::string WrapHelp(const std::string& text, size_t width = 80);

// The parse error `error` said in Spanish, without the program's name
// ("falta el argumento FILE", "opción desconocida: '--bogus'").
std::string SpanishParseError(const CLI::ParseError& error);

}  // namespace brenquil
