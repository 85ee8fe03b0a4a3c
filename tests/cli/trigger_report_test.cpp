// What `transform` and its plan say of triggers is what the run does to the
// file: a trigger the model replaces (another text, or the same name on
// another table) is named as replaced, one it adds as created, one that
// cannot be created (its view was refused) is journaled, and the engine's
// own triggers (counters, an earlier version's relation triggers) are never
// counted or listed as the user's.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/cli.h"
#include "engine/dbengine.h"
#include "tests/support/report_json.h"
#include "tests/support/test_support.h"

namespace brenquil {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

using test::RawExec;
using test::RawQuery;
using test::ReadBytes;
using test::TempDir;
using test::WithoutStatus;
using Rows = std::vector<std::vector<std::string>>;

class TriggerReport : public ::testing::Test {
 protected:
  void SetUp() override {
    std::ostringstream out, err;
    ASSERT_EQ(RunCli({"setup", home_}, out, err), kExitOk) << err.str();
    fs::create_directories(data_);
  }
  struct Run {
    int code;
    Json report;
    std::string text;
  };
  Run Transform(const std::vector<std::string>& extra = {}) {
    std::vector<std::string> args{"transform", "--home", home_, "--data", data_, "--json", dir_ / "r.json"};
    args.insert(args.end(), extra.begin(), extra.end());
    std::ostringstream out, err;
    int code = RunCli(args, out, err);
    return {code, Json::parse(ReadBytes(dir_ / "r.json")), out.str() + err.str()};
  }
  std::string Old(const std::string& name) const { return data_ + "/" + name; }
  std::string Model(const std::string& name) const { return home_ + "/modelos/" + name; }
  Rows Triggers(const std::string& path) {
    return RawQuery(path, "SELECT name, tbl_name, sql FROM sqlite_master WHERE type = 'trigger' ORDER BY name");
  }

