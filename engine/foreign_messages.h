// The messages the program passes on from others, said in Spanish like every
// text of the program: SQLite's ("no such table: t"), with SQLite's words
// kept in parentheses for whoever looks them up, and the system's for an
// errno value. The messages a transformation meets are known here; any other
// SQLite message is kept as SQLite gave it.
#pragma once

#include <string>

namespace brenquil {

// "no existe la tabla t (no such table: t)"; a message this file does not
// know is returned as it is.
std::string SpanishSqliteMessage(const std::string& message);

// "permiso denegado" for EACCES; "error del sistema N" for a value this file
// does not know.
std::string SpanishErrno(int number);

}  // namespace brenquil
