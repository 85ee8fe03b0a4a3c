// MSysObjects and MSysQueries read row by row; a query's rows stay in the
// order the file holds them, which is the order of each clause's items.
#include "jet/query_rows.h"

#include <map>

#include "engine/error.h"
#include "jet/mdb_rows.h"

namespace brenquil::jet {
namespace {

constexpr long kQueryType = 5;
constexpr long kContainerType = 3;
// A query's text can reach 64K characters, three bytes each in UTF-8.
constexpr size_t kLongestText = 256 * 1024;

}  // namespace

std::vector<QueryObject> ReadQueryObjects(MdbHandle* mdb) {
  struct Entry {
    long id, parent;
    QueryObject object;
  };
  std::vector<Entry> entries;
  std::optional<long> tables_container;
  {
    enum { kId, kParentId, kName, kType, kFlags };
    MdbRows objects(mdb, "MSysObjects", {"Id", "ParentId", "Name", "Type", "Flags"}, 4096);
    if (!objects.Found()) throw MakeError(err::kCannotOpen, "no se pudo leer su tabla MSysObjects");
    while (objects.Next()) {
      const std::optional<std::string> name = objects.Text(kName);
      const std::optional<long> type = objects.Number(kType);
      if (!name || !type) continue;
      if (*type == kContainerType && *name == "Tables") tables_container = objects.Number(kId);
      if (*type != kQueryType || name->rfind("~sq_", 0) == 0) continue;
      Entry e{objects.Number(kId).value_or(0), objects.Number(kParentId).value_or(0), {}};
      e.object.name = *name;
      e.object.flags = objects.Number(kFlags).value_or(0);
      entries.push_back(std::move(e));
    }
  }
  std::map<long, QueryObject*> by_id;
  std::vector<QueryObject> queries;
  queries.reserve(entries.size());
  for (Entry& e : entries) {
    if (tables_container && e.parent != *tables_container) continue;
    queries.push_back(std::move(e.object));
    by_id[e.id] = &queries.back();
  }

  enum { kObjectId, kAttribute, kExpression, kFlag, kName1, kName2, kLvExtra };
  MdbRows rows(mdb, "MSysQueries",
               {"ObjectId", "Attribute", "Expression", "Flag", "Name1", "Name2", "LvExtra"},
               kLongestText);
  while (rows.Next()) {
    const std::optional<long> id = rows.Number(kObjectId);
    const std::optional<long> attribute = rows.Number(kAttribute);
    if (!id || !attribute) continue;
    auto owner = by_id.find(*id);
    if (owner == by_id.end()) continue;
    QueryRow row;
    row.attribute = static_cast<int>(*attribute);
    row.expression = rows.Text(kExpression);
    row.name1 = rows.Text(kName1);
    row.name2 = rows.Text(kName2);
    if (std::optional<long> flag = rows.Number(kFlag)) row.flag = static_cast<int>(*flag);
    row.extra = rows.Number(kLvExtra);
    for (size_t column : {kExpression, kName1, kName2}) {
      if (rows.Cut(column))
        owner->second->problem = "un texto de la consulta es más largo de lo que se puede leer";
    }
    owner->second->rows.push_back(std::move(row));
  }
  for (QueryObject& q : queries) {
    if (q.rows.empty() && q.problem.empty())
      q.problem = "la consulta no tiene filas en MSysQueries";
  }
  return queries;
}

}  // namespace brenquil::jet
