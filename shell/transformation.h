// The transformation ("Transformar"): runs every step on every pair of an old database and its model, then copies the models without an old namesake.
#pragma once

namespace brenquil {

class Actualiz;

// The status the run leaves in Label4: a run that went to its end, one that
// was stopped ("Detener"), and the same for a plan, which changed no file.
inline constexpr const char* kStatusDone = "Proceso Terminado";
inline constexpr const char* kStatusStopped = "Proceso Detenido";
inline constexpr const char* kStatusPlanDone = "Plan terminado: no se ha cambiado ningún archivo";
inline constexpr const char* kStatusPlanStopped = "Plan detenido: no se ha cambiado ningún archivo";

// Command13_Click. Refused at once, before anything is touched, with Error
// 3045 while another run or plan holds the same installation (see RunLock),
// with Error 76 when the window has no data folder, and with Error 75 when
// the window's BackupFolder is set and cannot be made. With BackupFolder
// set, each old database is copied there just before its first change (see
// RunBackups). When a stop is requested (Actualiz::RequestStop) the run ends
// after the database in hand: the report names the databases it did not
// reach and the models it did not copy. While the window plans
// (Actualiz::Preview) it takes no copies and copies no model: the report
// lists the models that a run would copy, and those it would refuse.
void Transform(Actualiz& window);

}  // namespace brenquil
