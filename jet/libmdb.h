// libmdb (mdbtools) as jet/ includes it: its header opens an extern "C"
// block before it includes glib.h, which C++ refuses, so glib.h comes first.
// The one place that includes mdbtools.h.
#pragma once

#include <glib.h>

#include <mdbtools.h>
