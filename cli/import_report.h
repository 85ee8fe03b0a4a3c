// The end of `brenquil-cli import`: what one Jet file brought into its engine
// database and, by name, what did not arrive and why, as text for people or
// as JSON. Reads the report; changes nothing.
#pragma once

#include <nlohmann/json.hpp>
#include <ostream>

#include "jet/import_report.h"

namespace brenquil {

// {"version":1, "source", "output", "format", "complete", "tables":[{"name",
// "rows","fields"}], "indexes":["Table.Index"], "relations":[names],
// "queries":[names], "leftOut":[{"kind","name","reason"}], "notes":[{"kind",
// "name","reason"}]}. "complete" is false exactly when "leftOut" is not empty.
nlohmann::ordered_json ImportReportJson(const jet::ImportReport& report);

// The file and its format, the tables with their rows, the indexes,
// relations and queries, then what did not arrive, the notes and, last, one
// line saying whether everything arrived.
void PrintImportReport(const jet::ImportReport& report, std::ostream& out);

}  // namespace brenquil
