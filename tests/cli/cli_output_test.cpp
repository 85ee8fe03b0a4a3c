// What the command line says and where: Spanish parser texts, results on the
// output and errors on the error stream, the report's summary and skipped
// databases, the JSON report's shape, the schema listing, and names that are
// not UTF-8.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/cli.h"
#include "cli/json_text.h"
#include "cli/transform_report.h"
#include "engine/dbengine.h"
#include "shell/actualiz.h"
#include "shell/demo.h"
#include "shell/installation.h"
#include "tests/support/cli_run_fixture.h"
#include "tests/support/test_support.h"

namespace brenquil {
namespace {

namespace fs = std::filesystem;
using test::ReadBytes;
using test::TempDir;
using Json = nlohmann::ordered_json;

using test::Cli;
using test::CliRun;

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// Words of the parser's own English texts.
const char* const kEnglish[] = {"Usage", "OPTIONS", "Options", "Subcommands", "Positionals",
                                "REQUIRED", "TEXT ", "FILE", "required", "expected", "The following",
                                "Print this help", "Run with", "Display program version"};

TEST(CliLanguage, ParserMessagesAndHelpAreSpanish) {
  struct Case {
    std::vector<std::string> args;
    const char* said;
  };
  const Case cases[] = {
      {{"foo"}, "orden desconocida: 'foo'"},
      {{"--version", "bar"}, "orden desconocida: 'bar'"},
      {{}, "falta la orden"},
      {{"schema"}, "falta el argumento ARCHIVO"},
      {{"demo"}, "falta el argumento CARPETA"},
      {{"transform", "--bogus"}, "opción desconocida: '--bogus'"},
      {{"schema", "a", "b"}, "argumento de más: 'b'"},
      {{"transform", "--json"}, "falta el valor de --json"},
  };
  for (const auto& c : cases) {
    CliRun run = Cli(c.args);
    std::string shown = c.args.empty() ? "(nada)" : c.args[0];
    EXPECT_EQ(run.code, kExitUsage) << shown;
    EXPECT_TRUE(run.out.empty()) << shown;
    EXPECT_TRUE(Contains(run.err, c.said)) << shown << ": " << run.err;
    for (const char* word : kEnglish) EXPECT_FALSE(Contains(run.err, word)) << shown << ": " << run.err;
  }
  for (const char* sub : {"", "setup", "demo", "schema", "transform"}) {
    std::vector<std::string> args;
    if (*sub) args.push_back(sub);
    args.push_back("--help");
    CliRun help = Cli(args);
    EXPECT_EQ(help.code, kExitOk) << sub;
    EXPECT_TRUE(Contains(help.out, "Uso:")) << sub << help.out;
    for (const char* word : kEnglish) EXPECT_FALSE(Contains(help.out, word)) << sub << ": " << help.out;
  }
}

class CliOutput : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(Cli({"demo", dir.Path()}).code, kExitOk);
    home = DemoHome(dir.Path());
    data = DemoData(dir.Path());
  }
  std::vector<std::string> Transform(std::vector<std::string> more = {}) const {
    std::vector<std::string> args{"transform", "--home", home, "--data", data};
    args.insert(args.end(), more.begin(), more.end());
    return args;
  }
  std::string Old(const std::string& name) const { return data + "/" + name; }

  TempDir dir;
  std::string home, data;
};

TEST_F(CliOutput, ResultsGoToTheOutputAndErrorsToTheErrorStream) {
  test::WriteBytes(Old("Personal.mdb"), std::string(4096, 'x'));
  CliRun text = Cli(Transform());
  EXPECT_EQ(text.code, kExitJournal);
  // One cause, one line, naming the step as the window does.
  EXPECT_TRUE(Contains(text.err, "Errores (1):")) << text.err;
  EXPECT_TRUE(Contains(text.err, "Personal.mdb [Tablas] error 3343")) << text.err;
  EXPECT_FALSE(Contains(text.err, "_Click")) << text.err;
  EXPECT_FALSE(Contains(text.out, "error 3343")) << text.out;
  EXPECT_TRUE(Contains(text.out, "Personal.mdb: 1 error")) << text.out;

  // "--json -": the report on the output, and no file named "-".
  const bool dash_before = fs::exists("-");
  CliRun json = Cli(Transform({"--json", "-"}));
  EXPECT_EQ(json.code, kExitJournal);
  EXPECT_EQ(fs::exists("-"), dash_before) << "a file named '-' was written";
  Json report = Json::parse(json.out);  // the whole output is the report
  EXPECT_EQ(report["errors"].size(), 1u);
  EXPECT_TRUE(Contains(json.err, "Errores (1):"));

  CliRun quiet = Cli(Transform({"--quiet"}));
  EXPECT_EQ(quiet.code, kExitJournal);
  EXPECT_TRUE(quiet.out.empty()) << quiet.out;
  EXPECT_TRUE(Contains(quiet.err, "Errores (1):"));
  EXPECT_FALSE(Contains(quiet.err, "Proceso Terminado")) << "--quiet showed the progress";
}

