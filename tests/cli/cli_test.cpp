// The command line run in-process: help and usage, setup, demo, schema, and
// the transformation of a demo installation checked with the sqlite3 library.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/cli.h"
#include "cli/progress.h"
#include "engine/error.h"
#include "shell/actualiz.h"
#include "shell/demo.h"
#include "shell/installation.h"
#include "tests/support/cli_run_fixture.h"
#include "tests/support/test_support.h"

namespace brenquil {
namespace {

namespace fs = std::filesystem;
using test::RawColumns;
using test::RawExec;
using test::RawQuery;
using test::ReadBytes;
using test::TempDir;
using Json = nlohmann::ordered_json;

using test::Cli;
using test::CliRun;

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

std::vector<std::string> Keys(const Json& object) {
  std::vector<std::string> keys;
  for (const auto& item : object.items()) keys.push_back(item.key());
  return keys;
}

// Every file under `dir` with its bytes.
std::map<std::string, std::string> Snapshot(const std::string& dir) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(dir))
    if (entry.is_regular_file()) files[entry.path().string()] = ReadBytes(entry.path().string());
  return files;
}

// ---- help, version, usage

TEST(CliHelp, ListsEverySubcommandAndItsOptions) {
  CliRun top = Cli({"--help"});
  EXPECT_EQ(top.code, kExitOk);
  struct Case {
    const char* sub;
    std::vector<const char*> words;
  };
  const Case cases[] = {
      {"setup", {"HOME", "Nunca sobrescribe"}},
      {"demo", {"CARPETA"}},
      {"schema", {"ARCHIVO", "--json", "--system"}},
      {"transform", {"--home", "--data", "--json", "Ejemplos:", "3 con --plan", "130 o 143"}},
  };
  for (const auto& c : cases) {
    EXPECT_TRUE(Contains(top.out, c.sub)) << c.sub << " missing from:\n" << top.out;
    CliRun sub = Cli({c.sub, "--help"});
    EXPECT_EQ(sub.code, kExitOk) << c.sub;
    for (const char* word : c.words)
      EXPECT_TRUE(Contains(sub.out, word)) << c.sub << " --help lacks " << word << ":\n" << sub.out;
  }
}

TEST(CliHelp, VersionNamesTheProgram) {
  CliRun run = Cli({"--version"});
  EXPECT_EQ(run.code, kExitOk);
  EXPECT_EQ(run.out, std::string("brenquil-cli ") + BRENQUIL_VERSION + "\n");
}

TEST(CliHelp, WrongArgumentsAreUsageErrors) {
  const std::vector<std::vector<std::string>> cases = {
      {}, {"nonsense"}, {"schema"}, {"demo"}, {"transform", "--bogus"}, {"schema", "a", "b"}};
  for (const auto& args : cases) {
    CliRun run = Cli(args);
    std::string shown = args.empty() ? "(none)" : args[0];
    EXPECT_EQ(run.code, kExitUsage) << shown;
    EXPECT_FALSE(run.err.empty()) << shown;
  }
}

// ---- setup and demo

TEST(CliSetup, NeverOverwritesAndASecondRunChangesNothing) {
  TempDir t;
  std::string home = t / "home";
  fs::create_directories(home);
  test::WriteBytes(home + "/indices.mdb", "mine");

  CliRun first = Cli({"setup", home});
  ASSERT_EQ(first.code, kExitOk) << first.err;
  EXPECT_EQ(ReadBytes(home + "/indices.mdb"), "mine");
  EXPECT_FALSE(Contains(first.out, "indices.mdb"));
  for (const char* made : {"modelos", "relacion.mdb", "consulta.mdb", "Neptuno.mdb"})
    EXPECT_TRUE(Contains(first.out, "creado " + home + "/" + made)) << made << "\n" << first.out;
  EXPECT_EQ(RawColumns(home + "/relacion.mdb", "relacion"),
            (std::vector<std::string>{"nombrerel", "tabla", "tablafor", "atributos", "campo",
                                      "campofor"}));
  EXPECT_EQ(RawQuery(home + "/Neptuno.mdb", "SELECT count(*) > 0 FROM Empleados")[0][0], "1");

  auto before = Snapshot(home);
  CliRun second = Cli({"setup", home});
  EXPECT_EQ(second.code, kExitOk);
  EXPECT_TRUE(Contains(second.out, "nada que hacer")) << second.out;
  EXPECT_TRUE(Snapshot(home) == before) << "a second setup changed a file";
}

