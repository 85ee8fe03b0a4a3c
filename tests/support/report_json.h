// The JSON report of `transform`, as the tests compare it.
#pragma once

#include <nlohmann/json.hpp>

namespace brenquil::test {

// A plan's entry for a database and the run's say the same but for the
// words of their status ("wouldUpdate" and "se actualizaría" against
// "updated" and "actualizada"): the entry without them.
inline nlohmann::ordered_json WithoutStatus(nlohmann::ordered_json entry) {
  entry.erase("status");
  entry.erase("outcome");
  return entry;
}

}  // namespace brenquil::test