TEST_F(CliOutput, TheReportEndsWithTheSummaryAndNamesTheDatabasesWithoutAModel) {
  CliRun run = Cli(Transform({"--json", dir / "report.json"}));
  ASSERT_EQ(run.code, kExitOk) << run.err;
  Json report = Json::parse(ReadBytes(dir / "report.json"));
  const std::string summary = report["summary"];
  // The last lines: the summary, then where the JSON report is.
  EXPECT_TRUE(run.out.ends_with("\n" + summary + "\nInforme JSON: " + (dir / "report.json") + "\n"))
      << run.out;
  EXPECT_TRUE(Contains(summary, "1 omitida")) << summary;
  EXPECT_TRUE(Contains(summary, "1 copiada")) << summary;
  EXPECT_TRUE(summary.ends_with(", 0 errores")) << summary;
  EXPECT_TRUE(Contains(run.out, "Archivo.mdb: omitida: sin modelo")) << run.out;
  EXPECT_TRUE(Contains(run.out, "Inventario.mdb: copiada")) << run.out;
  EXPECT_EQ(report["skipped"], Json::array({Old("Archivo.mdb")}));
  for (const auto& db : report["databases"])
    for (const char* key : {"indexesDeleted", "indexesCreated", "indexesKept"})
      for (const auto& index : db[key]) {
        EXPECT_TRUE(index.is_object()) << key << ": " << index;
        EXPECT_TRUE(index.contains("table") && index.contains("name")) << key << ": " << index;
      }
}

TEST(CliReport, ObjectsKeptAsTheyWereShowAsUnchanged) {
  TempDir t;
  Actualiz window{Paths(t.Path())};
  auto& kept = window.Report.For("/datos/Igual.mdb", "/home/modelos/Igual.mdb");
  kept.relations_kept = {"ClientesPedidos"};
  kept.queries_kept = {"Altas"};
  // A table name may hold a dot: the report keeps the table the step named.
  kept.indexes_kept = {{"Clientes", "PrimaryKey"}, {"v1.2", "por.fecha"}};
  auto& changed = window.Report.For("/datos/Otra.mdb", "/home/modelos/Otra.mdb");
  changed.relations_created = {"Nueva"};
  changed.queries_kept = {"Altas"};

  std::ostringstream out;
  PrintTransformReport(window, out);
  const std::string text = out.str();
  EXPECT_TRUE(Contains(text, "Igual.mdb: sin cambios\n")) << text;
  EXPECT_TRUE(Contains(text, "relaciones sin cambios: ClientesPedidos")) << text;
  EXPECT_TRUE(Contains(text, "consultas sin cambios: Altas")) << text;
  EXPECT_FALSE(Contains(text, "borrad")) << text;
  EXPECT_TRUE(Contains(text, "Otra.mdb: actualizada: 1 relación\n")) << text;
  EXPECT_TRUE(text.ends_with("1 actualizada, 1 sin cambios, 0 errores\n")) << text;

  Json report = TransformReportJson(window);
  EXPECT_EQ(report["databases"][0]["outcome"], "sin cambios");
  EXPECT_EQ(report["databases"][0]["relationsKept"], Json::array({"ClientesPedidos"}));
  EXPECT_EQ(report["databases"][0]["relationsDeleted"], Json::array());
  EXPECT_TRUE(Contains(text, "índices sin cambios: Clientes.PrimaryKey, v1.2.por.fecha\n")) << text;
  EXPECT_EQ(report["databases"][0]["indexesKept"],
            Json::parse(R"([{"table":"Clientes","name":"PrimaryKey"},{"table":"v1.2","name":"por.fecha"}])"));
}

TEST(CliStartUp, AHomeWithoutCataloguesIsToldHowToMakeOne) {
  TempDir empty, data;
  CliRun run = Cli({"transform", "--home", empty.Path(), "--data", data.Path()});
  EXPECT_EQ(run.code, kExitFailure);
  EXPECT_TRUE(Contains(run.err, "brenquil-cli setup '" + empty.Path() + "'")) << run.err;
  EXPECT_TRUE(Contains(run.err, "indices.mdb")) << run.err;
  EXPECT_FALSE(Contains(run.err, "ventana")) << run.err;
}

