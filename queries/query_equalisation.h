// Query equalisation ("Iguala Consultas"): replaces the old database's queries by the catalogued ones.
#pragma once

namespace brenquil {

class Actualiz;

// Command23_Click.
void EqualiseQueries(Actualiz& window);

}  // namespace brenquil
