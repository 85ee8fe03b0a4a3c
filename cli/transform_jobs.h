// brenquil-cli transform --jobs, and the window's --jobs: several pairs at
// once, in worker processes.
// The parent (the command the operator ran) holds the run lock, lists the
// data folder and hands its entries out in the list's order, two at a time
// (the one a worker works on and the next, so that it never waits between
// two databases), to up to N workers: the program itself (brenquil-cli, or
// the window's brenquil, which runs as brenquil-cli when started as a
// worker), started again with the same installation, data folder and options
// and the environment variable below.
// Each worker works in its own copies of the catalogues (they are the steps'
// working lists, emptied and filled for every pair), runs the pairs of each
// entry it is handed and writes, as one JSON line on its standard output,
// what that entry put in the journal and the report. The parent adds them in
// the list's order, so the journal, the report and the progress read as a
// run of one process; it then lists and copies the new databases itself. A
// worker that ends before it finishes its entry (killed, say) leaves that
// database as it was (its transaction is rolled back when the file is next
// opened): the parent opens and checks it, journals it, and hands the rest
// to the other workers or a new one.
#pragma once

#include <ostream>
#include <string>

namespace brenquil {

class Actualiz;

// The environment variable that makes `transform` a worker; its value is the
// folder holding the worker's copies of the catalogues.
inline constexpr const char* kWorkerVariable = "BRENQUIL_TRANSFORM_WORKER";
// The folder of the run's backups, made by the parent, given to workers.
inline constexpr const char* kWorkerBackupsVariable = "BRENQUIL_TRANSFORM_BACKUPS";

// The program started as a worker: the running program's own executable,
// which brenquil-cli's main() and the window's set. Unset (RunCli inside another program), --jobs runs every pair
// in this process, one after the other.
void SetWorkerProgram(std::string path);
const std::string& WorkerProgram();

// --jobs N: by default one worker per processor (at most 64); N from 1 to
// kMaxJobs.
int DefaultJobs();
inline constexpr int kMaxJobs = 256;

// Parent: each "Transformar" and "Previsualizar" of `window` from now on runs
// its old databases in up to `jobs` workers. They are started with what the
// run has when it starts: the installation, the data folder of Dir1, whether
// it is a plan and the backup folder. While they work, the parent looks
// for a stop (Actualiz::StopRequested) and refreshes Frame13 at least ten
// times a second, so a window stays painted and takes "Detener". When not
// even one worker can be started, `notes` is told why and the run does its
// databases itself, one after the other.
void ShareRun(Actualiz& window, int jobs, std::ostream& notes);

// Worker: the next "Transformar" of `window` runs only the entries handed on
// the standard input ("INDEX\tNAME" lines) and writes each one's results on
// the standard output. FinishWorker writes the last line: what the run
// journaled after its last entry.
void BecomeWorker(Actualiz& window);
void FinishWorker(Actualiz& window);

}  // namespace brenquil
