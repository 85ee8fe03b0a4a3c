#include "cli/spanish_parser.h"

#include <string_view>

namespace brenquil {

namespace {

// What follows `prefix` in `text`, or empty when `text` does not start so.
std::string After(std::string_view text, std::string_view prefix) {
  if (text.substr(0, prefix.size()) != prefix) return {};
  return std::string(text.substr(prefix.size()));
}

// "--bogus x" -> "opción desconocida: '--bogus'; argumento de más: 'x'".
std::string Extras(const std::string& list) {
  std::string said;
  size_t start = 0;
  while (start < list.size()) {
    size_t end = list.find(' ', start);
    std::string word = list.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!word.empty()) {
      if (!said.empty()) said += "; ";
      said += (word.size() > 1 && word[0] == '-' ? "opción desconocida: '" : "argumento de más: '") +
              word + "'";
    }
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return said.empty() ? "argumentos de más" : said;
}

}  // namespace

void SpanishHelp(CLI::App& app) {
  auto formatter = app.get_formatter();
  for (auto [key, text] : {std::pair{"Usage", "Uso"},
                           {"OPTIONS", "OPCIONES"},
                           {"SUBCOMMAND", "ORDEN"},
                           {"SUBCOMMANDS", "ÓRDENES"},
                           {"Positionals", "Argumentos"},
                           {"REQUIRED", "OBLIGATORIO"},
                           {"TEXT", "TEXTO"},
                           {"Env", "Variable"},
                           {"Needs", "Necesita"},
                           {"Excludes", "Excluye"}})
    formatter->label(key, text);
  app.option_defaults()->group("Opciones");
  app.set_help_flag("-h,--help", "muestra esta ayuda y termina");
}

std::string SpanishParseError(const CLI::ParseError& error) {
  const std::string_view what = error.what();
  if (dynamic_cast<const CLI::RequiredError*>(&error)) {
    if (what.starts_with("A subcommand")) return "falta la orden: setup, demo, schema o transform";
    std::string name(what.substr(0, what.find(" is required")));
    return "falta el argumento " + name;
  }
  if (dynamic_cast<const CLI::ExtrasError*>(&error)) {
    std::string list = After(what, "The following arguments were not expected: ");
    if (list.empty()) list = After(what, "The following argument was not expected: ");
    return Extras(list);
  }
  if (dynamic_cast<const CLI::ArgumentMismatch*>(&error)) {
    std::string name(what.substr(0, what.find(':')));
    return "falta el valor de " + name;
  }
  if (dynamic_cast<const CLI::ConversionError*>(&error) ||
      dynamic_cast<const CLI::ValidationError*>(&error))
    return "valor no válido";
  if (dynamic_cast<const CLI::ExcludesError*>(&error) ||
      dynamic_cast<const CLI::RequiresError*>(&error))
    return "combinación de opciones no válida";
  return "argumentos incorrectos";
}

}  // namespace brenquil
