// `transform --plan` and `--backup` over files written by the sqlite3
// library: a plan writes no file and says exactly what the run after it does,
// counting the rows that refuse a unique index, a required field or a
// relation; a backup copy restores the old database as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/cli.h"
#include "shell/run_lock.h"
#include "tests/support/test_support.h"

namespace brenquil {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;
using test::FolderContents;
using test::RawExec;
using test::RawQuery;
using test::ReadBytes;
using test::TempDir;
using Rows = std::vector<std::vector<std::string>>;

// The old database: codes repeat (A three times; two rows without one), an
// order has no value for the model's required "fecha", and two orders name
// customers that do not exist (one names none).
constexpr const char* kOld =
    "CREATE TABLE cliente (id INTEGER PRIMARY KEY, nombre TEXT, codigo TEXT);"
    "CREATE INDEX codigo_idx ON cliente (codigo);"
    "CREATE TABLE pedido (id INTEGER PRIMARY KEY, cliente INTEGER, importe REAL);"
    "INSERT INTO cliente VALUES (1, 'Ana', 'A'), (2, 'Luis', 'B'), (3, 'Eva', 'A'), (4, 'Pío', 'A'),"
    " (5, 'Sol', NULL), (6, 'Noa', NULL);"
    "INSERT INTO pedido VALUES (10, 1, 5.0), (11, 7, 1.0), (12, 8, 2.0), (13, NULL, 3.0);";
// Its model makes the code index unique, requires "fecha", relates orders to
// customers and adds a table, an index and a query.
constexpr const char* kModel =
    "CREATE TABLE cliente (id INTEGER PRIMARY KEY, nombre TEXT, codigo TEXT);"
    "CREATE UNIQUE INDEX codigo_idx ON cliente (codigo);"
    "CREATE TABLE pedido (id INTEGER PRIMARY KEY, cliente INTEGER REFERENCES cliente (id),"
    " importe REAL, fecha TEXT NOT NULL);"
    "CREATE TABLE linea (id INTEGER PRIMARY KEY, pedido INTEGER, cantidad INTEGER);"
    "CREATE INDEX linea_pedido ON linea (pedido);"
    "CREATE VIEW grandes AS SELECT * FROM pedido WHERE importe > 100;";

class PlanRun : public ::testing::Test {
 protected:
  void SetUp() override {
    std::ostringstream out, err;
    ASSERT_EQ(RunCli({"setup", home_}, out, err), kExitOk) << err.str();
    fs::create_directories(data_);
    RawExec(data_ + "/tienda.mdb", kOld);
    RawExec(home_ + "/modelos/tienda.mdb", kModel);
    RawExec(home_ + "/modelos/nueva.mdb", "CREATE TABLE t (a INTEGER);");
    RawExec(data_ + "/suelta.mdb", "CREATE TABLE s (a INTEGER); INSERT INTO s VALUES (1);");
    // A relation the old rows allow: the engine declares it as the model does.
    const std::string both = "CREATE TABLE p (id INTEGER PRIMARY KEY); INSERT INTO p VALUES (1);";
    RawExec(data_ + "/otra.mdb", both + "CREATE TABLE h (id INTEGER PRIMARY KEY, p INTEGER);"
                                        "INSERT INTO h VALUES (5, 1), (6, NULL);");
    RawExec(home_ + "/modelos/otra.mdb",
            both + "CREATE TABLE h (id INTEGER PRIMARY KEY, p INTEGER REFERENCES p (id));");
  }
  // Runs transform with `extra` options; returns its JSON report.
  Json Transform(std::vector<std::string> extra, int expected_code = kExitJournal) {
    std::vector<std::string> args{"transform", "--home", home_, "--data", data_, "--json", dir_ / "r.json"};
    args.insert(args.end(), extra.begin(), extra.end());
    std::ostringstream out, err;
    EXPECT_EQ(RunCli(args, out, err), expected_code) << out.str() << err.str();
    last_out_ = out.str();
    return Json::parse(ReadBytes(dir_ / "r.json"));
  }
  // Every file of the installation and the data folder. The run lock's file
  // is the runs' own bookkeeping, made by the first run of any kind.
  std::map<std::string, std::string> Files() {
    auto files = FolderContents(dir_.Path());
    files.erase("r.json");
    files.erase(fs::relative(RunLock::LockFile(home_), dir_.Path()).string());
    return files;
  }
  std::vector<std::string> ErrorTexts(const Json& report) {
    std::vector<std::string> texts;
    for (const auto& e : report["errors"]) texts.push_back(std::to_string(e["number"].get<int>()) + " " +
                                                          e["text"].get<std::string>());
    return texts;
  }
  Rows Everything(const std::string& path) {
    Rows rows = RawQuery(path, "SELECT type, name, sql FROM sqlite_master ORDER BY rowid");
    for (const auto& table : RawQuery(path, "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY rowid"))
      for (auto& row : RawQuery(path, "SELECT * FROM \"" + table[0] + "\" ORDER BY rowid")) rows.push_back(row);
    return rows;
  }

