// Relation creation ("Crea Relacion"): creates in the old database the relations named in List9(0) from the catalogue.
#pragma once

namespace brenquil {

class Actualiz;

// Command21_Click.
void CreateRelations(Actualiz& window);

}  // namespace brenquil
