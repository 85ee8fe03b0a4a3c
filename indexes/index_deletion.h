// Index deletion ("Borra los indices"): deletes from the old database the catalogued indexes of the tables in List10.
#pragma once

namespace brenquil {

class Actualiz;

// Command18_Click; calls Command19_Click at its end. An old index that would
// come back the same from the model (index_step.h) is left in place, and the
// later rows of an index over several fields are passed over. When the model
// (Text3) does not open nothing is deleted and the model listing reports it.
// Any other refusal of the engine ends the operation and passes on; indexes
// deleted before it stay deleted. Each deletion goes to window.Report.
void DeleteIndexes(Actualiz& window);

}  // namespace brenquil