  TempDir dir_;
  std::string home_ = dir_ / "home";
  std::string data_ = dir_ / "datos";
  std::string last_out_;
};

TEST_F(PlanRun, LeavesEveryFileAsItWasAndSaysWhatTheRunThenDoes) {
  const auto before = Files();
  Json plan = Transform({"--plan"});
  EXPECT_EQ(Files(), before) << "a plan wrote a file";
  EXPECT_TRUE(plan["plan"].get<bool>());
  EXPECT_NE(last_out_.find("Plan: no se ha cambiado ningún archivo"), std::string::npos) << last_out_;
  EXPECT_NE(last_out_.find("nueva.mdb: se copiaría"), std::string::npos) << last_out_;

  Json run = Transform({});
  EXPECT_FALSE(run["plan"].get<bool>());
  // The same report, but for the words that say whether it happened.
  const std::vector<std::pair<std::string, std::string>> statuses = {
      {"wouldUpdate", "updated"}, {"wouldUpdate", "updated"}, {"wouldSkip", "skipped"}, {"wouldCopy", "copied"}};
  ASSERT_EQ(plan["databases"].size(), statuses.size()) << plan.dump(2);
  ASSERT_EQ(run["databases"].size(), statuses.size()) << run.dump(2);
  for (size_t i = 0; i < statuses.size(); ++i) {
    EXPECT_EQ(plan["databases"][i]["status"], statuses[i].first) << i;
    EXPECT_EQ(run["databases"][i]["status"], statuses[i].second) << i;
    EXPECT_EQ(plan["databases"][i]["outcome"].get<std::string>().rfind("se ", 0), 0u)
        << "a plan speaks in the conditional: " << plan["databases"][i]["outcome"];
    for (Json* report : {&plan, &run}) {
      (*report)["databases"][i].erase("status");
      (*report)["databases"][i].erase("outcome");
    }
  }
  EXPECT_EQ(plan["status"], "Plan terminado: no se ha cambiado ningún archivo");
  EXPECT_EQ(run["status"], "Proceso Terminado");
  EXPECT_EQ(plan["summary"], "2 se actualizarían, 1 se copiaría, 1 se omitiría, 3 errores");
  EXPECT_EQ(run["summary"], "2 actualizadas, 1 copiada, 1 omitida, 3 errores");
  for (Json* report : {&plan, &run})
    for (const char* key : {"plan", "status", "summary"}) report->erase(key);
  EXPECT_EQ(plan.dump(2), run.dump(2));

  // What both said is what the files hold now.
  const auto& otra = run["databases"][0];
  ASSERT_EQ(otra["old"], data_ + "/otra.mdb");
  EXPECT_EQ(otra["relationsCreated"].size(), 1u);
  EXPECT_EQ(RawQuery(data_ + "/otra.mdb", "SELECT \"table\", \"from\", \"to\" FROM pragma_foreign_key_list('h')"),
            (Rows{{"p", "p", "id"}}));
  EXPECT_EQ(otra["triggersCreated"], Json::array());
  const auto& tienda = run["databases"][1];
  ASSERT_EQ(tienda["old"], data_ + "/tienda.mdb");
  EXPECT_EQ(tienda["tablesCreated"], Json::array({"linea"}));
  EXPECT_EQ(tienda["fieldsAdded"], Json::parse(R"([{"table":"pedido","fields":["fecha"]}])"));
  EXPECT_EQ(tienda["queriesCreated"], Json::array({"grandes"}));
  EXPECT_EQ(run["newDatabases"], Json::array({data_ + "/nueva.mdb"}));
  EXPECT_EQ(run["skipped"], Json::array({data_ + "/suelta.mdb"}));
  EXPECT_EQ(RawQuery(data_ + "/tienda.mdb", "SELECT name FROM pragma_table_info('pedido') WHERE name = 'fecha'"),
            (Rows{{"fecha"}}));
  EXPECT_EQ(RawQuery(data_ + "/tienda.mdb", "SELECT count(*) FROM sqlite_master WHERE name = 'grandes'"),
            (Rows{{"1"}}));
  EXPECT_TRUE(fs::exists(data_ + "/nueva.mdb"));

  // Once up to date, a plan finds nothing to do and still writes nothing.
  const auto settled = Files();
  Json again = Transform({"--plan"});
  EXPECT_EQ(Files(), settled);
  EXPECT_EQ(again["databases"][1]["tablesCreated"], Json::array());
  EXPECT_EQ(again["databases"][1]["fieldsAdded"], Json::array());
  EXPECT_EQ(again["databases"][0]["triggersCreated"], Json::array());
  EXPECT_EQ(again["newDatabases"], Json::array());
}

TEST_F(PlanRun, CountsTheRowsThatRefuseEachConstraintWithTheirKeys) {
  Json plan = Transform({"--plan"});
  auto texts = ErrorTexts(plan);
  auto said = [&](const std::string& number, const std::string& rows) {
    for (const auto& t : texts)
      if (t.rfind(number, 0) == 0 && t.find(rows) != std::string::npos) return true;
    return false;
  };
  // Duplicates: the three rows of A; rows without a code repeat nothing.
  EXPECT_TRUE(said("3022", "3 filas lo impiden (claves: A); se conserva el índice anterior")) << plan.dump(2);
  // Required field: every row of the table, by its key.
  EXPECT_TRUE(said("3314", "4 filas lo impiden (claves: 10; 11; 12; 13)")) << plan.dump(2);
  // Orphans: the orders of customers 7 and 8; an order of no customer is none.
  EXPECT_TRUE(said("3201", "2 filas lo impiden (claves: 7; 8)")) << plan.dump(2);
  EXPECT_EQ(texts.size(), 3u) << plan.dump(2);
  EXPECT_EQ(plan["databases"][1]["errors"].size(), 3u) << "shown with their database";

  // The run meets the same rows and keeps the old index.
  Json run = Transform({});
  EXPECT_EQ(ErrorTexts(run), texts);
  EXPECT_EQ(RawQuery(data_ + "/tienda.mdb", "SELECT sql FROM sqlite_master WHERE name = 'codigo_idx'"),
            (Rows{{"CREATE INDEX codigo_idx ON cliente (codigo)"}}));
}

TEST_F(PlanRun, ABackupTakenBeforeTheRunRestoresTheOldDatabase) {
  const std::string old = data_ + "/tienda.mdb";
  const Rows original = Everything(old);
  const std::string backups = dir_ / "copias";
  fs::create_directories(backups);
  Json run = Transform({"--backup", backups});
  const std::string copy = run["databases"][1]["backup"];
  EXPECT_EQ(fs::path(copy).filename(), "tienda.mdb");
  EXPECT_EQ(fs::path(copy).parent_path().parent_path(), fs::path(backups));
  EXPECT_NE(last_out_.find("copia de seguridad: " + copy), std::string::npos) << last_out_;
  EXPECT_NE(Everything(old), original) << "the run changed nothing";
  EXPECT_EQ(Everything(copy), original);

  fs::copy_file(copy, old, fs::copy_options::overwrite_existing);
  EXPECT_EQ(Everything(old), original);
  EXPECT_EQ(RawQuery(old, "PRAGMA integrity_check"), (Rows{{"ok"}}));

  // A plan takes no copy: --plan and --backup together are a usage error.
  std::ostringstream out, err;
  EXPECT_EQ(RunCli({"transform", "--plan", "--home", home_, "--data", data_, "--backup", backups}, out, err),
            kExitUsage);
  EXPECT_NE(err.str().find("Ayuda: brenquil-cli transform --help"), std::string::npos) << err.str();
  EXPECT_EQ(std::distance(fs::directory_iterator(backups), fs::directory_iterator()), 1);
}

}  // namespace
}  // namespace brenquil
