// What an import of one Jet file brought into its engine database, and by
// name everything that did not arrive, with the reason. Filled by ImportJet;
// the command line prints it as text or JSON.
#pragma once

#include <string>
#include <vector>

namespace brenquil::jet {

struct ImportedTable {
  std::string name;
  long long rows = 0;
  int fields = 0;
};

// One thing and why: "campo", "Clientes.Foto", "el tipo ... no tiene ...".
struct ReportItem {
  std::string kind;  // "tabla", "campo", "propiedad", "valores", "índice", "relación", "consulta"
  std::string name;  // "Tabla", "Tabla.Campo", "Tabla.Índice", the relation's or query's name
  std::string reason;  // Spanish
};

struct ImportReport {
  std::string source;  // the Jet file
  std::string output;  // the engine database written
  std::string format;  // "Jet 4 (Access 2000-2003)"
  std::vector<ImportedTable> tables;
  std::vector<std::string> indexes;  // "Tabla.Índice"
  std::vector<std::string> relations;
  std::vector<std::string> queries;
  // What did not arrive, or arrived changed: the import is incomplete.
  std::vector<ReportItem> left_out;
  // What arrived in another form than Jet's, its meaning kept, and what Jet
  // keeps only for its own windows (captions, formats, column widths).
  std::vector<ReportItem> notes;

  bool Complete() const { return left_out.empty(); }
  void LeaveOut(std::string kind, std::string name, std::string reason) {
    left_out.push_back({std::move(kind), std::move(name), std::move(reason)});
  }
  void Note(std::string kind, std::string name, std::string reason) {
    notes.push_back({std::move(kind), std::move(name), std::move(reason)});
  }
};

}  // namespace brenquil::jet