TEST(CliDemo, RefusesToMakeASecondDemoOverTheFirst) {
  TempDir t;
  ASSERT_EQ(Cli({"demo", t.Path()}).code, kExitOk);
  for (const auto& name : DemoModelNames())
    EXPECT_TRUE(fs::is_regular_file(DemoHome(t.Path()) + "/modelos/" + name)) << name;
  for (const auto& name : DemoOldNames())
    EXPECT_TRUE(fs::is_regular_file(DemoData(t.Path()) + "/" + name)) << name;

  auto before = Snapshot(t.Path());
  CliRun again = Cli({"demo", t.Path()});
  EXPECT_EQ(again.code, kExitFailure);
  std::string expected = "error 3012: " + std::string(ErrorDescription(err::kObjectExists));
  EXPECT_TRUE(Contains(again.err, expected)) << again.err;
  EXPECT_TRUE(Contains(again.err, DemoHome(t.Path()) + "/modelos/" + DemoModelNames()[0]))
      << again.err;
  EXPECT_TRUE(Snapshot(t.Path()) == before) << "the refused demo changed a file";
}

// ---- schema

TEST(CliSchema, ShowsWhatTheEngineInfersFromAnSqliteFile) {
  TempDir t;
  std::string file = t / "hecho a mano.mdb";
  test::WriteBytes(file, "");  // an empty file is an empty SQLite database
  RawExec(file,
          "CREATE TABLE \"Clientes del año\" (Id INTEGER PRIMARY KEY, Nombre VARCHAR(40) NOT NULL,"
          " Saldo REAL, Notas TEXT, Foto BLOB);"
          "CREATE TABLE Pedidos (Id INTEGER, Cliente INTEGER REFERENCES \"Clientes del año\"(Id)"
          " ON DELETE CASCADE, Fecha DATE);"
          "CREATE UNIQUE INDEX PorNombre ON \"Clientes del año\"(Nombre DESC);"
          "CREATE VIEW Recientes AS SELECT * FROM Pedidos WHERE Fecha > '2024-01-01';");
  const std::string kMaster = "SELECT type, name, sql FROM sqlite_master ORDER BY name";
  auto master = RawQuery(file, kMaster);

  CliRun run = Cli({"schema", file, "--json"});
  ASSERT_EQ(run.code, kExitOk) << run.err;
  Json schema = Json::parse(run.out);
  EXPECT_EQ(Keys(schema), (std::vector<std::string>{"tables", "relations", "queries"}));

  std::vector<Json> tables;
  for (const auto& table : schema["tables"])
    if (!table["system"].get<bool>()) tables.push_back(table);
  ASSERT_EQ(tables.size(), 2u);
  const Json& clientes = tables[0];
  EXPECT_EQ(Keys(clientes), (std::vector<std::string>{"name", "system", "fields", "indexes"}));
  EXPECT_EQ(clientes["name"], "Clientes del año");
  struct Expected {
    const char* name;
    int type;
    long size;
    long attributes;
    bool required;
  };
  const Expected fields[] = {{"Id", dbLong, 4, dbAutoIncrField, false},
                             {"Nombre", dbText, 40, 0, true},
                             {"Saldo", dbDouble, 8, 0, false},
                             {"Notas", dbMemo, 0, 0, false},
                             {"Foto", dbLongBinary, 0, 0, false}};
  ASSERT_EQ(clientes["fields"].size(), std::size(fields));
  for (size_t i = 0; i < std::size(fields); ++i) {
    const Json& f = clientes["fields"][i];
    EXPECT_EQ(Keys(f), (std::vector<std::string>{"name", "type", "size", "attributes",
                                                 "allowZeroLength", "required"}));
    EXPECT_EQ(f["name"], fields[i].name);
    EXPECT_EQ(f["type"], fields[i].type) << fields[i].name;
    EXPECT_EQ(f["size"], fields[i].size) << fields[i].name;
    EXPECT_EQ(f["attributes"], fields[i].attributes) << fields[i].name;
    EXPECT_EQ(f["required"], fields[i].required) << fields[i].name;
  }
  ASSERT_EQ(clientes["indexes"].size(), 2u);
  EXPECT_EQ(clientes["indexes"][0],
            Json::parse(R"({"name":"PrimaryKey","primary":true,"unique":true,
                            "fields":[{"name":"Id","descending":false}]})"));
  EXPECT_EQ(clientes["indexes"][1],
            Json::parse(R"({"name":"PorNombre","primary":false,"unique":true,
                            "fields":[{"name":"Nombre","descending":true}]})"));
  EXPECT_EQ(tables[1]["fields"][2]["type"], dbDate);

  ASSERT_EQ(schema["relations"].size(), 1u);
  const Json& relation = schema["relations"][0];
  EXPECT_EQ(Keys(relation),
            (std::vector<std::string>{"name", "table", "foreignTable", "attributes", "fields"}));
  EXPECT_EQ(relation["table"], "Clientes del año");
  EXPECT_EQ(relation["foreignTable"], "Pedidos");
  EXPECT_EQ(relation["attributes"], dbRelationDeleteCascade | dbRelationDeclared);
  EXPECT_EQ(relation["fields"], Json::parse(R"([{"name":"Id","foreignName":"Cliente"}])"));
  ASSERT_EQ(schema["queries"].size(), 1u);
  EXPECT_EQ(schema["queries"][0]["name"], "Recientes");
  EXPECT_TRUE(Contains(schema["queries"][0]["sql"].get<std::string>(), "Fecha > '2024-01-01'"));

  CliRun listing = Cli({"schema", file});
  EXPECT_EQ(listing.code, kExitOk);
  for (const char* line :
       {"Tabla \"Clientes del año\"", "campo \"Nombre\" Texto(40)",
        "índice \"PorNombre\" único (\"Nombre\" descendente)",
        "Relación \"", "(cascada al borrar, cláusula FOREIGN KEY)", "Consulta \"Recientes\""})
    EXPECT_TRUE(Contains(listing.out, line)) << line << "\n" << listing.out;
  EXPECT_EQ(RawQuery(file, kMaster), master) << "reading the schema changed it";
}

