// The stored queries of a Jet file, brought in last (after tables, rows,
// indexes and relations, which views may name): each one that translates
// into an SQLite SELECT becomes a QueryDef of the engine (a view); every other
// is named in the report with its reason, and so is a view SQLite refuses to
// prepare, with SQLite's message. The reading and translation of the queries
// themselves live in jet/stored_queries.h.
#pragma once

#include "engine/database.h"
#include "jet/import_report.h"
#include "jet/jet_file.h"

namespace brenquil::jet {

void ImportStoredQueries(JetFile& file, Database& db, ImportReport& report);

}  // namespace brenquil::jet
