// The names people read for DAO's type codes and relation attribute flags, in
// Spanish: "Texto" for 10, "cascada al borrar" for 4096. Both front ends show
// them; the stored numbers are never replaced by them.
#pragma once

#include <string>

namespace brenquil {

// "Texto" for dbText; empty for a code DAO does not define.
std::string TypeName(int type);

// How a field row shows a type code given as text: "Texto (10)"; a code that
// is not a number, or that DAO does not define, is shown as it is.
std::string TypeWithCode(const std::string& code);

// The flags set in a relation's attributes, in flag order, joined by ", "
// ("única, cascada al borrar"); "ninguno" when none is set. A flag DAO does
// not define is shown as its number.
std::string RelationAttributeNames(long attributes);

}  // namespace brenquil
