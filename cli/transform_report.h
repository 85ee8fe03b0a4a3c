// The end of `brenquil-cli transform`: the status, what happened to each
// database of the data folder (the window's RunReport with the outcomes both
// front ends show), the error journal and the summary line, as text for people
// or as JSON. Reads the window; changes nothing.
#pragma once

#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace brenquil {

class Actualiz;

// {"version":1, "status", "plan", "summary", "databases":[{"old","model",
// "outcome","tablesCreated","fieldsAdded":[{"table","fields"}],
// "indexesDeleted","indexesCreated","indexesKept" (each [{"table","name"}]),
// "relationsDeleted","relationsCreated","relationsKept","relationsChanged",
// "queriesDeleted","queriesCreated","queriesKept","triggersCreated",
// "triggersReplaced","backup","rolledBack",
// "errors":[{"operation","step","number","text"}]}], "skipped":[paths],
// "newDatabases":[paths], "errors":[{"operation","step","model","old",
// "number","text"}]}. Every pair has an entry; the top-level errors are the
// whole journal. After a plan ("plan": true) the same shape says what a run
// would do, and its errors what a run would be refused.
nlohmann::ordered_json TransformReportJson(const Actualiz& window);

// Per database its outcome and changes, the copies and the databases without
// a model, then the status and, last, the summary line the window shows.
// After a plan a first line says that no file changed, and the copies are
// the models a run would copy.
void PrintTransformReport(const Actualiz& window, std::ostream& out);

// The journal, one entry a line, for the error stream; nothing when empty.
void PrintJournal(const Actualiz& window, std::ostream& out);

}  // namespace brenquil