TEST(CliSchema, AFileThatIsNotThereIsAnErrorAndStaysAbsent) {
  TempDir t;
  std::string file = t / "no está.mdb";
  CliRun run = Cli({"schema", file, "--json"});
  EXPECT_EQ(run.code, kExitFailure);
  EXPECT_TRUE(run.out.empty());
  EXPECT_TRUE(Contains(run.err, "error 3024: " + std::string(ErrorDescription(err::kFileNotFound))))
      << run.err;
  EXPECT_TRUE(Contains(run.err, file)) << run.err;
  EXPECT_FALSE(fs::exists(file));
}

// ---- progress

TEST(CliProgress, BarsClipToTheirMaximumAndShowNothingWithoutOne) {
  struct Case {
    float value, max;
    int filled;
    const char* numbers;
  };
  const Case cases[] = {{0, 0, 0, "0/0"},
                        {3, 10, 9, "3/10"},
                        {5, 2, 30, "5/2"},
                        {10, 10, 30, "10/10"},
                        {1, 3, 10, "1/3"}};
  for (const auto& c : cases) {
    ProgressBar bar;
    bar.SetMax(c.max);
    bar.SetValue(c.value);
    std::string line = BarLine(Label("Tablas:"), bar);
    std::string shown = std::to_string(c.value) + "/" + std::to_string(c.max);
    EXPECT_EQ(line.rfind("Tablas:   [", 0), 0u) << shown << ": " << line;
    EXPECT_EQ(std::count(line.begin(), line.end(), '#'), c.filled) << shown << ": " << line;
    EXPECT_TRUE(line.ends_with(std::string("] ") + c.numbers)) << shown << ": " << line;
  }
}

