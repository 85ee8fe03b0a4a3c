// The SQL conditions that join a relation's parent and child rows, and the
// row triggers through which earlier versions of the engine enforced a
// relation: a relation is a FOREIGN KEY clause now, and those triggers go
// when it is brought to its clause or deleted.
#include "engine/relation_sql.h"

#include "engine/connection.h"
#include "engine/relation.h"

namespace brenquil::detail {

std::string RelationWhere(const RelationInfo& r, const std::string& parent_alias,
                          const std::string& child_alias) {
  std::string where;
  for (size_t i = 0; i < r.fields.size(); ++i)
    where += (i ? " AND " : "") + parent_alias + "." + QuoteId(r.fields[i].first) + " = " + child_alias +
             "." + QuoteId(r.fields[i].second);
  return where;
}

std::string AllSet(const RelationInfo& r, const std::string& alias) {
  std::string s;
  for (size_t i = 0; i < r.fields.size(); ++i)
    s += (i ? " AND " : "") + alias + "." + QuoteId(r.fields[i].second) + " IS NOT NULL";
  return s;
}

bool SameClauseShape(const RelationInfo& a, const RelationInfo& b) {
  if (!IEquals(a.table, b.table) || !IEquals(a.foreign_table, b.foreign_table) ||
      (a.attributes & kClauseAttributes) != (b.attributes & kClauseAttributes) || a.fields.size() != b.fields.size())
    return false;
  for (size_t i = 0; i < a.fields.size(); ++i)
    if (!IEquals(a.fields[i].first, b.fields[i].first) || !IEquals(a.fields[i].second, b.fields[i].second))
      return false;
  return true;
}

std::vector<std::string> LegacyRelationTriggers(const std::string& relation) {
  std::vector<std::string> names;
  for (const char* kind : {"_hijo_alta", "_hijo_cambio", "_padre_baja", "_padre_cambio"})
    names.push_back("MSysRel_" + relation + kind);
  return names;
}

void Connection::DropRelationTriggers(const std::string& name) {
  for (const std::string& trigger : LegacyRelationTriggers(name)) Exec("DROP TRIGGER IF EXISTS " + QuoteId(trigger));
}

}  // namespace brenquil::detail
