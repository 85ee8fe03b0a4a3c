// Internal to the engine. The SQL conditions that join a relation's parent and
// child rows, shared by its triggers and by the check of old rows.
#pragma once

#include <string>

#include "engine/schema_info.h"

namespace brenquil::detail {

// "parent.p1 = child.c1 AND ..." over the relation's field pairs.
std::string RelationWhere(const RelationInfo& r, const std::string& parent_alias, const std::string& child_alias);
// "alias.c1 IS NOT NULL AND ...": a child row whose key is wholly set.
std::string AllSet(const RelationInfo& r, const std::string& alias);

}  // namespace brenquil::detail
