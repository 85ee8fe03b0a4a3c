// SIGINT and SIGTERM while `brenquil-cli transform` runs: the handler only
// records which signal came (it is async-signal-safe: it sets a flag), and
// the run looks at the flag between databases, stops after the one in hand
// and writes its report; one that comes while the report is written lets it
// be finished. A second signal ends the program at once, as it
// would without the handler; every database is still valid then, each being
// changed in one transaction. Owned by the subcommand while it runs.
#pragma once

#include <signal.h>

namespace brenquil {

class StopSignals {
 public:
  // Installs the handler for SIGINT and SIGTERM; forgets an earlier signal.
  StopSignals();
  // Puts back the handlers that were there before.
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  // The signal that came (SIGINT, SIGTERM), or 0.
  static int Caught();

 private:
  struct sigaction old_int_ {};
  struct sigaction old_term_ {};
};

}  // namespace brenquil
