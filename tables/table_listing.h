// Table listing ("Lista de Tablas"): the tables of the model (Text3) into List2 and of the old database (Text4) into List3, system tables left out.
#pragma once

namespace brenquil {

class Actualiz;

// Command6_Click.
void ListTables(Actualiz& window);

}  // namespace brenquil