TEST(CliProgress, RedrawsAreRateLimitedAndStopWithTheView) {
  TempDir t;
  Actualiz window{Paths(t.Path())};
  std::ostringstream out;
  {
    ProgressView view(window, out, ProgressView::Mode::kBars, 60);
    window.Bar1.SetMax(4);
    window.Bar1.SetValue(2);
    for (int i = 0; i < 2000; ++i) window.Frame13.Refresh();
    window.Label4.SetCaption("Clientes.mdb");
    view.Finish();
  }
  std::string drawn = out.str();
  size_t redraws = 0;
  for (size_t at = drawn.find("\x1b[7A"); at != std::string::npos;
       at = drawn.find("\x1b[7A", at + 1))
    ++redraws;
  EXPECT_GE(redraws, 1u);
  EXPECT_LT(redraws, 200u) << "every refresh redrew";
  std::string last = drawn.substr(drawn.rfind("\x1b[7A"));
  EXPECT_TRUE(Contains(last, "2/4")) << last;
  EXPECT_TRUE(Contains(last, "Clientes.mdb")) << last;

  window.Label4.SetCaption("after");
  window.Frame13.Refresh();
  EXPECT_EQ(out.str(), drawn);
}

// ---- transform

// Every user table of a file: name -> columns, as SQLite itself reports them.
std::map<std::string, std::vector<std::string>> RawTables(const std::string& file) {
  std::map<std::string, std::vector<std::string>> tables;
  for (const auto& row :
       RawQuery(file,
                "SELECT name FROM sqlite_master WHERE type = 'table'"
                " AND substr(name, 1, 4) <> 'MSys' AND name NOT LIKE 'sqlite\\_%' "
                "ESCAPE '\\'"))
    tables[row[0]] = RawColumns(file, row[0]);
  return tables;
}

std::string Quote(const std::string& name) {
  std::string out = "\"";
  for (char c : name) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

// The rows of `table` over `columns`, sorted (a rebuilt table may renumber rowids).
std::vector<std::vector<std::string>> RawRows(const std::string& file, const std::string& table,
                                              const std::vector<std::string>& columns) {
  std::string list;
  for (const auto& c : columns) list += (list.empty() ? "" : ", ") + Quote(c);
  auto rows = RawQuery(file, "SELECT " + list + " FROM " + Quote(table));
  std::sort(rows.begin(), rows.end());
  return rows;
}

const Json* DatabaseEntry(const Json& report, const std::string& old) {
  for (const auto& db : report["databases"])
    if (db["old"] == old) return &db;
  return nullptr;
}

// [{"table","name"}] as "table.name" texts.
Json Qualified(const Json& indexes) {
  Json list = Json::array();
  for (const auto& index : indexes)
    list.push_back(index["table"].get<std::string>() + "." + index["name"].get<std::string>());
  return list;
}

std::vector<std::string> Sorted(const Json& list) {
  auto names = list.get<std::vector<std::string>>();
  std::sort(names.begin(), names.end());
  return names;
}

class CliTransform : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(Cli({"demo", dir.Path()}).code, kExitOk);
    home = DemoHome(dir.Path());
    data = DemoData(dir.Path());
  }
  CliRun Transform(const std::string& json) {
    return Cli({"transform", "--home", home, "--data", data, "--json", json});
  }
  Json ReadJson(const std::string& path) { return Json::parse(ReadBytes(path)); }
  std::string Old(const std::string& name) const { return data + "/" + name; }
  std::string Model(const std::string& name) const { return home + "/modelos/" + name; }

  TempDir dir;
  std::string home, data;
};

