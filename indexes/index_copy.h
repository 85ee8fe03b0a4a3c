// Index copy ("Copia los indices"): creates in the old database the catalogued indexes of every table in List10.
#pragma once

namespace brenquil {

class Actualiz;

// Command16_Click. Runs in ignore-errors mode and never fails back: every
// failure it skips is journaled, naming the index and the table. An index over
// several fields is built once, from all its catalogue rows in row order; an
// old index that would come back the same is not offered again. A catalogue
// that cannot be read ends the operation. Each creation goes to window.Report.
void CopyIndexes(Actualiz& window);

}  // namespace brenquil