  TempDir dir_;
  std::string home_ = dir_ / "home";
  std::string data_ = dir_ / "datos";
};

TEST_F(TriggerReport, PlanAndRunNameEveryTriggerReplacedCreatedOrRefused) {
  const std::string same = "CREATE TRIGGER tr_igual AFTER INSERT ON t BEGIN INSERT INTO log VALUES (new.a); END";
  const std::string text = "CREATE TRIGGER tr_texto AFTER INSERT ON t BEGIN INSERT INTO log VALUES (new.a * 2); END";
  const std::string moved = "CREATE TRIGGER tr_movido AFTER DELETE ON t BEGIN INSERT INTO log VALUES (old.a); END";
  const std::string added = "CREATE TRIGGER tr_nuevo AFTER UPDATE ON t BEGIN INSERT INTO log VALUES (new.a); END";
  // The model's view reads a table whose name marks it as the engine's, which
  // no run creates: the old database refuses the view, and its trigger.
  RawExec(Model("a.mdb"), "CREATE TABLE t (a INTEGER); CREATE TABLE u (a INTEGER); CREATE TABLE log (v INTEGER);"
                          "CREATE TABLE MSysDatos (a INTEGER); CREATE VIEW vista AS SELECT a FROM MSysDatos;" +
                              same + ";" + text + ";" + moved + ";" + added + ";" +
                              "CREATE TRIGGER tr_vista INSTEAD OF INSERT ON vista BEGIN INSERT INTO t VALUES (new.a);"
                              " END;");
  RawExec(Old("a.mdb"),
          "CREATE TABLE t (a INTEGER); CREATE TABLE u (a INTEGER); CREATE TABLE log (v INTEGER);"
          "INSERT INTO t VALUES (1);" + same + ";" +
              "CREATE TRIGGER tr_texto AFTER INSERT ON t BEGIN INSERT INTO log VALUES (new.a); END;"
              "CREATE TRIGGER tr_movido AFTER DELETE ON u BEGIN INSERT INTO log VALUES (old.a); END;"
              "CREATE TRIGGER propio AFTER UPDATE ON u BEGIN SELECT 1; END;");
  const std::string bytes = ReadBytes(Old("a.mdb"));

  Run plan = Transform({"--plan"});
  EXPECT_TRUE(ReadBytes(Old("a.mdb")) == bytes) << "a plan wrote the old database";
  Run run = Transform();
  EXPECT_EQ(run.code, kExitJournal) << run.text;
  Json planned = plan.report["databases"][0], done = run.report["databases"][0];
  EXPECT_EQ(WithoutStatus(planned).dump(1), WithoutStatus(done).dump(1));
  EXPECT_EQ(done["triggersReplaced"], Json::array({"tr_texto", "tr_movido"})) << done.dump(1);
  EXPECT_EQ(done["triggersCreated"], Json::array({"tr_nuevo"})) << done.dump(1);
  const std::string outcome = done["outcome"];
  EXPECT_NE(outcome.find("actualizada: 1 desencadenador; cambia 2 desencadenadores; 2 errores"), std::string::npos)
      << outcome;
  bool journaled = false;
  for (const auto& e : done["errors"])
    journaled = journaled || (e["number"] == 3011 && e["text"].get<std::string>().find("Disparador 'tr_vista' no creado") !=
                                                         std::string::npos);
  EXPECT_TRUE(journaled) << done.dump(1);
  EXPECT_NE(run.text.find("desencadenadores sustituidos: tr_texto, tr_movido"), std::string::npos) << run.text;

  // What both said is what the file holds: the model's text, on the model's
  // table; the old database's own trigger stays.
  EXPECT_EQ(Triggers(Old("a.mdb")),
            (Rows{{"propio", "u", "CREATE TRIGGER propio AFTER UPDATE ON u BEGIN SELECT 1; END"},
                  {"tr_igual", "t", same},
                  {"tr_movido", "t", moved},
                  {"tr_nuevo", "t", added},
                  {"tr_texto", "t", text}}));
  EXPECT_EQ(RawQuery(Old("a.mdb"), "PRAGMA integrity_check"), (Rows{{"ok"}}));

  // Up to date: nothing more to replace or create.
  const std::string settled = ReadBytes(Old("a.mdb"));
  Run again = Transform();
  EXPECT_TRUE(ReadBytes(Old("a.mdb")) == settled) << "the second run rewrote the file";
  EXPECT_EQ(again.report["databases"][0]["triggersReplaced"], Json::array());
  EXPECT_EQ(again.report["databases"][0]["triggersCreated"], Json::array());
}

TEST_F(TriggerReport, TheEnginesOwnTriggersAreNeverTheUsers) {
  // A model the engine made: a new table with a counter, related to an old
  // one; the old database holds an earlier version's relation triggers.
  {
    auto model = DBEngine::Instance().CreateDatabase(Model("b.mdb"));
    for (const char* name : {"padre", "hijo"}) {
      auto t = model->CreateTableDef(name);
      t->Fields().Append(t->CreateField("id", dbLong));
      t->Fields().Append(t->CreateField("pid", dbLong));
      if (std::string(name) == "hijo") {
        auto counter = t->CreateField("num", dbLong);
        counter->SetAttributes(dbAutoIncrField);
        t->Fields().Append(counter);
      }
      model->TableDefs().Append(t);
      auto key = model->TableDefs()[name]->CreateIndex("PrimaryKey");
      key->SetPrimary(true);
      key->Fields().Append(key->CreateField("id"));
      model->TableDefs()[name]->Indexes().Append(key);
    }
    auto r = model->CreateRelation("PadreHijo", "padre", "hijo", dbRelationDeleteCascade);
    auto f = r->CreateField("id");
    f->SetForeignName("pid");
    r->Fields().Append(f);
    model->Relations().Append(r);
    auto o = model->CreateRelation("PadrePadre", "padre", "padre", 0);
    auto g = o->CreateField("id");
    g->SetForeignName("pid");
    o->Fields().Append(g);
    model->Relations().Append(o);
  }
  DBEngine::Instance().CloseIdle();
  RawExec(Old("b.mdb"), "CREATE TABLE padre (id INTEGER PRIMARY KEY, pid INTEGER); INSERT INTO padre VALUES (1, NULL);" +
                            test::EarlierRelationSql("PadrePadre", "padre", "id", "padre", "pid", 0));
  Run plan = Transform({"--plan"});
  Run run = Transform();
  EXPECT_EQ(run.code, kExitOk) << run.text;
  Json done = run.report["databases"][0];
  EXPECT_EQ(WithoutStatus(plan.report["databases"][0]).dump(1), WithoutStatus(done).dump(1));
  EXPECT_EQ(done["triggersCreated"], Json::array()) << done.dump(1);
  EXPECT_EQ(done["triggersReplaced"], Json::array()) << done.dump(1);
  EXPECT_EQ(done["relationsCreated"], Json::array({"PadreHijo"})) << done.dump(1);
  EXPECT_EQ(done["relationsChanged"], Json::array({"PadrePadre"})) << done.dump(1);
  EXPECT_EQ(done["outcome"].get<std::string>().find("desencadenador"), std::string::npos) << done["outcome"];
  EXPECT_EQ(run.text.find("desencadenadores"), std::string::npos) << run.text;
  // The counter's trigger is there, and no relation trigger is.
  EXPECT_EQ(RawQuery(Old("b.mdb"), "SELECT name FROM sqlite_master WHERE type = 'trigger'"),
            (Rows{{"MSysAuto_hijo_num"}}));
}

}  // namespace
}  // namespace brenquil
