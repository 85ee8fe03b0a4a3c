// Relation catalogue ("Lista Relaciones"): records the model's relations in relacion.mdb, lists both databases' relations, then deletes and creates.
#pragma once

namespace brenquil {

class Actualiz;

// Command22_Click.
void ListRelations(Actualiz& window);

}  // namespace brenquil
