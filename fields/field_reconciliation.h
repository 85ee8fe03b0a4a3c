// Field reconciliation ("Recorrer Tablas"): adds to every old table the model fields it lacks.
#pragma once

namespace brenquil {

class Actualiz;

// Command12_Click.
void ReconcileFields(Actualiz& window);

}  // namespace brenquil
