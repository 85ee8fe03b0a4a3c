// How the operator names the window's operations: the step an operation
// belongs to ("Índices" for "Command18_Click"), and what each button changes,
// for the buttons' tooltips. Plain data about the operations; no state.
#pragma once

#include <string>

namespace brenquil {

// The step that `operation` ("Command18_Click", "Dir1_Change") belongs to, as
// a person names it; an operation this table does not know is returned as it is.
std::string StepName(const std::string& operation);

// What pressing button `number` reads and changes, in one or two sentences;
// the chains that delete say so plainly. Empty for a number without a button.
std::string ButtonDescription(int number);

// What the window's controls that are not numbered buttons do, for their
// tooltips: "Previsualizar", "Copia de seguridad", "ElegirCarpetaCopias"
// (the "…" beside it), "Detener" and "Drive1". Empty for another name.
std::string ControlDescription(const std::string& name);

}  // namespace brenquil
