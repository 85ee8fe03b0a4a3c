#include "engine/foreign_messages.h"

#include <string_view>

namespace brenquil {

namespace {

// A message that begins with `prefix` (what follows it, `rest`, names the
// object) and how it is said: `before` + rest + `after`.
struct Known {
  std::string_view prefix;
  const char* before;
  const char* after;
};

// Longest prefixes first where one begins another.
constexpr Known kPrefixed[] = {
    {"no such table: ", "no existe la tabla ", ""},
    {"no such column: ", "no existe la columna ", ""},
    {"no such index: ", "no existe el índice ", ""},
    {"no such view: ", "no existe la vista ", ""},
    {"no such trigger: ", "no existe el desencadenador ", ""},
    {"no such function: ", "no existe la función ", ""},
    {"no such collation sequence: ", "no existe la intercalación ", ""},
    {"duplicate column name: ", "la columna ", " está repetida"},
    {"ambiguous column name: ", "el nombre de columna ", " es ambiguo"},
    {"UNIQUE constraint failed: ", "se repite un valor que debe ser único en ", ""},
    {"NOT NULL constraint failed: ", "falta un valor obligatorio en ", ""},
    {"CHECK constraint failed: ", "no se cumple la regla de validación ", ""},
    {"table ", "ya existe la tabla ", ""},      // "table t already exists"
    {"index ", "ya existe el índice ", ""},     // "index i already exists"
    {"view ", "ya existe la vista ", ""},       // "view v already exists"
    {"trigger ", "ya existe el desencadenador ", ""},
    {"cannot open view: ", "no se puede abrir la vista ", ""},
    {"cannot modify ", "no se puede modificar ", " porque es una vista"},  // "... because it is a view"
    {"near ", "error de sintaxis cerca de ", ""},  // "near "x": syntax error"
};

// Whole messages.
struct Whole {
  std::string_view message;
  const char* spanish;
};

constexpr Whole kWhole[] = {
    {"FOREIGN KEY constraint failed", "una fila no tiene la fila relacionada que exige la relación"},
    {"attempt to write a readonly database", "la base de datos es de sólo lectura"},
    {"database is locked", "la base de datos está bloqueada por otro proceso"},
    {"database table is locked", "la tabla está bloqueada"},
    {"file is not a database", "el archivo no es una base de datos"},
    {"database disk image is malformed", "el archivo de la base de datos está dañado"},
    {"unable to open database file", "no se pudo abrir el archivo de la base de datos"},
    {"disk I/O error", "error de lectura o escritura en el disco"},
    {"database or disk is full", "el disco está lleno"},
    {"incomplete input", "la instrucción está incompleta"},
    {"out of memory", "no queda memoria"},
    {"interrupted", "la operación se interrumpió"},
    {"not authorized", "no autorizado"},
    {"constraint failed", "una restricción impide el cambio"},
};

// What follows a name in the prefixed messages that have words after it.
constexpr std::string_view kAlreadyExists = " already exists";
constexpr std::string_view kSyntaxError = ": syntax error";
constexpr std::string_view kIsView = " because it is a view";

bool EndsWith(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

}  // namespace

std::string SpanishSqliteMessage(const std::string& message) {
  const std::string_view text = message;
  for (const auto& whole : kWhole)
    if (text == whole.message) return std::string(whole.spanish) + " (" + message + ")";
  for (const auto& known : kPrefixed) {
    if (!text.starts_with(known.prefix)) continue;
    std::string_view rest = text.substr(known.prefix.size());
    // The prefixes that are common words say something only with their end.
    const bool exists = known.prefix == "table " || known.prefix == "index " ||
                        known.prefix == "view " || known.prefix == "trigger ";
    if (exists) {
      if (!EndsWith(rest, kAlreadyExists)) continue;
      rest.remove_suffix(kAlreadyExists.size());
    } else if (known.prefix == "near ") {
      if (!EndsWith(rest, kSyntaxError)) continue;
      rest.remove_suffix(kSyntaxError.size());
    } else if (known.prefix == "cannot modify ") {
      if (!EndsWith(rest, kIsView)) continue;
      rest.remove_suffix(kIsView.size());
    }
    return known.before + std::string(rest) + known.after + " (" + message + ")";
  }
  return message;
}

std::string SpanishErrno(int number) {
  switch (number) {
    case EACCES: case EPERM: return "permiso denegado";
    case ENOENT: return "no existe";
    case EEXIST: return "ya existe";
    case ENOTDIR: return "una parte de la ruta no es una carpeta";
    case EISDIR: return "es una carpeta";
    case EROFS: return "el sistema de archivos es de sólo lectura";
    case ENOSPC: return "no queda espacio en el disco";
    case EDQUOT: return "se ha superado la cuota de disco";
    case ENAMETOOLONG: return "el nombre es demasiado largo";
    case EBUSY: return "está en uso";
    case EIO: return "error de lectura o escritura en el disco";
    case EMFILE: case ENFILE: return "hay demasiados archivos abiertos";
    case ELOOP: return "hay demasiados enlaces simbólicos en la ruta";
    default: return "error del sistema " + std::to_string(number);
  }
}

}  // namespace brenquil
