// The argument parser's own texts in Spanish, like every text of the program:
// the labels of its help and the messages of its parse errors.
#pragma once

#include <CLI/CLI.hpp>
#include <string>

namespace brenquil {

// Spanish labels and help-flag text for `app` and what it adds later.
void SpanishHelp(CLI::App& app);

// The parse error `error` said in Spanish, without the program's name
// ("falta el argumento FILE", "opción desconocida: '--bogus'").
std::string SpanishParseError(const CLI::ParseError& error);

}  // namespace brenquil
