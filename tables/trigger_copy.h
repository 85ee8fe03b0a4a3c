// Trigger copy: the model's triggers arrive in the old database as the model
// declares them, each in place of an old trigger of its name. A trigger equal
// to the model's is left in place; the old database's own triggers that the
// model lacks are kept. The report names the triggers created and those
// replaced (another text, or the same name on another table).
#pragma once

namespace brenquil {

class Actualiz;

// Runs on the pair named by Text3 (model) and Text4 (old), after the query
// step, so that the views the triggers may be on exist. A trigger the old
// database refuses, or whose table or view it lacks (a view the query step
// was refused), is journaled and the next one is still copied.
void CopyTriggers(Actualiz& window);

}  // namespace brenquil
