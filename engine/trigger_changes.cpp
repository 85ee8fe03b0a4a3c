// Listing, creating and replacing the user's triggers of a database.
#include "engine/connection.h"
#include "engine/database.h"
#include "engine/trigger.h"

namespace brenquil {

bool SameTriggerDeclaration(const std::string& a, const std::string& b) { return detail::SameDeclaration(a, b); }

std::vector<TriggerDef> Database::Triggers() {
  auto& c = *Connection();
  std::vector<TriggerDef> out;
  detail::Statement st(c, "SELECT name, tbl_name, sql FROM sqlite_master WHERE type = 'trigger' AND sql IS NOT NULL"
                          " AND substr(name, 1, 4) <> 'MSys' ORDER BY rowid");
  while (st.Step()) out.push_back({st.Text(0).value_or(""), st.Text(1).value_or(""), st.Text(2).value_or("")});
  return out;
}

void Database::PutTrigger(const TriggerDef& trigger) {
  auto& c = *Connection();
  c.CheckWritable();
  if (detail::IsSystemName(trigger.name))
    throw MakeError(err::kInvalidName, "el disparador '" + trigger.name + "' es del motor");
  // The old trigger of that name goes only if the new one is stored.
  c.Atomically([&] {
    c.Exec("DROP TRIGGER IF EXISTS " + detail::QuoteId(trigger.name));
    c.Exec(trigger.sql);
  });
}

}  // namespace brenquil
