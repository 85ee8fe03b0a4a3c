// The transformation ("Transformar"): runs every step on every pair of an old database and its model, then copies the models without an old namesake.
#pragma once

namespace brenquil {

class Actualiz;

// Command13_Click. Refused at once, before anything is touched, with Error
// 3045 while another run holds the same installation (see RunLock).
void Transform(Actualiz& window);

}  // namespace brenquil