TEST_F(CliTransform, BringsEveryOldDatabaseUpToItsModelKeepingEveryRow) {
  std::map<std::string, std::map<std::string, std::vector<std::vector<std::string>>>> rows_before;
  std::map<std::string, std::map<std::string, std::vector<std::string>>> tables_before;
  for (const auto& name : DemoOldNames()) {
    tables_before[name] = RawTables(Old(name));
    for (const auto& [table, columns] : tables_before[name])
      rows_before[name][table] = RawRows(Old(name), table, columns);
  }
  std::string archivo = ReadBytes(Old("Archivo.mdb"));

  CliRun run = Transform(dir / "report.json");
  ASSERT_EQ(run.code, kExitOk) << run.out << run.err;
  // Not a terminal: one progress line per status, in the run's order, on
  // the error stream; the report on the output.
  size_t clientes = run.err.find("Clientes.mdb\n");
  size_t adding = run.err.find("Añadiendo bases de datos nuevas\n");
  size_t done = run.err.find("Proceso Terminado\n");
  EXPECT_TRUE(clientes < adding && adding < done) << run.err;
  EXPECT_TRUE(Contains(run.out, "Estado: Proceso Terminado")) << run.out;
  EXPECT_TRUE(Contains(run.out, " 0 errores\nInforme JSON: " + (dir / "report.json") + "\n")) << run.out;

  for (const auto& name : DemoModelNames()) {
    auto old_tables = RawTables(Old(name));
    for (const auto& [table, columns] : RawTables(Model(name))) {
      ASSERT_TRUE(old_tables.count(table)) << name << ": table " << table << " missing";
      for (const auto& column : columns)
        EXPECT_NE(std::find(old_tables[table].begin(), old_tables[table].end(), column),
                  old_tables[table].end())
            << name << ": " << table << "." << column << " missing";
    }
  }
  for (const auto& [name, tables] : tables_before) {
    auto now = RawTables(Old(name));
    for (const auto& [table, columns] : tables) {
      ASSERT_TRUE(now.count(table)) << name << ": old table " << table << " gone";
      EXPECT_EQ(RawRows(Old(name), table, columns), rows_before[name][table])
          << name << ": rows of " << table << " changed";
    }
  }
  EXPECT_TRUE(ReadBytes(Old("Archivo.mdb")) == archivo) << "a database without a model was touched";
  // "clave" numbers the old rows of "trabajos".
  EXPECT_EQ(RawQuery(Old("Personal.mdb"),
                     "SELECT count(DISTINCT clave), count(clave), count(*) FROM trabajos")[0],
            (std::vector<std::string>{"4", "4", "4"}));
  EXPECT_EQ(RawQuery(Old("Inventario.mdb"), "SELECT Código FROM Artículos"),
            (std::vector<std::vector<std::string>>{{"T-01"}}));

  Json report = ReadJson(dir / "report.json");
  EXPECT_EQ(Keys(report), (std::vector<std::string>{"version", "status", "plan", "stopped", "summary",
                                                    "databases", "skipped", "newDatabases", "notReached",
                                                    "errors"}));
  EXPECT_EQ(report["version"], 2);
  EXPECT_FALSE(report["plan"].get<bool>());
  EXPECT_EQ(report["skipped"], Json::array({Old("Archivo.mdb")}));
  EXPECT_EQ(report["status"], "Proceso Terminado");
  EXPECT_EQ(report["errors"], Json::array());
  EXPECT_EQ(report["newDatabases"], Json::array({Old("Inventario.mdb")}));
  const Json* c = DatabaseEntry(report, Old("Clientes.mdb"));
  const Json* p = DatabaseEntry(report, Old("Personal.mdb"));
  ASSERT_TRUE(c && p) << report.dump(2);
  EXPECT_EQ((*c)["model"], Model("Clientes.mdb"));
  EXPECT_EQ((*c)["tablesCreated"], Json::array({"Líneas de pedido", "Entregas"}));
  EXPECT_EQ((*c)["fieldsAdded"], Json::parse(R"([{"table":"Clientes","fields":["Notas","Alta"]},
      {"table":"Pedidos","fields":["Forma de pago"]},{"table":"O'Brien","fields":["Comentario"]}])"));
  EXPECT_EQ((*p)["tablesCreated"], Json::array({"Categorías"}));
  EXPECT_EQ((*p)["fieldsAdded"], Json::parse(R"([{"table":"Empleados","fields":["Cargo","Foto"]},
      {"table":"trabajos","fields":["clave","fecha de inicio"]}])"));
  // The primary keys of Clientes and Pedidos are the model's already, and the
  // model lacks Antiguos, whose key nothing would replace: all three kept.
  EXPECT_EQ(Sorted(Qualified((*c)["indexesDeleted"])),
            (std::vector<std::string>{"Clientes.PorNombre", "Pedidos.Cliente y fecha"}));
  EXPECT_EQ(Sorted(Qualified((*c)["indexesCreated"])),
            (std::vector<std::string>{"Clientes.Nombre y dirección", "Entregas.PedidoLínea",
                                      "Líneas de pedido.PrimaryKey", "O'Brien.PrimaryKey",
                                      "Pedidos.ClienteId", "Pedidos.Fecha"}));
  EXPECT_EQ((*c)["relationsDeleted"], Json::array({"Relación vieja"}));
  EXPECT_EQ((*c)["relationsCreated"],
            Json::array({"ClientesPedidos", "PedidosLíneas", "LíneasEntregas"}));
  EXPECT_EQ((*c)["queriesDeleted"], Json::array({"Pedidos por cliente", "Consulta vieja"}));
  EXPECT_EQ((*c)["queriesCreated"],
            Json::array({"Pedidos por cliente", "Altas del año", "Textos de O'Brien"}));
  EXPECT_EQ((*p)["relationsCreated"], Json::array({"EmpleadosTrabajos"}));
  EXPECT_EQ((*p)["queriesCreated"], Json::array({"Horas por empleado"}));
  EXPECT_EQ((*c)["errors"], Json::array());
}

