// Listing a database's virtual tables and creating one from its statement.
#include "engine/connection.h"
#include "engine/database.h"
#include "engine/virtual_table.h"

namespace brenquil {

std::vector<VirtualTableDef> Database::VirtualTables() {
  auto& c = *Connection();
  std::vector<VirtualTableDef> out;
  detail::Statement st(c, "SELECT name, sql FROM sqlite_master WHERE type = 'table'"
                          " AND sql LIKE 'CREATE VIRTUAL TABLE%' ORDER BY rowid");
  while (st.Step()) out.push_back({st.Text(0).value_or(""), st.Text(1).value_or("")});
  return out;
}

void Database::CreateVirtualTable(const VirtualTableDef& table) {
  auto& c = *Connection();
  c.CheckWritable();
  const std::string where = "la tabla virtual '" + table.name + "' en '" + c.Path() + "'";
  if (c.IsTable(table.name) || c.IsView(table.name))
    throw MakeError(err::kTableExists, where);
  try {
    c.Atomically([&] { c.Exec(table.sql); });
  } catch (const Error& error) {
    // SQLite says "no such module: fts5" when it was built without one.
    const std::string& text = error.Text();
    const auto at = text.find("no such module: ");
    if (at == std::string::npos) throw Error(error.Number(), error.Text() + " (" + where + ")");
    std::string module = text.substr(at + 16);
    module = module.substr(0, module.find_first_of(" ("));
    throw MakeError(err::kInvalidOperation, where + " usa el módulo '" + module +
                                                "', que esta versión de SQLite no tiene; no se crea");
  }
}

}  // namespace brenquil
