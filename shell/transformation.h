// The transformation ("Transformar"): runs every step on every pair of an old database and its model, then copies the models without an old namesake.
#pragma once

namespace brenquil {

class Actualiz;

// Command13_Click. Refused at once, before anything is touched, with Error
// 3045 while another run holds the same installation (see RunLock). With the
// window's BackupFolder set, copies each old database there before its
// pair's steps (see RunBackups). While the window plans (Actualiz::Preview)
// it takes no copies and copies no model: the report lists the models that a
// run would copy.
void Transform(Actualiz& window);

}  // namespace brenquil
