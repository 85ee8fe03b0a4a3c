// The stored queries of a Jet file, each with its kind, its Jet SQL and, when
// it can be one, the SELECT of an SQLite view that answers the same (the
// translation's header says which stored forms of dates and Yes/No values it
// relies on). The import creates the views after the tables, in the order
// ViewOrder gives.
#pragma once

#include <glib.h>
#include <mdbtools.h>

#include <string>
#include <utility>
#include <vector>

#include "jet/query_rebuild.h"
#include "jet/query_translation.h"

namespace brenquil::jet {

struct StoredQuery {
  std::string name;        // as the file names it
  std::string kind;        // "select", "union", "crosstab", "append", "update", "delete",
                           // "make-table", "ddl", "pass-through"; "unknown" for kinds Jet
                           // files do not hold
  std::string jet_sql;     // the query rebuilt in Jet's SQL (empty if the rows do not make one)
  std::string sqlite_sql;  // a SELECT for an SQLite view; empty when it cannot be one
  std::string reason;      // Spanish: why it is not a view, when sqlite_sql is empty
  std::vector<std::string> depends_on;  // the other queries (views) its view reads
};

// In the file's order. The handle's catalogue is read if it was not, and left
// as it was if it was; no table definition of the caller is touched. Throws
// brenquil::Error (3049) when the file's MSysObjects cannot be read (the
// caller adds the file's name).
std::vector<StoredQuery> ReadStoredQueries(MdbHandle* mdb);

// The same from queries and tables already read (ReadStoredQueries reads them
// from the file and calls this).
std::vector<StoredQuery> StoredQueriesOf(
    const std::vector<QueryObject>& objects,
    const std::vector<std::pair<std::string, std::vector<Column>>>& tables);

// The positions of the queries that are views, each after the views it reads.
std::vector<size_t> ViewOrder(const std::vector<StoredQuery>& queries);

}  // namespace brenquil::jet
