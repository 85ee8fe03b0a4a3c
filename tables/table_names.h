// How the table and field steps treat names: the system-object rule, the
// upper-case form that table equalisation compares, and the quoting that puts
// a table name into a selection text. Plain functions, no state.
#pragma once

#include <string>
#include <string_view>

namespace brenquil {

// True when the first four characters of `name` are exactly "MSys" (letter
// case counts; a shorter name never is).
bool IsSystemObject(std::string_view name);

// The upper-case form of UTF-8 text: ASCII, Latin-1 and Latin Extended-A
// letters are mapped one to one ("año" gives "AÑO", "ž" gives "Ž"); every other
// character, and bytes that are not valid UTF-8, are kept as they are.
std::string UpperCase(std::string_view text);

// Table equalisation's comparison: equal upper-case forms, nothing trimmed.
bool SameTableName(std::string_view a, std::string_view b);

// SQLite's comparison of object names: ASCII letters without regard to case,
// every other byte as it is ("Clientes" is "CLIENTES"; "Año" is not "AÑO").
bool SameSqlName(std::string_view a, std::string_view b);
// The form in which SameSqlName compares a name: equal keys, the same name.
std::string SqlNameKey(std::string_view name);

// `name` as an SQL identifier: in double quotes, inner double quotes doubled,
// so blanks, apostrophes and reserved words reach the engine as one name.
std::string QuoteIdentifier(std::string_view name);

}  // namespace brenquil
