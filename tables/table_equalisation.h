// Table equalisation ("Igualar BBDD"): creates in the old database the model tables it lacks, with their fields.
#pragma once

namespace brenquil {

class Actualiz;

// Command8_Click.
void EqualiseTables(Actualiz& window);

}  // namespace brenquil
