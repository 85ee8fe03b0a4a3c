// What the engine sees in one database file, for `brenquil-cli schema`: as
// JSON (a fixed shape that checks rely on) or as a listing for people.
#pragma once

#include <nlohmann/json.hpp>
#include <ostream>

namespace brenquil {

class Database;

// {"tables":[{"name","system","fields":[{"name","type","size","attributes",
// "allowZeroLength","required"}],"indexes":[{"name","primary","unique",
// "fields":[{"name","descending"}]}]}],"relations":[{"name","table",
// "foreignTable","attributes","fields":[{"name","foreignName"}]}],
// "queries":[{"name","sql"}]}, every member in collection order.
nlohmann::ordered_json SchemaJson(Database& db);

// The same content, one line per object, indented by owner.
void PrintSchema(Database& db, std::ostream& out);

// The name of a DAO type code ("Text", "Long"), or its number as text.
std::string TypeName(int type);

}  // namespace brenquil