TEST(CliSchema, UserTablesFirstSystemTablesOnRequestAttributesByName) {
  TempDir t;
  std::string file = t / "base.mdb";
  DBEngine::Instance().CreateDatabase(file)->Close();
  test::RawExec(file,
                "CREATE TABLE Zeta (Id INTEGER PRIMARY KEY);"
                "CREATE TABLE Hijos (Id INTEGER, Padre INTEGER REFERENCES Zeta(Id)"
                " ON UPDATE CASCADE ON DELETE CASCADE)");
  CliRun plain = Cli({"schema", file});
  ASSERT_EQ(plain.code, kExitOk) << plain.err;
  EXPECT_FALSE(Contains(plain.out, "MSys")) << plain.out;
  EXPECT_TRUE(Contains(plain.out, "(cascada al actualizar, cascada al borrar, cláusula FOREIGN KEY)")) << plain.out;

  CliRun all = Cli({"schema", file, "--system"});
  ASSERT_EQ(all.code, kExitOk);
  size_t last_user = all.out.find("Tabla \"Hijos\"");
  size_t first_system = all.out.find("Tabla \"MSys");
  ASSERT_NE(first_system, std::string::npos) << "no system table with --system:\n" << all.out;
  EXPECT_LT(last_user, first_system) << all.out;

  Json json = Json::parse(Cli({"schema", file, "--json"}).out);
  for (const auto& table : json["tables"]) EXPECT_FALSE(table["system"].get<bool>()) << table["name"];
  Json with = Json::parse(Cli({"schema", file, "--json", "--system"}).out);
  bool seen_system = false;
  for (const auto& table : with["tables"]) {
    if (table["system"].get<bool>()) seen_system = true;
    else EXPECT_FALSE(seen_system) << table["name"] << " follows a system table";
  }
  EXPECT_TRUE(seen_system);
}

TEST(CliJson, NamesThatAreNotUtf8AreReplacedAndTheReportSaysSo) {
  TempDir t;
  const std::string bad = "Clientes\xff\xfe";
  const std::string replaced = "Clientes\xEF\xBF\xBD\xEF\xBF\xBD";

  std::string file = t / "rara.mdb";
  test::RawExec(file, "CREATE TABLE \"" + bad + "\" (Id INTEGER)");
  CliRun schema = Cli({"schema", file, "--json"});
  ASSERT_EQ(schema.code, kExitOk) << schema.err;
  Json dump = Json::parse(schema.out);
  ASSERT_EQ(dump["tables"].size(), 1u);
  EXPECT_EQ(dump["tables"][0]["name"], replaced);
  ASSERT_TRUE(dump.contains("warnings")) << schema.out;
  EXPECT_TRUE(Contains(dump["warnings"][0], "U+FFFD")) << dump["warnings"];

  // A model table whose name is not UTF-8 is created in the old database.
  std::string home = t / "home";
  std::string data = t / "datos";
  fs::create_directories(data);
  ASSERT_EQ(Cli({"setup", home}).code, kExitOk);
  test::RawExec(Paths(home).ModelPath("Base.mdb"), "CREATE TABLE \"" + bad + "\" (Id INTEGER)");
  test::RawExec(data + "/Base.mdb", "CREATE TABLE Otra (Id INTEGER)");
  CliRun run = Cli({"transform", "--home", home, "--data", data, "--json", "-"});
  Json report = Json::parse(run.out);
  ASSERT_EQ(report["databases"].size(), 1u) << run.out;
  EXPECT_EQ(report["databases"][0]["tablesCreated"], Json::array({replaced})) << run.err;
  ASSERT_TRUE(report.contains("warnings")) << run.out;
}


// The report is written as it is made, a member and an item at a time: the
// text must be the one the whole document gives, byte for byte, empty and
// nested values and replaced texts included.
TEST(CliJson, WrittenPieceByPieceItIsTheWholeDocumentsText) {
  const std::string bad = "Clientes\xff";
  Json items = Json::array();
  items.push_back(Json{{"old", "a.mdb"}, {"tables", Json::array({"x", bad})}, {"empty", Json::object()}});
  items.push_back(Json{{"old", "b.mdb"}, {"counts", {{"tables", 2}, {"fields", 0}}}, {"list", Json::array()}});
  for (const bool with_bad_text : {false, true}) {
    for (const size_t count : {size_t{0}, size_t{1}, size_t{2}}) {
      Json whole = Json{{"version", 2}, {"status", with_bad_text ? bad : "Proceso Terminado"}};
      std::ostringstream pieces;
      JsonObjectWriter writer(pieces);
      writer.Member("version", 2);
      writer.Member("status", whole["status"]);
      whole["databases"] = Json::array();
      writer.BeginArray("databases");
      for (size_t i = 0; i < count; ++i) {
        whole["databases"].push_back(items[i]);
        writer.Item(items[i]);
      }
      writer.EndArray();
      whole["skipped"] = Json::array({"c.mdb"});
      writer.Member("skipped", whole["skipped"]);
      writer.Finish();
      EXPECT_EQ(pieces.str(), JsonText(whole)) << count << " items";
    }
  }
  std::ostringstream empty;
  JsonObjectWriter(empty).Finish();
  EXPECT_EQ(empty.str(), JsonText(Json::object()));
}
}  // namespace
}  // namespace brenquil
