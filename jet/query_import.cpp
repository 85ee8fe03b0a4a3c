#include "jet/query_import.h"

#include <set>

#include "engine/error.h"
#include "jet/stored_queries.h"

namespace brenquil::jet {

void ImportStoredQueries(JetFile& file, Database& db, ImportReport& report) {
  std::vector<StoredQuery> queries;
  try {
    queries = ReadStoredQueries(file.Handle());
  } catch (const Error& e) {
    report.LeaveOut("consulta", "", "no se pudieron leer las consultas guardadas de '" + file.Path() +
                                        "': " + DetailOf(e));
    return;
  }
  for (const auto& query : queries)
    if (query.sqlite_sql.empty()) report.LeaveOut("consulta", query.name, query.reason);
  // Views are made after the views they read; a view whose source was refused
  // is refused too, naming it, instead of failing in SQLite with a bare
  // "no such table".
  std::set<std::string> refused;
  for (size_t at : ViewOrder(queries)) {
    const StoredQuery& query = queries[at];
    std::string missing;
    for (const auto& source : query.depends_on)
      if (refused.count(source)) missing = source;
    if (!missing.empty()) {
      refused.insert(query.name);
      report.LeaveOut("consulta", query.name, "lee la consulta '" + missing + "', que no se pudo crear");
      continue;
    }
    try {
      db.QueryDefs().Append(db.CreateQueryDef(query.name, query.sqlite_sql));
      report.queries.push_back(query.name);
    } catch (const Error& e) {
      refused.insert(query.name);
      report.LeaveOut("consulta", query.name, "SQLite no admite la vista: " + DetailOf(e));
    }
  }
}

}  // namespace brenquil::jet
