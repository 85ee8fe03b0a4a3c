// Start here for jet/. Importing one genuine Jet (or ACE) file into a new
// engine database: every user table with its columns, DAO types and sizes,
// Required, AllowZeroLength, DefaultValue, ValidationRule and AutoNumber; its
// rows, every one; its indexes (not those Jet keeps only for a relationship);
// its relationships; its stored queries that translate into SQLite views.
// What did not arrive is named in the report with the reason.
//
// Safety: the Jet file is opened read-only and never written. The new
// database is made under a hidden temporary name in OUT's folder and renamed
// to OUT only when complete and checked; OUT is never replaced, and a failure
// or a killed import leaves nothing under OUT's name.
#pragma once

#include <string>

#include "jet/import_report.h"

namespace brenquil::jet {

// Imports `jet_path` into a new database at `out_path`. Throws Error, with
// nothing left at `out_path` and no temporary file: 3204 when `out_path`
// exists, 76 when its folder does not; 3024 when `jet_path` does not exist,
// 3343 when it is not a Jet file (empty, text, an SQLite file), 3031 when it
// has a database password or is encrypted, 3049 when it is cut short or
// damaged; another engine error when the new file cannot be written. Must not
// be called inside an engine batch (DBEngine::BeginBatch).
ImportReport ImportJet(const std::string& jet_path, const std::string& out_path);

}  // namespace brenquil::jet
