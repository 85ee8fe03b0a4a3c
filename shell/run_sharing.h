// How "Transformar" shares its old databases among processes (brenquil-cli
// transform --jobs, the window's --jobs): the parent holds the run lock, lists the data folder and
// hands the entries of List6 out; each worker runs the pairs of the entries it
// is handed, in its own copies of the catalogues, and sends back what each
// entry put in the journal and the report; the parent adds them in the order
// of the list, then lists and copies the new databases itself. Empty hooks:
// the run does every entry itself, in order.
#pragma once

#include <functional>
#include <string>

namespace brenquil {

class Actualiz;
class RunBackups;

struct RunSharing {
  // Parent: runs the old databases of List6 elsewhere and fills the journal
  // and the report as a run in this process would, in the list's order.
  // False when no worker could be started (nothing run, nothing changed):
  // this process then runs them itself.
  std::function<bool(Actualiz&, RunBackups&)> run_olds;
  // Worker: the parent holds the run lock and copies the new databases.
  bool worker = false;
  // Worker: the folder of the run's backups, which the parent made.
  std::string backup_run_folder;
  // Worker: true for an entry of List6 handed to this process, asked in the
  // list's order before the entry's turn.
  std::function<bool(int entry)> takes;
  // Worker: called once an entry handed to it is done, its journal lines and
  // report entries in place.
  std::function<void(int entry)> done;
};

}  // namespace brenquil
