#include "cli/import_report.h"

namespace brenquil {

namespace {

nlohmann::ordered_json Items(const std::vector<jet::ReportItem>& items) {
  auto list = nlohmann::ordered_json::array();
  for (const auto& i : items)
    list.push_back({{"kind", i.kind}, {"name", i.name}, {"reason", i.reason}});
  return list;
}

void PrintNames(const char* title, const std::vector<std::string>& names, std::ostream& out) {
  out << title << " (" << names.size() << ")\n";
  for (const auto& n : names) out << "  " << n << "\n";
}

}  // namespace

nlohmann::ordered_json ImportReportJson(const jet::ImportReport& r) {
  nlohmann::ordered_json doc;
  doc["version"] = 1;
  doc["source"] = r.source;
  doc["output"] = r.output;
  doc["format"] = r.format;
  doc["complete"] = r.Complete();
  auto tables = nlohmann::ordered_json::array();
  for (const auto& t : r.tables)
    tables.push_back({{"name", t.name}, {"rows", t.rows}, {"fields", t.fields}});
  doc["tables"] = tables;
  doc["indexes"] = r.indexes;
  doc["relations"] = r.relations;
  doc["queries"] = r.queries;
  doc["leftOut"] = Items(r.left_out);
  doc["notes"] = Items(r.notes);
  return doc;
}

void PrintImportReport(const jet::ImportReport& r, std::ostream& out) {
  out << "Importado '" << r.source << "' (" << r.format << ") en '" << r.output << "'\n";
  out << "Tablas (" << r.tables.size() << ")\n";
  for (const auto& t : r.tables)
    out << "  " << t.name << ": " << t.rows << (t.rows == 1 ? " fila, " : " filas, ") << t.fields
        << (t.fields == 1 ? " campo\n" : " campos\n");
  PrintNames("Índices", r.indexes, out);
  PrintNames("Relaciones", r.relations, out);
  PrintNames("Consultas", r.queries, out);
  if (!r.left_out.empty()) {
    out << "No llegó (" << r.left_out.size() << ")\n";
    for (const auto& i : r.left_out)
      out << "  " << i.kind << " " << i.name << ": " << i.reason << "\n";
  }
  if (!r.notes.empty()) {
    out << "Notas (" << r.notes.size() << ")\n";
    for (const auto& i : r.notes)
      out << "  " << i.kind << " " << i.name << ": " << i.reason << "\n";
  }
  if (r.Complete())
    out << "Todo llegó.\n";
  else
    out << "Importación incompleta: " << r.left_out.size()
        << (r.left_out.size() == 1 ? " cosa no llegó" : " cosas no llegaron")
        << " (arriba, con el motivo).\n";
}

}  // namespace brenquil
