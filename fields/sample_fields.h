// The sample field procedures on the sample database (Neptuno.mdb, table
// "Empleados"): append or delete one field, add and delete the three sample
// fields, reload Data2.
#pragma once

#include <string>

namespace brenquil {

class Actualiz;
class TableDef;

// AnexarEliminarCampo: "APPEND" or "DELETE" one field of `table`.
void AppendOrDeleteField(Actualiz& window, TableDef& table, const std::string& command,
                         const std::string& name, short type, short size);
// AppendX: adds "Correo", "Http", "Cuota" and reloads Data2.
void AppendSampleFields(Actualiz& window);
// Command5_Click: deletes the three sample fields.
void DeleteSampleFields(Actualiz& window);
// Command3_Click: reloads Data2 from the sample database.
void ReloadSampleData(Actualiz& window);

}  // namespace brenquil
