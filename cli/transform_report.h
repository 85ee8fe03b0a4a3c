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

// {"version":2, "status", "plan", "stopped", "summary", "databases":[{"old",
// "model","status","outcome","counts":{"tablesCreated","fieldsAdded",
// "indexesDeleted","indexesCreated","indexesKept","relationsDeleted",
// "relationsCreated","relationsKept","relationsChanged","queriesDeleted",
// "queriesCreated","queriesKept","triggersCreated","triggersReplaced",
// "errors"},"tablesCreated","fieldsAdded":[{"table","fields"}],"indexesDeleted","indexesCreated","indexesKept" (each
// [{"table","name"}]),"relationsDeleted","relationsCreated","relationsKept",
// "relationsChanged","queriesDeleted","queriesCreated","queriesKept",
// "triggersCreated","triggersReplaced","backup",
// "rolledBack","errors":[{"step","operation","number","text"}]}],
// "skipped":[paths], "newDatabases":[paths], "notReached":[paths],
// "errors":[{"step","operation","model","old","number","text"}]}.
// "databases" holds every database: the pairs in run order, then those
// without a model, the copies, those a stopped run did not reach and any
// other the journal names ("old" is the database in the data folder; "model"
// is empty where none was used). "status" is one word of a fixed set (see
// StatusWord), "outcome" the same in Spanish as the window says it; "step"
// names a step as the window does, "operation" is the developer's name of
// the window operation. After a plan ("plan": true) the same shape says what
// a run would do, and its errors what a run would be refused.
// Written as it is made, one database at a time (see JsonObjectWriter): the
// text JsonText would give of the whole document, warnings included.
void WriteTransformReportJson(const Actualiz& window, std::ostream& out);
// The same document, read back from that text.
nlohmann::ordered_json TransformReportJson(const Actualiz& window);

// Per database everything the run did to it (see DatabaseDetails), then the
// status and, last, the summary line the window shows. After a plan a first
// line says that no file changed, and every outcome is in the conditional.
void PrintTransformReport(const Actualiz& window, std::ostream& out);

// The journal, one entry a line naming the database and the step, for the
// error stream; nothing when empty.
void PrintJournal(const Actualiz& window, std::ostream& out);

}  // namespace brenquil
