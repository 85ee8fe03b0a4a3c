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

namespace {

const char* OutcomeKey(jet::FileOutcome outcome) {
  switch (outcome) {
    case jet::FileOutcome::kConverted: return "converted";
    case jet::FileOutcome::kLeftAlone: return "leftAlone";
    case jet::FileOutcome::kFailed: return "failed";
  }
  return "";
}

}  // namespace

nlohmann::ordered_json InstallationImportJson(const jet::InstallationImport& run) {
  nlohmann::ordered_json doc;
  doc["version"] = 1;
  doc["stamp"] = run.stamp;
  doc["complete"] = run.Complete();
  doc["converted"] = run.Count(jet::FileOutcome::kConverted);
  doc["leftAlone"] = run.Count(jet::FileOutcome::kLeftAlone);
  doc["failed"] = run.Count(jet::FileOutcome::kFailed);
  auto files = nlohmann::ordered_json::array();
  for (const auto& f : run.files) {
    nlohmann::ordered_json file;
    file["path"] = f.path;
    file["role"] = f.role;
    file["outcome"] = OutcomeKey(f.outcome);
    if (f.outcome == jet::FileOutcome::kConverted) {
      file["original"] = f.original;
      file["import"] = ImportReportJson(f.report);
    } else {
      file["reason"] = f.why;
    }
    if (f.outcome == jet::FileOutcome::kFailed) file["error"] = f.error;
    files.push_back(std::move(file));
  }
  doc["files"] = files;
  return doc;
}

void PrintInstallationImport(const jet::InstallationImport& run, std::ostream& out) {
  for (const auto& f : run.files) {
    switch (f.outcome) {
      case jet::FileOutcome::kConverted:
        out << "convertida  '" << f.path << "' (" << f.role << ", " << f.report.format << "): "
            << f.report.tables.size() << (f.report.tables.size() == 1 ? " tabla" : " tablas")
            << "; el original está en '" << f.original << "'\n";
        for (const auto& i : f.report.left_out)
          out << "    no llegó: " << i.kind << " " << i.name << ": " << i.reason << "\n";
        break;
      case jet::FileOutcome::kLeftAlone:
        out << "sin tocar   '" << f.path << "' (" << f.role << "): " << f.why << "\n";
        break;
      case jet::FileOutcome::kFailed:
        out << "falló       '" << f.path << "' (" << f.role << "): error " << f.error << ": " << f.why
            << "; sigue en su sitio, sin cambios\n";
        break;
    }
  }
  const int converted = run.Count(jet::FileOutcome::kConverted);
  const int failed = run.Count(jet::FileOutcome::kFailed);
  out << "Convertidas " << converted << ", sin tocar " << run.Count(jet::FileOutcome::kLeftAlone)
      << ", fallidas " << failed << ".\n";
  if (converted == 0 && failed == 0)
    out << "Ninguna base es Jet: no había nada que convertir.\n";
  else if (run.Complete())
    out << "Todas las bases Jet se convirtieron y todo llegó; los originales están en "
        << jet::kOriginalsFolder << "/" << run.stamp << "/, junto a cada una.\n";
  else
    out << "Importación incompleta: "
        << (failed ? "alguna base Jet no se pudo convertir" : "algo no llegó")
        << " (arriba, con el motivo).\n";
}

}  // namespace brenquil
