// Relation deletion ("Borrar Relacion"): deletes from the old database the relations named in List9(1).
#pragma once

namespace brenquil {

class Actualiz;

// Command20_Click.
void DeleteRelations(Actualiz& window);

}  // namespace brenquil
