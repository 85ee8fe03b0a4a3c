// What a run did to each database of the data folder, as both front ends show
// it: one outcome per database ("actualizada" with what it gained, "sin
// cambios", "omitida: sin modelo", "copiada", "sin tratar", or its errors),
// the same in the conditional after a plan ("se actualizaría"), a status word
// for scripts, and the run's one-line summary. Made from the window's
// RunReport and ErrorJournal; reads them, owns nothing.
#pragma once

#include <string>
#include <vector>

#include "shell/error_journal.h"
#include "shell/run_report.h"

namespace brenquil {

enum class Outcome { kUpdated, kUnchanged, kSkipped, kCopied, kFailed, kNotReached };

struct DatabaseResult {
  std::string path;  // the old database, or the copy made in the data folder
  Outcome outcome = Outcome::kUnchanged;
  // For an updated database: what it gained, what it kept but changed, then
  // what it lost ("2 tablas, 3 campos; cambia 1 desencadenador; quita 1
  // índice"). Empty otherwise.
  std::string changes;
  int errors = 0;            // journal entries made on this database
  bool rolled_back = false;  // its changes did not reach the file
};

// True when the entry records a change to its file; objects kept as they
// were are not changes.
bool Changed(const DatabaseChanges& changes);

// Every database the report or the journal names: the pairs in run order,
// then the databases without a model, the copies, the databases a stopped
// run did not reach, and any other database the journal names (a copy that
// failed). A database with errors and no change is kFailed; one with errors
// and changes stays kUpdated and counts its errors.
std::vector<DatabaseResult> Results(const RunReport& report, const ErrorJournal& journal);

// "actualizada: 2 tablas, 3 campos; quita 1 índice", "sin cambios", "omitida:
// sin modelo", "copiada", "3 errores", "sin tratar: ..."; errors of an
// updated database follow ("; 1 error"). After a plan (`plan`), in the
// conditional: "se actualizaría: 2 tablas; quitaría 1 índice", "quedaría sin
// cambios", "se omitiría: sin modelo", "se copiaría", "se rechazaría: 3 errores".
std::string OutcomeText(const DatabaseResult& result, bool plan = false);

// The outcome as one word from a fixed set, for scripts: "updated",
// "unchanged", "copied", "skipped", "failed", "notReached"; after a plan
// "wouldUpdate", "wouldBeUnchanged", "wouldCopy", "wouldSkip", "wouldFail"
// ("notReached" too, for a plan that was stopped).
const char* StatusWord(Outcome outcome, bool plan);

// "2 actualizadas, 1 sin cambios, 1 copiada, 1 omitida, 3 errores": the
// non-zero counts of each outcome, then the journal's entry count (always
// shown, "0 errores" included). "ninguna base" when no database was handled.
// After a plan: "2 se actualizarían, 1 se copiaría, ...".
std::string SummaryLine(const std::vector<DatabaseResult>& results, size_t journal_entries,
                        bool plan = false);

// The database's file name: the path's last part.
std::string FileNameOf(const std::string& path);

}  // namespace brenquil
