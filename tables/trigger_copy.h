// Trigger copy: the model's triggers on the tables and views that the old
// database also has arrive in it as the model declares them. A trigger equal
// to the model's is left in place; the old database's own triggers that the
// model lacks are kept.
#pragma once

namespace brenquil {

class Actualiz;

// Runs on the pair named by Text3 (model) and Text4 (old), after the query
// step, so that the views the triggers may be on exist. A trigger the old
// database refuses is journaled and the next one is still copied.
void CopyTriggers(Actualiz& window);

}  // namespace brenquil
