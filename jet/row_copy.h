// Copies every row of a Jet table into the table the plan declared, through
// an SQLite connection of its own on the new file, in one transaction: one
// INSERT a row, large OLE Objects written into their blob in pieces after
// their row is in. What a column's values met on the way (numbers rounded to
// SQLite's 15 digits, dates outside Jet's years, text that did not decode) is
// named in the report with how many values it touched.
#pragma once

#include <sqlite3.h>

#include "jet/import_report.h"
#include "jet/jet_file.h"
#include "jet/table_plan.h"

namespace brenquil::jet {

// The number of rows copied. Throws Error when SQLite refuses a row (the
// transaction is rolled back) and JetDamage when a page is damaged.
long long CopyRows(JetFile& file, const TableDefinition& table, const TablePlan& plan, sqlite3* db,
                   ImportReport& report);

}  // namespace brenquil::jet
