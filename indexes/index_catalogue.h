// Index catalogue listings: record a database's indexes, field by field, in indices.mdb and list its tables in List10.
#pragma once

namespace brenquil {

class Actualiz;

// Both listings first empty the whole table indices through Data3, whatever
// selection Data3 holds, then write one row per field of every index of every
// non-"MSys" table (collection order, field position 0 first; unico
// "Verdadero" or "Falso"), and refresh Data3 from its record source. A database
// that does not open ends the listing there and the error passes on: the
// catalogue is left empty and nothing further of the chain runs.

// Command19_Click: the model's (Text3), then the index copy. List10 is cleared
// after the model opens, so a model that does not open leaves it as it was.
void ListModelIndexes(Actualiz& window);
// Command17_Click: the old database's (Text4), then the index deletion. List10
// is cleared before the old database is opened.
void ListOldIndexes(Actualiz& window);

}  // namespace brenquil
