// Internal to the engine. DAO type codes and sizes for SQLite declared types,
// and the declared type the engine writes for a DAO type.
#pragma once

#include <string>
#include <string_view>
#include <utility>

namespace brenquil::detail {

// Type code and size DAO would give a column declared as `declared`.
std::pair<int, long> InferType(std::string_view declared);
// The declared SQLite type for a DAO type code and size.
std::string DeclaredType(int type, long size);

}  // namespace brenquil::detail
