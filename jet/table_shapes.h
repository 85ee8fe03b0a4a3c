// The user tables of a Jet file with their columns and the types the query
// translation needs, read through libmdb. System tables (MSys*) are left out:
// they do not reach the engine database, so no view may read them.
#pragma once

#include <glib.h>
#include <mdbtools.h>

#include <string>
#include <utility>
#include <vector>

#include "jet/query_translation.h"

namespace brenquil::jet {

// The translation's type of a column of libmdb's type (MDB_TEXT, ...).
ValueType TypeOfJetColumn(int mdb_type);

std::vector<std::pair<std::string, std::vector<Column>>> ReadTableShapes(MdbHandle* mdb);

}  // namespace brenquil::jet
