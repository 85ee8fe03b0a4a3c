// The end of `brenquil-cli import`: what one Jet file brought into its engine
// database and, by name, what did not arrive and why, as text for people or
// as JSON; and, for a whole installation, the same file by file. Reads the
// reports; changes nothing.
#pragma once

#include <nlohmann/json.hpp>
#include <ostream>

#include "jet/import_report.h"
#include "jet/installation_import.h"

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

// {"version":1, "stamp", "complete", "converted", "leftAlone", "failed",
// "files":[{"path", "role", "outcome": "converted" | "leftAlone" | "failed",
// "original" (converted), "reason" (left alone, failed), "error" (failed),
// "import" (converted: as ImportReportJson)}]}. "complete" is false exactly
// when a file failed or a converted one left something out.
nlohmann::ordered_json InstallationImportJson(const jet::InstallationImport& run);

// One line per file (converted, left alone, failed, with the reason), under
// each converted file what did not arrive, then the counts and one line
// saying whether every Jet file arrived whole.
void PrintInstallationImport(const jet::InstallationImport& run, std::ostream& out);

}  // namespace brenquil
