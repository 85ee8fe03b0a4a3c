// Query catalogue ("Lista de Consultas"): records the model's queries in consulta.mdb, lists the old database's, then equalises.
#pragma once

namespace brenquil {

class Actualiz;

// Command24_Click.
void ListQueries(Actualiz& window);

}  // namespace brenquil
