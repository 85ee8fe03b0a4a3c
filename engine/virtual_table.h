// A virtual table as a file declares it: its name and its CREATE VIRTUAL
// TABLE statement. Virtual tables (FTS5, R*Tree, ...) and the tables that
// hold their data belong to SQLite, not to TableDefs: the engine lists them
// and creates them from their statements only.
#pragma once

#include <string>

namespace brenquil {

struct VirtualTableDef {
  std::string name;
  std::string sql;
};

}  // namespace brenquil
