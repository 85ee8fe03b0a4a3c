// Internal to the engine. The SQL conditions that join a relation's parent and
// child rows, for the check of old rows, and the names of the row triggers
// earlier versions of the engine enforced relations with.
#pragma once

#include <string>
#include <vector>

#include "engine/schema_info.h"

namespace brenquil::detail {

// "parent.p1 = child.c1 AND ..." over the relation's field pairs.
std::string RelationWhere(const RelationInfo& r, const std::string& parent_alias, const std::string& child_alias);
// "alias.c1 IS NOT NULL AND ...": a child row whose key is wholly set.
std::string AllSet(const RelationInfo& r, const std::string& alias);
// The same tables, field pairs in order (names as SQLite compares them) and
// clause attributes: what a FOREIGN KEY clause says of a relation.
bool SameClauseShape(const RelationInfo& a, const RelationInfo& b);
// The names an earlier version gave the row triggers of relation `relation`
// ("MSysRel_" and the name, then what each trigger held).
std::vector<std::string> LegacyRelationTriggers(const std::string& relation);

}  // namespace brenquil::detail
