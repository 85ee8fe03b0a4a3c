// What the relation step asks before it deletes or creates: whether an old
// relation already is the model's, or a clause that declares it, and which
// old rows would refuse one.
#pragma once

#include "engine/database.h"
#include "engine/relation.h"
#include "engine/row_checks.h"

namespace brenquil {

// The same relation: name, tables, attributes and field pairs in order, names
// compared as SQLite compares them, and the FOREIGN KEY clause when both
// carry the one they are declared by.
bool SameRelation(Relation& a, Relation& b);

// True when `clause`, a FOREIGN KEY clause alone of the old database (a table
// made from the model's declaration brings the model's clauses), declares
// `relation` under another name: same tables, field pairs, actions and
// deferral, and the same clause text when `relation` has one. Appending
// `relation` then records it over that clause rather than declaring it again.
bool DeclaredBy(Relation& relation, Relation& clause);

// The rows of `old` that `relation` (enforced) would refuse: children without
// their parent. None for a relation that is not enforced, or whose tables or
// fields the old database lacks (the engine then refuses it for that reason).
BlockingRows RowsAgainst(Database& old, Relation& relation);

}  // namespace brenquil
