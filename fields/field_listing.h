// Field listing: the fields of one table as field rows (name, type code, size) in three parallel lists.
#pragma once

namespace brenquil {

class Actualiz;

// Command10_Click: the model table selected in List2 into List1 0-2.
void ListModelFields(Actualiz& window);
// Command11_Click: the old table selected in List3 into List5 0-2.
void ListOldFields(Actualiz& window);
// Command2_Click: the model table selected in List4 into List1 0-2.
void ListNewTableFields(Actualiz& window);

}  // namespace brenquil
