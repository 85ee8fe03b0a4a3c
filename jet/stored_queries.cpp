// Queries are translated once the queries they read are decided, so a query
// over a view becomes a view over that view, and a query over a query that
// cannot be a view is not one either, with that as its reason.
#include "jet/stored_queries.h"

#include <algorithm>
#include <map>

#include "engine/sql_text.h"
#include "jet/query_rows.h"
#include "jet/table_shapes.h"

namespace brenquil::jet {
namespace {

std::string KindReason(const std::string& kind, const std::string& connect) {
  static const std::map<std::string, std::string> reasons = {
      {"crosstab",
       "es una consulta de referencias cruzadas (TRANSFORM ... PIVOT): sus columnas salen de los "
       "datos y SQLite no tiene equivalente"},
      {"append",
       "es una consulta de datos anexados (INSERT INTO): cambia datos y una vista solo los lee"},
      {"update",
       "es una consulta de actualización (UPDATE): cambia datos y una vista solo los lee"},
      {"delete", "es una consulta de eliminación (DELETE): cambia datos y una vista solo los lee"},
      {"make-table",
       "es una consulta de creación de tabla (SELECT ... INTO): crea una tabla y una vista solo "
       "lee datos"},
      {"ddl",
       "es una consulta de definición de datos: cambia la estructura y una vista solo lee datos"},
      {"unknown", "es de un tipo de consulta desconocido"}};
  if (kind == "pass-through")
    return "es una consulta de paso a través: su SQL se envía tal cual al servidor ODBC" +
           (connect.empty() ? std::string() : " (" + connect + ")");
  auto it = reasons.find(kind);
  return it == reasons.end() ? "" : it->second;
}

bool IsReading(const std::string& kind) { return kind == "select" || kind == "union"; }

}  // namespace

std::vector<StoredQuery> StoredQueriesOf(
    const std::vector<QueryObject>& objects,
    const std::vector<std::pair<std::string, std::vector<Column>>>& tables) {
  std::vector<StoredQuery> queries;
  Catalogue catalogue;
  for (const auto& [name, columns] : tables) catalogue.AddTable(name, columns);

  std::vector<bool> pending(objects.size(), false);
  for (size_t i = 0; i < objects.size(); ++i) {
    const RebuiltQuery rebuilt = RebuildQuery(objects[i]);
    StoredQuery q{objects[i].name, rebuilt.kind, rebuilt.jet_sql, {}, {}, {}};
    if (q.jet_sql.empty()) {
      q.reason = "no se pudo rehacer su SQL de Jet: " + rebuilt.problem;
    } else if (!IsReading(q.kind)) {
      q.reason = KindReason(q.kind, rebuilt.connect);
    } else {
      pending[i] = true;
    }
    if (!pending[i]) catalogue.AddRefused(q.name, q.reason);
    queries.push_back(std::move(q));
  }

  // The other stored queries each pending query reads.
  std::vector<std::vector<size_t>> reads(queries.size());
  for (size_t i = 0; i < queries.size(); ++i) {
    if (!pending[i]) continue;
    for (const std::string& source : SourceNames(queries[i].jet_sql)) {
      for (size_t j = 0; j < queries.size(); ++j) {
        if (j != i && detail::IEquals(queries[j].name, source)) reads[i].push_back(j);
      }
    }
  }
  bool progress = true;
  while (progress) {
    progress = false;
    for (size_t i = 0; i < queries.size(); ++i) {
      if (!pending[i] ||
          std::any_of(reads[i].begin(), reads[i].end(), [&](size_t j) { return pending[j]; }))
        continue;
      Translation t = TranslateQuery(queries[i].jet_sql, catalogue);
      StoredQuery& q = queries[i];
      if (t.sqlite_sql.empty()) {
        q.reason = t.reason;
        catalogue.AddRefused(q.name, q.reason);
      } else {
        q.sqlite_sql = t.sqlite_sql;
        q.depends_on = t.queries;
        catalogue.AddView(q.name, t.columns);
      }
      pending[i] = false;
      progress = true;
    }
  }
  for (size_t i = 0; i < queries.size(); ++i) {
    if (pending[i]) queries[i].reason = "lee consultas que a su vez la leen a ella";
  }
  return queries;
}

std::vector<StoredQuery> ReadStoredQueries(MdbHandle* mdb) {
  const std::vector<QueryObject> objects = ReadQueryObjects(mdb);
  return StoredQueriesOf(objects, ReadTableShapes(mdb));
}

std::vector<size_t> ViewOrder(const std::vector<StoredQuery>& queries) {
  std::vector<size_t> order;
  std::vector<bool> placed(queries.size(), false);
  auto position = [&](const std::string& name) {
    for (size_t j = 0; j < queries.size(); ++j) {
      if (detail::IEquals(queries[j].name, name)) return j;
    }
    return queries.size();
  };
  bool progress = true;
  while (progress) {
    progress = false;
    for (size_t i = 0; i < queries.size(); ++i) {
      if (placed[i] || queries[i].sqlite_sql.empty()) continue;
      const bool ready = std::all_of(queries[i].depends_on.begin(), queries[i].depends_on.end(),
                                     [&](const std::string& name) {
                                       const size_t j = position(name);
                                       return j == queries.size() || placed[j];
                                     });
      if (!ready) continue;
      placed[i] = true;
      order.push_back(i);
      progress = true;
    }
  }
  return order;
}

}  // namespace brenquil::jet
