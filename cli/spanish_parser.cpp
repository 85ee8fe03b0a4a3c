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

size_t Columns(std::string_view text) {
  size_t n = 0;
  for (unsigned char c : text)
    if ((c & 0xC0) != 0x80) ++n;
  return n;
}

// The column where an option line's description starts: after the leading
// blanks, the option's name and a gap of at least two blanks. 0 when the
// line has no such shape (a paragraph).
size_t DescriptionColumn(std::string_view line) {
  size_t at = line.find_first_not_of(' ');
  if (at == 0 || at == std::string_view::npos) return 0;
  size_t gap = line.find("  ", at);
  if (gap == std::string_view::npos) return 0;
  size_t start = line.find_first_not_of(' ', gap);
  return start == std::string_view::npos ? 0 : Columns(line.substr(0, start));
}

void WrapLine(std::string_view line, size_t width, std::string& out) {
  if (Columns(line) <= width) {
    out.append(line);
    return;
  }
  const size_t indent = DescriptionColumn(line);
  // The leading blanks keep their place; an indented paragraph (an example)
  // goes on two columns further in.
  size_t first = line.find_first_not_of(' ');
  if (first == std::string_view::npos) first = 0;
  std::string current(line.substr(0, first));
  size_t columns = first;
  size_t at = first;
  const size_t continuation = indent > 0 ? indent : (first > 0 && first < 8 ? first + 2 : first);
  if (indent > 0) {
    // The option's name and the gap stay on the first line as they are.
    size_t desc = 0, seen = 0;
    while (desc < line.size() && seen < indent) {
      if ((static_cast<unsigned char>(line[desc]) & 0xC0) != 0x80) ++seen;
      ++desc;
    }
    current = std::string(line.substr(0, desc));
    columns = indent;
    at = desc;
  }
  bool first_word = true;
  while (at < line.size()) {
    size_t end = line.find(' ', at);
    if (end == std::string_view::npos) end = line.size();
    std::string_view word = line.substr(at, end - at);
    if (!word.empty()) {
      const size_t needed = Columns(word) + (first_word ? 0 : 1);
      if (!first_word && columns + needed > width) {
        out += current + "\n";
        current.assign(continuation, ' ');
        columns = continuation;
        current.append(word);
        columns += Columns(word);
      } else {
        if (!first_word) current += ' ';
        current.append(word);
        columns += needed;
      }
      first_word = false;
    }
    at = end + 1;
  }
  out += current;
}

// CLI11's formatter, its whole help wrapped.
class WrappingFormatter : public CLI::Formatter {
 public:
  std::string make_help(const CLI::App* app, std::string name, CLI::AppFormatMode mode) const override {
    return WrapHelp(CLI::Formatter::make_help(app, std::move(name), mode));
  }
};

}  // namespace

std::string WrapHelp(const std::string& text, size_t width) {
  std::string out;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    WrapLine(std::string_view(text).substr(start, end - start), width, out);
    if (end == text.size()) break;
    out += '\n';
    start = end + 1;
  }
  return out;
}

void SpanishHelp(CLI::App& app) {
  auto formatter = std::make_shared<WrappingFormatter>();
  app.formatter(formatter);
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
  if (dynamic_cast<const CLI::ExcludesError*>(&error)) {
    std::string_view text = what;
    size_t at = text.find(" excludes ");
    if (at != std::string_view::npos)
      return "las opciones " + std::string(text.substr(0, at)) + " y " +
             std::string(text.substr(at + 10)) + " no van juntas";
    return "combinación de opciones no válida";
  }
  if (dynamic_cast<const CLI::RequiresError*>(&error)) return "combinación de opciones no válida";
  return "argumentos incorrectos";
}

}  // namespace brenquil
