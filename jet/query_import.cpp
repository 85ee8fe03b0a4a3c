#include "jet/query_import.h"

#include "engine/error.h"

// The queries' reader and translator (ReadStoredQueries) is built apart;
// until it is in the tree, every stored query is listed as not brought in.
#if __has_include("jet/stored_queries.h")
#include "jet/stored_queries.h"
#define BRENQUIL_JET_STORED_QUERIES 1
#endif

namespace brenquil::jet {

void ImportStoredQueries(JetFile& file, const std::vector<CatalogObject>& catalog, Database& db,
                         ImportReport& report) {
#ifdef BRENQUIL_JET_STORED_QUERIES
  (void)catalog;
  for (const auto& query : ReadStoredQueries(file.Handle())) {
    if (query.sqlite_sql.empty()) {
      report.LeaveOut("consulta", query.name, query.reason);
      continue;
    }
    try {
      db.QueryDefs().Append(db.CreateQueryDef(query.name, query.sqlite_sql));
      report.queries.push_back(query.name);
    } catch (const Error& e) {
      report.LeaveOut("consulta", query.name, "SQLite no admite la vista: " + DetailOf(e));
    }
  }
#else
  (void)file;
  (void)db;
  // Names that begin "~" are the hidden queries Access keeps behind forms
  // and reports, not queries of their own.
  for (const auto& object : catalog)
    if (object.Query() && !object.System() && object.name.rfind('~', 0) != 0)
      report.LeaveOut("consulta", object.name,
                      "esta versión aún no traduce las consultas guardadas de Jet a SQLite");
#endif
}

}  // namespace brenquil::jet
