// The window's --jobs: "Transformar" and "Previsualizar" share the old
// databases among worker processes as `brenquil-cli transform --jobs` does
// (cli/transform_jobs.h), and the journal, the report, the bars and the
// results read as a run of one process. The workers are this program itself:
// started with the worker variable set, it runs as brenquil-cli, with no
// window and no Qt application. Owns the option's count, the runs' sharing
// and the program's worker mode.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <QString>

namespace brenquil {

class Actualiz;

namespace gui {

// N of "--jobs N" (`option` is the name the operator wrote): a whole number
// from 1 to kMaxJobs, as brenquil-cli takes; nullopt with `problem` set
// otherwise.
std::optional<int> ParseJobs(const QString& option, const QString& value, QString& problem);

// From now on the state's runs share their old databases among up to `jobs`
// workers; with 1, or without a worker program (see StartAsProgram), each
// runs them in this process, one after the other.
void ShareWindowRuns(Actualiz& state, int jobs);

// For main(), before anything else: this program's own executable becomes
// the worker program, and when this process was started as a worker, it
// runs the arguments (program name first) as brenquil-cli and returns its
// exit code; nullopt for the desktop program.
std::optional<int> StartAsProgram(const std::vector<std::string>& arguments);

}  // namespace gui
}  // namespace brenquil
