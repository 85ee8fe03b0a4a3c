// Jet keeps rows a rule added later does not allow (Access may add Required,
// AllowZeroLength off or a ValidationRule without testing the rows there).
// SQLite would refuse those rows, and its integrity check would call the
// file damaged: so before the table is made, one pass over its rows finds the
// constraints the rows break, and the plan loses each of them, named in the
// report with the number of rows that break it. Every row arrives.
#pragma once

#include "jet/import_report.h"
#include "jet/jet_file.h"
#include "jet/table_plan.h"

namespace brenquil::jet {

void DropBrokenConstraints(JetFile& file, const TableDefinition& table, TablePlan& plan,
                           ImportReport& report);

}  // namespace brenquil::jet
