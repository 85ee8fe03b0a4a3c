// Everything a run did to one database, as lines for people: its outcome,
// its path, the tables, fields, indexes, relations, queries and triggers it
// created, deleted or kept, its backup, and its errors whole (the step, the
// number and the text, with the example keys a refusal names). After a plan,
// in the conditional. The window's details pane and the command line's
// report both show these lines. Reads the report and the journal; owns
// nothing.
#pragma once

#include <string>
#include <vector>

#include "shell/error_journal.h"
#include "shell/run_report.h"
#include "shell/run_summary.h"

namespace brenquil {

// The first line is "name: outcome", the second the path; the others are
// indented by two spaces (four under a heading that lists tables).
std::vector<std::string> DatabaseDetails(const RunReport& report, const ErrorJournal& journal,
                                         const DatabaseResult& result);

// One journal entry as a line: "[Tablas] error 3343: text".
std::string EntryLine(const JournalEntry& entry);

}  // namespace brenquil
