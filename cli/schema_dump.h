// What the engine sees in one database file, for `brenquil-cli schema`: as
// JSON (a fixed shape that checks rely on) or as a listing for people. The
// user's tables come first; the system tables ("MSys...") only when asked for.
#pragma once

#include <nlohmann/json.hpp>
#include <ostream>

namespace brenquil {

class Database;

// {"tables":[{"name","system","fields":[{"name","type","size","attributes",
// "allowZeroLength","required"}],"indexes":[{"name","primary","unique",
// "fields":[{"name","descending"}]}]}],"relations":[{"name","table",
// "foreignTable","attributes","fields":[{"name","foreignName"}]}],
// "queries":[{"name","sql"}]}: the user's tables in collection order, then,
// with `system`, the system tables; the rest in collection order.
nlohmann::ordered_json SchemaJson(Database& db, bool system = false);

// The same content in Spanish, one line per object, indented by owner; types
// and relation attributes by name ("Texto(40)", "cascada al borrar").
void PrintSchema(Database& db, std::ostream& out, bool system = false);

}  // namespace brenquil
