// Table equalisation ("Igualar BBDD"): creates in the old database the model tables it lacks, with their fields.
#pragma once

namespace brenquil {

class Actualiz;

// Command8_Click. A table whose fields cannot be listed or that the engine
// refuses is journaled and the next missing table is still created; only an
// old database that does not open ends the operation, with that error.
void EqualiseTables(Actualiz& window);

}  // namespace brenquil