TEST_F(CliTransform, ASecondRunChangesNothing) {
  ASSERT_EQ(Transform(dir / "first.json").code, kExitOk);
  std::map<std::string, std::string> schemas;
  std::vector<std::string> names = DemoModelNames();
  names.push_back("Archivo.mdb");
  for (const auto& name : names) schemas[name] = Cli({"schema", Old(name), "--json"}).out;
  // Not a byte changes either: the old databases are only read, and the
  // catalogues, listed again with the same rows, are left as they were.
  const auto data_files = test::FolderContents(data);
  const auto home_files = test::FolderContents(home);

  CliRun second = Transform(dir / "second.json");
  ASSERT_EQ(second.code, kExitOk) << second.out;
  for (const auto& name : names)
    EXPECT_EQ(Cli({"schema", Old(name), "--json"}).out, schemas[name]) << name;
  EXPECT_TRUE(test::FolderContents(data) == data_files);
  EXPECT_TRUE(test::FolderContents(home) == home_files);
  Json report = ReadJson(dir / "second.json");
  EXPECT_EQ(report["newDatabases"], Json::array());
  EXPECT_EQ(report["errors"], Json::array());
  for (const auto& db : report["databases"]) {
    EXPECT_EQ(db["tablesCreated"], Json::array()) << db["old"];
    EXPECT_EQ(db["fieldsAdded"], Json::array()) << db["old"];
  }
}

TEST_F(CliTransform, ADamagedOldDatabaseIsJournaledAndTheRunGoesOn) {
  test::WriteBytes(Old("Personal.mdb"), std::string(4096, 'x'));
  CliRun run = Transform(dir / "report.json");
  EXPECT_EQ(run.code, kExitJournal);
  EXPECT_TRUE(ReadBytes(Old("Personal.mdb")) == std::string(4096, 'x'));
  EXPECT_TRUE(Contains(run.err, "Errores (1):")) << run.err;
  EXPECT_FALSE(Contains(run.out, "Errores (")) << "the journal is on the error stream";

  // One cause, one line: the listing's error says the pair's other steps
  // were not run; the step is named as the window names it.
  Json report = ReadJson(dir / "report.json");
  ASSERT_EQ(report["errors"].size(), 1u) << report.dump(2);
  const std::string description = ErrorDescription(err::kUnrecognisedFormat);
  const Json& listing = report["errors"][0];
  EXPECT_EQ(listing["step"], "Tablas");
  EXPECT_EQ(listing["operation"], "Command6_Click");
  EXPECT_EQ(listing["number"], err::kUnrecognisedFormat);
  EXPECT_EQ(listing["old"], Old("Personal.mdb"));
  std::string text = listing["text"];
  EXPECT_EQ(text.rfind(description, 0), 0u) << text;
  EXPECT_TRUE(Contains(text, Old("Personal.mdb"))) << text;
  EXPECT_TRUE(text.ends_with("; no se hacen los demás pasos de esta base.")) << text;

  const Json* p = DatabaseEntry(report, Old("Personal.mdb"));
  ASSERT_TRUE(p);
  EXPECT_EQ((*p)["status"], "failed");
  EXPECT_EQ((*p)["errors"].size(), 1u);
  EXPECT_EQ((*p)["errors"][0]["number"], err::kUnrecognisedFormat);
  EXPECT_EQ((*p)["tablesCreated"], Json::array());
  const Json* c = DatabaseEntry(report, Old("Clientes.mdb"));
  ASSERT_TRUE(c);
  EXPECT_EQ((*c)["tablesCreated"].size(), 2u) << "the run stopped at the damaged database";
}

