// Copying a database as a database: the committed content of a file, read
// through the engine's shared connection, becomes a new file that nobody else
// owns. The temporary copies it writes on the way belong to this file too.
#pragma once

#include <string>

namespace brenquil {

// Writes the committed content of the database `from` to the new file `to`,
// in rollback-journal (DELETE) mode whatever mode `from` is in. `from` is
// opened as DBEngine::OpenDatabase opens it (`read_only` included: a model
// is only read), so a hot journal is rolled back first when the file may be
// written; when it is only read, the file and its journal are copied as they
// are and the journal is rolled back in the copy. A file that does not open as a database
// is refused with its open error (3024, 3343, 3049, 3045) and nothing is
// written. The copy is made in a hidden temporary file beside `to`, checked
// (integrity_check, Error 3049 when it fails), synced, and then linked into
// place: `to` is never replaced (Error 58 when it exists). On failure nothing
// is left at `to` nor beside it.
void CopyDatabase(const std::string& from, const std::string& to, bool read_only = false);

// A working copy for this process's own use, in a folder of its own that
// goes when the work ends: the committed content of `from`, read as
// CopyDatabase reads it, written to the new file `to` without a journal,
// a sync or a check, since nothing of it outlives the work (a crash leaves
// only a scratch file). Error 58 when `to` exists; on failure nothing is
// left at `to`.
void CopyScratchDatabase(const std::string& from, const std::string& to);

// What CopyDatabase(from, to, read_only = true) checks of `from` before it
// writes anything, for a plan: that it opens as a database and passes the
// integrity check. A file whose interrupted write only its copy can undo
// passes here: the copy is checked once the journal is rolled back in it.
void CheckCopySource(const std::string& from);

// Removes from `folder` the temporary copies (and their journals) that a run
// ended midway left behind. A copy that another run is still writing is kept.
// Error 75 naming the first entry that could not be removed, after trying all.
void RemoveStaleCopies(const std::string& folder);

}  // namespace brenquil
