// A trigger as the file stores it: its name, the table or view it is on, and
// its CREATE TRIGGER statement. DAO has no triggers; the engine keeps them as
// SQLite does and lists the user's (not the engine's "MSys" ones).
#pragma once

#include <string>

namespace brenquil {

struct TriggerDef {
  std::string name;
  std::string table;
  std::string sql;
};

// True when two CREATE TRIGGER statements declare the same trigger, whatever
// blanks, comments and the quoting of names.
bool SameTriggerDeclaration(const std::string& a, const std::string& b);

}  // namespace brenquil
