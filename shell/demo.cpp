#include "shell/demo.h"

#include <filesystem>
#include <optional>

#include "engine/dbengine.h"
#include "engine/error.h"
#include "shell/installation.h"
#include "shell/paths.h"

namespace brenquil {

namespace fs = std::filesystem;

namespace {

// The demo databases are written down as data, so what each old database
// lacks can be read off next to its model.
struct FieldSpec {
  const char* name;
  int type;
  long size = 0;
  long attributes = 0;
};
struct TableSpec {
  const char* name;
  std::vector<FieldSpec> fields;
};
struct KeySpec {
  const char* name;
  bool descending = false;
};
struct IndexSpec {
  const char* table;
  const char* name;
  std::vector<KeySpec> fields;
  bool primary = false;
  bool unique = false;
};
struct PairSpec {
  const char* name;
  const char* foreign_name;
};
struct RelationSpec {
  const char* name;
  const char* table;
  const char* foreign_table;
  long attributes;
  std::vector<PairSpec> fields;
};
struct QuerySpec {
  const char* name;
  const char* sql;
};
using Value = std::optional<std::string>;
struct RowsSpec {
  const char* table;
  std::vector<const char*> columns;
  std::vector<std::vector<Value>> rows;
};
struct DatabaseSpec {
  const char* file;
  std::vector<TableSpec> tables;
  std::vector<RowsSpec> rows;
  std::vector<IndexSpec> indexes;
  std::vector<RelationSpec> relations;
  std::vector<QuerySpec> queries;
};

constexpr long kCascade = dbRelationUpdateCascade | dbRelationDeleteCascade;

// ---- Models (home/modelos)

// Five tables against the old database's five: the old one has two tables
// the model lacks instead of "Líneas de pedido" and "Entregas", so the
// missing tables must be worked out even though the counts are equal.
DatabaseSpec ClientesModel() {
  return {
      "Clientes.mdb",
      {
          {"Clientes",
           {{"Id", dbLong, 0, dbAutoIncrField},
            {"Nombre", dbText, 50},
            {"Dirección", dbText, 100},
            {"Notas", dbMemo},
            {"Alta", dbDate}}},
          {"Pedidos",
           {{"Id", dbLong},
            {"ClienteId", dbLong},
            {"Fecha", dbDate},
            {"Importe", dbCurrency},
            {"Forma de pago", dbText, 20}}},
          {"Líneas de pedido",
           {{"PedidoId", dbLong},
            {"Línea", dbInteger},
            {"Artículo", dbText, 50},
            {"Cantidad", dbLong}}},
          {"Entregas", {{"PedidoId", dbLong}, {"Línea", dbInteger}, {"Fecha de entrega", dbDate}}},
          {"O'Brien", {{"Clave", dbLong}, {"Texto", dbText, 30}, {"Comentario", dbMemo}}},
      },
      // A model's rows never reach an old database.
      {{"Clientes",
        {"Id", "Nombre", "Dirección", "Alta"},
        {{"900", "Cliente del modelo", "Calle Modelo 0", "2020-01-01"}}}},
      {
          {"Clientes", "PrimaryKey", {{"Id"}}, true},
          {"Clientes", "Nombre y dirección", {{"Nombre"}, {"Dirección"}}, false, true},
          {"Pedidos", "PrimaryKey", {{"Id"}}, true},
          {"Pedidos", "ClienteId", {{"ClienteId"}}},
          {"Pedidos", "Fecha", {{"Fecha", true}}},
          {"Líneas de pedido", "PrimaryKey", {{"PedidoId"}, {"Línea"}}, true},
          {"Entregas", "PedidoLínea", {{"PedidoId"}, {"Línea"}}},
          {"O'Brien", "PrimaryKey", {{"Clave"}}, true},
      },
      {
          {"ClientesPedidos", "Clientes", "Pedidos", kCascade, {{"Id", "ClienteId"}}},
          {"PedidosLíneas",
           "Pedidos",
           "Líneas de pedido",
           dbRelationDeleteCascade,
           {{"Id", "PedidoId"}}},
          {"LíneasEntregas",
           "Líneas de pedido",
           "Entregas",
           dbRelationUpdateCascade,
           {{"PedidoId", "PedidoId"}, {"Línea", "Línea"}}},
      },
      {
          {"Pedidos por cliente",
           "SELECT Clientes.Nombre, Pedidos.Fecha, Pedidos.Importe\r\n"
           "FROM Clientes INNER JOIN Pedidos ON Clientes.Id = Pedidos.ClienteId\r\n"
           "-- los pedidos más recientes primero\r\n"
           "ORDER BY Pedidos.Fecha DESC"},
          {"Altas del año", "SELECT Nombre, Alta FROM Clientes WHERE Alta >= '2024-01-01'"},
          {"Textos de O'Brien", "SELECT Clave, Texto FROM [O'Brien]"},
      },
  };
}

// "trabajos" lacks "clave" in the old database, which the transformation adds
// as an auto-increment counter numbering the old rows.
DatabaseSpec PersonalModel() {
  return {
      "Personal.mdb",
      {
          {"Empleados",
           {{"Id", dbLong},
            {"Nombre", dbText, 40},
            {"Apellidos", dbText, 60},
            {"Cargo", dbText, 30},
            {"Foto", dbLongBinary},
            {"Activo", dbBoolean}}},
          {"trabajos",
           {{"clave", dbLong, 0, dbAutoIncrField},
            {"empleado", dbLong},
            {"descripción", dbText, 80},
            {"horas", dbSingle},
            {"fecha de inicio", dbDate}}},
          {"Categorías", {{"Código", dbText, 5}, {"Nombre", dbText, 40}}},
      },
      {},
      {
          {"Empleados", "PrimaryKey", {{"Id"}}, true},
          {"Empleados", "Nombre completo", {{"Apellidos"}, {"Nombre"}}, false, true},
          {"trabajos", "PrimaryKey", {{"clave"}}, true},
          {"trabajos", "empleado", {{"empleado"}}},
          {"Categorías", "PrimaryKey", {{"Código"}}, true},
      },
      {{"EmpleadosTrabajos",
        "Empleados",
        "trabajos",
        dbRelationDeleteCascade,
        {{"Id", "empleado"}}}},
      {{"Horas por empleado",
        "SELECT Empleados.Nombre, Sum(trabajos.horas) AS Horas\r\n"
        "FROM Empleados INNER JOIN trabajos ON Empleados.Id = trabajos.empleado\r\n"
        "GROUP BY Empleados.Nombre"}},
  };
}

// No old namesake: the transformation copies it into the data folder.
DatabaseSpec InventarioModel() {
  return {
      "Inventario.mdb",
      {{"Artículos",
        {{"Código", dbText, 10},
         {"Descripción", dbText, 80},
         {"Existencias", dbLong},
         {"Precio", dbCurrency}}}},
      {{"Artículos",
        {"Código", "Descripción", "Existencias", "Precio"},
        {{"T-01", "Tornillo de 5 mm", "250", "0.10"}}}},
      {{"Artículos", "PrimaryKey", {{"Código"}}, true}},
      {},
      {{"Sin existencias", "SELECT * FROM Artículos WHERE Existencias = 0"}},
  };
}

// ---- Old databases (datos)

DatabaseSpec ClientesOld() {
  return {
      "Clientes.mdb",
      {
          {"Clientes",
           {{"Id", dbLong},
            {"Nombre", dbText, 50},
            {"Dirección", dbText, 100},
            {"Fax", dbText, 20}}},
          {"Pedidos",
           {{"Id", dbLong}, {"ClienteId", dbLong}, {"Fecha", dbDate}, {"Importe", dbCurrency}}},
          {"O'Brien", {{"Clave", dbLong}, {"Texto", dbText, 30}}},
          {"Antiguos", {{"Código", dbText, 10}, {"Descripción", dbText, 50}}},
          {"Proveedores viejos", {{"Nombre", dbText, 50}, {"Teléfono", dbText, 20}}},
      },
      {
          {"Clientes",
           {"Id", "Nombre", "Dirección", "Fax"},
           {{"1", "Ana Pérez", "Calle Mayor 1", "91 555 01 01"},
            {"2", "Jordi O'Neill", "Passeig de Gràcia 12", std::nullopt},
            {"3", "Íñigo Ruiz", "Plaza del Sol, 3", "94 400 00 03"}}},
          {"Pedidos",
           {"Id", "ClienteId", "Fecha", "Importe"},
           {{"10", "1", "2024-01-15", "120.5"},
            {"11", "1", "2024-02-01", "35"},
            {"12", "2", "2024-02-10", "980"},
            {"13", "3", "2024-03-05", "15.75"}}},
          {"O'Brien", {"Clave", "Texto"}, {{"1", "uno"}, {"2", "dos"}}},
          {"Antiguos", {"Código", "Descripción"}, {{"A1", "Archivo antiguo"}, {"B2", "Otro"}}},
          {"Proveedores viejos", {"Nombre", "Teléfono"}, {{"Suministros López", "93 000 00 00"}}},
      },
      {
          {"Clientes", "PrimaryKey", {{"Id"}}, true},
          {"Clientes", "PorNombre", {{"Nombre"}}},
          {"Pedidos", "PrimaryKey", {{"Id"}}, true},
          {"Pedidos", "Cliente y fecha", {{"ClienteId"}, {"Fecha"}}},
          {"Antiguos", "PrimaryKey", {{"Código"}}, true},
      },
      {{"Relación vieja", "Clientes", "Pedidos", 0, {{"Id", "ClienteId"}}}},
      {
          {"Pedidos por cliente", "SELECT * FROM Pedidos"},
          {"Consulta vieja", "SELECT Nombre FROM Clientes"},
      },
  };
}

DatabaseSpec PersonalOld() {
  return {
      "Personal.mdb",
      {
          {"Empleados",
           {{"Id", dbLong},
            {"Nombre", dbText, 40},
            {"Apellidos", dbText, 60},
            {"Activo", dbBoolean}}},
          {"trabajos", {{"empleado", dbLong}, {"descripción", dbText, 80}, {"horas", dbSingle}}},
      },
      {
          {"Empleados",
           {"Id", "Nombre", "Apellidos"},
           {{"1", "Ana", "Pérez Gil"}, {"2", "Luis", "Martín O'Donnell"}, {"3", "Begoña", "Sáez"}}},
          {"trabajos",
           {"empleado", "descripción", "horas"},
           {{"1", "Inventario del almacén", "7.5"},
            {"1", "Revisión de cuentas", "3"},
            {"2", "Atención al público", "8"},
            {"3", "Limpieza", "2.25"}}},
      },
      {
          {"Empleados", "PrimaryKey", {{"Id"}}, true},
          {"trabajos", "por empleado", {{"empleado"}}},
      },
      {},
      {},
  };
}

// No model: the transformation leaves it alone.
DatabaseSpec ArchivoOld() {
  return {
      "Archivo.mdb",
      {{"Histórico", {{"Año", dbInteger}, {"Resumen", dbMemo}}}},
      {{"Histórico", {"Año", "Resumen"}, {{"1999", "Primer año del archivo"}}}},
      {},
      {},
      {},
  };
}

std::vector<DatabaseSpec> Models() { return {ClientesModel(), PersonalModel(), InventarioModel()}; }
std::vector<DatabaseSpec> Olds() { return {ClientesOld(), PersonalOld(), ArchivoOld()}; }

std::vector<std::string> FileNames(const std::vector<DatabaseSpec>& specs) {
  std::vector<std::string> names;
  for (const auto& spec : specs) names.emplace_back(spec.file);
  return names;
}

void Build(const std::string& path, const DatabaseSpec& spec) {
  auto db = DBEngine::Instance().CreateDatabase(path);
  for (const auto& table : spec.tables) {
    auto def = db->CreateTableDef(table.name);
    for (const auto& f : table.fields) {
      auto field = def->CreateField(f.name, f.type, f.size);
      if (f.attributes) field->SetAttributes(f.attributes);
      def->Fields().Append(field);
    }
    db->TableDefs().Append(def);
  }
  // Rows go in before the indexes and relations, which must accept them.
  for (const auto& rows : spec.rows) {
    auto rs = db->OpenRecordset(rows.table);
    for (const auto& row : rows.rows) {
      rs->AddNew();
      for (size_t c = 0; c < rows.columns.size(); ++c) rs->SetValue(rows.columns[c], row[c]);
      rs->Update();
    }
  }
  for (const auto& index : spec.indexes) {
    auto table = db->TableDefs()[index.table];
    auto def = table->CreateIndex(index.name);
    def->SetPrimary(index.primary);
    def->SetUnique(index.unique);
    for (const auto& key : index.fields) {
      auto field = def->CreateField(key.name);
      field->SetDescending(key.descending);
      def->Fields().Append(field);
    }
    table->Indexes().Append(def);
  }
  for (const auto& relation : spec.relations) {
    auto def = db->CreateRelation(relation.name, relation.table, relation.foreign_table,
                                  relation.attributes);
    for (const auto& pair : relation.fields) {
      auto field = def->CreateField(pair.name);
      field->SetForeignName(pair.foreign_name);
      def->Fields().Append(field);
    }
    db->Relations().Append(def);
  }
  for (const auto& query : spec.queries)
    db->QueryDefs().Append(db->CreateQueryDef(query.name, query.sql));
  db->Close();
}

}  // namespace

std::string DemoHome(const std::string& dir) { return Paths::Join(dir, "home"); }
std::string DemoData(const std::string& dir) { return Paths::Join(dir, "datos"); }

const std::vector<std::string>& DemoModelNames() {
  static const std::vector<std::string> names = FileNames(Models());
  return names;
}

const std::vector<std::string>& DemoOldNames() {
  static const std::vector<std::string> names = FileNames(Olds());
  return names;
}

void MakeDemo(const std::string& dir) {
  Paths home(DemoHome(dir));
  const std::string data = DemoData(dir);
  const auto models = Models();
  const auto olds = Olds();

  std::vector<std::string> targets;
  for (const auto& spec : models) targets.push_back(home.ModelPath(spec.file));
  for (const auto& spec : olds) targets.push_back(Paths::Join(data, spec.file));
  std::error_code ec;
  for (const auto& path : targets)
    if (fs::exists(fs::symlink_status(path, ec)))
      throw MakeError(err::kObjectExists, "la demostración ya existe: '" + path + "'");

  SetupInstallation(home.Home());
  if (!fs::is_directory(data, ec) && !fs::create_directories(data, ec))
    throw MakeError(err::kPathNotFound, "'" + data + "': " + ec.message());
  for (const auto& spec : models) Build(home.ModelPath(spec.file), spec);
  for (const auto& spec : olds) Build(Paths::Join(data, spec.file), spec);
}

}  // namespace brenquil
