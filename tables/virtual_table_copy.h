// Virtual table copy: the model's virtual tables (FTS5, R*Tree, ...) that the
// old database lacks arrive in it as the model declares them. They are not
// among the tables the table listing shows: their data lives in tables of
// SQLite's own.
#pragma once

namespace brenquil {

class Actualiz;

// Runs on the pair named by Text3 (model) and Text4 (old), after table
// equalisation and before the query step, whose views may read them. A name
// the old database holds already (a table, a view or a virtual table, in any
// letter case) is left as it is. A virtual table the old database refuses (a
// module this SQLite lacks) is journaled by name and the next one is still
// made.
void CopyVirtualTables(Actualiz& window);

}  // namespace brenquil
