// The stored queries of a Jet file as it keeps them: the MSysObjects entries
// of type 5 in the tables' container, in the file's order, each with its rows
// of MSysQueries. Forms and reports are other types, so a form or report of
// a query's name is never taken for it; the hidden queries Access makes for
// forms, reports and their controls (names beginning "~sq_") are not the
// user's queries and are left out.
#pragma once

#include <glib.h>
#include <mdbtools.h>

#include <vector>

#include "jet/query_rebuild.h"

namespace brenquil::jet {

// Throws brenquil::Error (3049) when MSysObjects cannot be read; libmdb's
// handle does not know the file's name, so the caller adds it.
std::vector<QueryObject> ReadQueryObjects(MdbHandle* mdb);

}  // namespace brenquil::jet
