// The end of `brenquil-cli transform`: the status, what changed per old
// database (the window's RunReport) and the error journal, as text for people
// or as JSON. Reads the window; changes nothing.
#pragma once

#include <nlohmann/json.hpp>
#include <ostream>

namespace brenquil {

class Actualiz;

// {"status", "plan", "databases":[{"old","model","tablesCreated","fieldsAdded":
// [{"table","fields"}],"indexesDeleted","indexesCreated","relationsDeleted",
// "relationsCreated","queriesDeleted","queriesCreated","triggersCreated",
// "backup","errors":[{"operation","number","text"}]}], "newDatabases",
// "skippedDatabases", "errors":[{"operation","model","old","number","text"}]}.
// A database appears when something changed in it or an error was journaled
// on it; the top-level errors are the whole journal. After a plan ("plan":
// true) the same shape says what a run would do, and its errors what a run
// would be refused.
nlohmann::ordered_json TransformReportJson(const Actualiz& window);

void PrintTransformReport(const Actualiz& window, std::ostream& out);

}  // namespace brenquil
