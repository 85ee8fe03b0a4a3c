// Adding new databases ("Bases Añadir"): lists in List8 the models without an old namesake.
#pragma once

namespace brenquil {

class Actualiz;

// Command15_Click.
void ListNewDatabases(Actualiz& window);

}  // namespace brenquil