// A file that opens but whose index pages are damaged: the damage shows at
// the integrity check before the first change, which for every database after
// the first is run ahead, while the run works on the database before it.
TEST_F(CliTransform, ADatabaseWithADamagedIndexIsNeverWrittenAndItsLaterStepsDoNotRun) {
  const std::string path = Old("Personal.mdb");
  RawExec(path, "CREATE TABLE dañada (a TEXT); CREATE INDEX dañada_a ON dañada (a);"
                "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 200)"
                " INSERT INTO dañada SELECT printf('%050d', i) FROM n;");
  std::string bytes = ReadBytes(path);
  const auto root = std::stoul(RawQuery(path, "SELECT rootpage FROM sqlite_master WHERE name = 'dañada_a'")[0][0]);
  const auto page = std::stoul(RawQuery(path, "PRAGMA page_size")[0][0]);
  for (size_t i = (root - 1) * page + 100; i < root * page && i < bytes.size(); i += 7) bytes[i] = '\x55';
  test::WriteBytes(path, bytes);
  ASSERT_NE(RawQuery(path, "PRAGMA integrity_check(1)")[0][0], "ok");

  CliRun run = Transform(dir / "report.json");
  EXPECT_EQ(run.code, kExitJournal);
  EXPECT_TRUE(ReadBytes(path) == bytes) << "a damaged file was written";
  Json report = ReadJson(dir / "report.json");
  std::vector<Json> damage;
  for (const auto& e : report["errors"])
    if (e["old"] == path) damage.push_back(e);
  // The damage is said once; the pair's later steps do not run.
  ASSERT_EQ(damage.size(), 1u) << report.dump(2);
  EXPECT_EQ(damage[0]["number"], err::kCannotOpen);
  EXPECT_TRUE(Contains(damage[0]["text"], "está dañado y no se modifica")) << damage[0]["text"];
  const Json* p = DatabaseEntry(report, path);
  ASSERT_TRUE(p);
  EXPECT_EQ((*p)["tablesCreated"], Json::array());
  EXPECT_EQ((*p)["fieldsAdded"], Json::array());
  const Json* c = DatabaseEntry(report, Old("Clientes.mdb"));
  ASSERT_TRUE(c);
  EXPECT_EQ((*c)["tablesCreated"].size(), 2u) << "the run stopped at the damaged database";
}

TEST_F(CliTransform, StartUpFailuresEndWithTheirErrorBeforeAnyChange) {
  TempDir empty;
  auto before = Snapshot(dir.Path());
  struct Case {
    std::vector<std::string> args;
    int number;
  };
  const Case cases[] = {
      // A home without its catalogues cannot open the window.
      {{"transform", "--home", empty.Path(), "--data", data}, err::kFileMissing},
      // A data folder that is not there is not replaced by the root.
      {{"transform", "--home", home, "--data", dir / "no existe"}, err::kPathNotFound},
  };
  for (const auto& c : cases) {
    CliRun run = Cli(c.args);
    EXPECT_EQ(run.code, kExitFailure) << c.args[2];
    std::string expected = "error " + std::to_string(c.number) + ": " + ErrorDescription(c.number);
    EXPECT_TRUE(Contains(run.err, expected)) << c.args[2] << "\n" << run.err;
    EXPECT_FALSE(Contains(run.out, "Proceso Terminado")) << c.args[2];
  }
  EXPECT_TRUE(Snapshot(dir.Path()) == before) << "a failed start-up changed a file";
}

}  // namespace
}  // namespace brenquil
