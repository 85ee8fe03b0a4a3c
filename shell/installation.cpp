#include "shell/installation.h"

#include <filesystem>

#include "engine/dbengine.h"
#include "engine/error.h"
#include "shell/paths.h"

namespace brenquil {

namespace fs = std::filesystem;

const CatalogueLayout& IndexCatalogueLayout() {
  static const CatalogueLayout layout{"indices.mdb", "indices",
                                      {"nombreind", "tabla", "campo", "unico"}};
  return layout;
}

const CatalogueLayout& RelationCatalogueLayout() {
  static const CatalogueLayout layout{
      "relacion.mdb", "relacion",
      {"nombrerel", "tabla", "tablafor", "atributos", "campo", "campofor"}};
  return layout;
}

const CatalogueLayout& QueryCatalogueLayout() {
  static const CatalogueLayout layout{"consulta.mdb", "consulta", {"nombrecon", "consulta"}};
  return layout;
}

namespace {

// Every catalogue column is text that accepts the empty text: the steps write
// whatever the bound boxes hold. The query text is a Memo, any length.
void MakeCatalogue(const std::string& path, const CatalogueLayout& layout) {
  auto db = DBEngine::Instance().CreateDatabase(path);
  auto table = db->CreateTableDef(layout.table);
  for (const char* column : layout.columns) {
    bool long_text = std::string(column) == "consulta";
    auto field = table->CreateField(column, long_text ? dbMemo : dbText, long_text ? 0 : 255);
    field->SetAllowZeroLength(true);
    table->Fields().Append(field);
  }
  db->TableDefs().Append(table);
  db->Close();
}

void MakeSample(const std::string& path) {
  auto db = DBEngine::Instance().CreateDatabase(path);
  auto table = db->CreateTableDef("Empleados");
  auto id = table->CreateField("IdEmpleado", dbLong);
  id->SetAttributes(dbAutoIncrField);
  table->Fields().Append(id);
  for (const char* name : {"Apellidos", "Nombre", "Cargo"})
    table->Fields().Append(table->CreateField(name, dbText, 50));
  table->Fields().Append(table->CreateField("FechaContratación", dbDate));
  db->TableDefs().Append(table);
  auto key = table->CreateIndex("PrimaryKey");
  key->SetPrimary(true);
  key->Fields().Append(key->CreateField("IdEmpleado"));
  db->TableDefs()["Empleados"]->Indexes().Append(key);

  struct Row { const char* apellidos; const char* nombre; const char* cargo; const char* fecha; };
  const Row rows[] = {
      {"Davolio", "Nancy", "Representante de ventas", "1992-05-01"},
      {"Fuller", "Andrew", "Vicepresidente comercial", "1992-08-14"},
      {"Leverling", "Janet", "Representante de ventas", "1992-04-01"},
      {"Peacock", "Margaret", "Representante de ventas", "1993-05-03"},
      {"Buchanan", "Steven", "Gerente de ventas", "1993-10-17"},
  };
  auto rs = db->OpenRecordset("Empleados");
  for (const auto& r : rows) {
    rs->AddNew();
    rs->SetValue("Apellidos", std::string(r.apellidos));
    rs->SetValue("Nombre", std::string(r.nombre));
    rs->SetValue("Cargo", std::string(r.cargo));
    rs->SetValue("FechaContratación", std::string(r.fecha));
    rs->Update();
  }
  rs.reset();
  db->Close();
}

}  // namespace

std::vector<std::string> SetupInstallation(const std::string& home) {
  std::vector<std::string> created;
  Paths paths(home);
  std::error_code ec;
  for (const std::string& folder : {paths.Home(), paths.ModelsFolder()}) {
    if (fs::is_directory(folder, ec)) continue;
    if (!fs::create_directories(folder, ec) && !fs::is_directory(folder))
      throw MakeError(err::kFileAccess, "no se pudo crear la carpeta '" + folder + "': " + ec.message());
    created.push_back(folder);
  }
  for (const CatalogueLayout* layout :
       {&IndexCatalogueLayout(), &RelationCatalogueLayout(), &QueryCatalogueLayout()}) {
    std::string path = paths.CatalogPath(layout->file);
    if (fs::exists(path, ec)) continue;
    MakeCatalogue(path, *layout);
    created.push_back(path);
  }
  if (!fs::exists(paths.SampleDatabase(), ec)) {
    MakeSample(paths.SampleDatabase());
    created.push_back(paths.SampleDatabase());
  }
  // The new files are closed, so each is whole on disk by itself.
  DBEngine::Instance().CloseIdle();
  return created;
}

}  // namespace brenquil
