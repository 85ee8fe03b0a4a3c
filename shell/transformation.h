// The transformation ("Transformar"): runs every step on every pair of an old database and its model, then copies the models without an old namesake.
#pragma once

namespace brenquil {

class Actualiz;

// Command13_Click.
void Transform(Actualiz& window);

}  // namespace brenquil
