// Whole runs of `transform` over models whose relations are FOREIGN KEY
// clauses written by the sqlite3 library (column-level REFERENCES and
// table-level FOREIGN KEY): the old tables end declared as the model declares
// them, every writer (foreign keys on or off) meets exactly what the same
// schema declared by hand gives it, the schema listing of both files shows the same relations, a second run
// changes nothing, and a replacement the old rows refuse keeps the old clause.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/cli.h"
#include "engine/relation.h"
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

// A declaration as the sqlite3 shell's .schema shows it, without what does
// not change its meaning: blanks, the quotes around names, the letter case
// outside string literals.
std::string Normalised(const std::string& sql) {
  std::string out;
  for (size_t i = 0; i < sql.size(); ++i) {
    char c = sql[i];
    if (c == '\'') {
      size_t end = sql.find('\'', i + 1);
      while (end != std::string::npos && end + 1 < sql.size() && sql[end + 1] == '\'') end = sql.find('\'', end + 2);
      if (end == std::string::npos) end = sql.size() - 1;
      out += sql.substr(i, end - i + 1);
      i = end;
    } else if (c == '"' || c == '`' || c == '[' || c == ']') {
      continue;
    } else if (!std::isspace(static_cast<unsigned char>(c))) {
      out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
  }
  return out;
}

// The model: h refers to p twice, on a column and in a table clause; k to the
// two-column key of s.
constexpr const char* kParents =
    "CREATE TABLE p (id INTEGER PRIMARY KEY, name TEXT);"
    "CREATE TABLE s (a INTEGER, b INTEGER, PRIMARY KEY (a, b));";
constexpr const char* kModelK =
    "CREATE TABLE k (id INTEGER PRIMARY KEY, sa INTEGER, sb INTEGER,"
    " FOREIGN KEY (sa, sb) REFERENCES s (a, b) ON UPDATE CASCADE);";
const std::string kModelChildren =
    std::string("CREATE TABLE h (id INTEGER PRIMARY KEY, pid INTEGER REFERENCES p(id) ON DELETE CASCADE ON UPDATE CASCADE,"
                " qid INTEGER, FOREIGN KEY (qid) REFERENCES p (id) ON DELETE SET NULL);") + kModelK;
constexpr const char* kRows =
    "INSERT INTO p VALUES (1, 'uno'), (2, 'dos'), (3, 'tres');"
    "INSERT INTO s VALUES (1, 1), (1, 2);";

class ForeignKeyClauses : public ::testing::Test {
 protected:
  void SetUp() override {
    std::ostringstream out, err;
    ASSERT_EQ(RunCli({"setup", home_}, out, err), kExitOk) << err.str();
    fs::create_directories(data_);
  }
  struct Run {
    int code;
    std::string out, err;
    bool Says(const std::string& text) const {
      return out.find(text) != std::string::npos || err.find(text) != std::string::npos;
    }
  };
  Run Transform(const std::vector<std::string>& extra = {}) {
    std::vector<std::string> args{"transform", "--home", home_, "--data", data_};
    args.insert(args.end(), extra.begin(), extra.end());
    std::ostringstream out, err;
    int code = RunCli(args, out, err);
    return {code, out.str(), err.str()};
  }
  // The relations the schema listing shows, by name.
  Json Relations(const std::string& path) {
    std::ostringstream out, err;
    EXPECT_EQ(RunCli({"schema", path, "--json"}, out, err), kExitOk) << err.str();
    Json relations = Json::parse(out.str())["relations"];
    std::vector<Json> sorted(relations.begin(), relations.end());
    std::sort(sorted.begin(), sorted.end(),
              [](const Json& a, const Json& b) { return a["name"].get<std::string>() < b["name"].get<std::string>(); });
    return Json(sorted);
  }
  std::string Declared(const std::string& path, const std::string& table) {
    Rows rows = RawQuery(path, "SELECT sql FROM sqlite_master WHERE name = '" + table + "'");
    return rows.empty() ? "" : rows[0][0];
  }
  Rows ForeignKeys(const std::string& path, const std::string& table) {
    return RawQuery(path, "SELECT \"table\", \"from\", \"to\", on_update, on_delete, \"match\""
                          " FROM pragma_foreign_key_list('" + table + "') ORDER BY \"from\", seq");
  }
  Rows Master(const std::string& path) { return RawQuery(path, "SELECT * FROM sqlite_master ORDER BY rowid"); }
  std::string Old(const std::string& name) const { return data_ + "/" + name; }
  std::string Model(const std::string& name) const { return home_ + "/modelos/" + name; }

  TempDir dir_;
  std::string home_ = dir_ / "home";
  std::string data_ = dir_ / "datos";
};

TEST_F(ForeignKeyClauses, ArriveAsTheModelDeclaresThemAndHoldEveryWriter) {
  const std::string children_rows =
      "INSERT INTO h VALUES (10, 1, 2), (11, 2, 1), (12, 3, NULL);"
      "INSERT INTO k VALUES (20, 1, 1), (21, 1, 2);";
  struct Case {
    const char* what;
    std::string old;  // before the run
    bool rows_before;
  };
  const Case cases[] = {
      {"child tables without their clauses, with rows",
       std::string(kParents) + "CREATE TABLE h (id INTEGER PRIMARY KEY, pid INTEGER, qid INTEGER);"
                               "CREATE TABLE k (id INTEGER PRIMARY KEY, sa INTEGER, sb INTEGER);" + kRows,
       true},
      {"no child tables", std::string(kParents) + kRows, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(data_);
    fs::create_directories(data_);
    fs::remove(Model("a.mdb"));
    RawExec(Model("a.mdb"), std::string(kParents) + kModelChildren);
    RawExec(Old("a.mdb"), c.old + (c.rows_before ? children_rows : ""));
    Run first = Transform();
    ASSERT_EQ(first.code, kExitOk) << first.out << first.err;
    if (!c.rows_before) RawExec(Old("a.mdb"), children_rows);

    for (const char* table : {"h", "k"}) {
      EXPECT_EQ(Normalised(Declared(Old("a.mdb"), table)), Normalised(Declared(Model("a.mdb"), table))) << table;
      EXPECT_EQ(ForeignKeys(Old("a.mdb"), table), ForeignKeys(Model("a.mdb"), table)) << table;
    }
    EXPECT_EQ(Relations(Old("a.mdb")).dump(1), Relations(Model("a.mdb")).dump(1));
    EXPECT_EQ(Relations(Old("a.mdb")).size(), 3u);

    // A second run finds the file up to date and writes nothing.
    const Rows settled = Master(Old("a.mdb"));
    const std::string bytes = ReadBytes(Old("a.mdb"));
    Run second = Transform();
    EXPECT_EQ(second.code, kExitOk) << second.out << second.err;
    EXPECT_EQ(Master(Old("a.mdb")), settled);
    EXPECT_TRUE(ReadBytes(Old("a.mdb")) == bytes) << "the second run rewrote the file";

    // The same changes, by writers with foreign keys off and on, meet exactly
    // what the schema declared by hand (the model, given the same rows) gives
    // them: SQLite's clauses and nothing of the engine's.
    const std::string hand = dir_ / "a-mano.mdb";
    fs::copy_file(Model("a.mdb"), hand, fs::copy_options::overwrite_existing);
    RawExec(hand, std::string(kRows) + children_rows);
    const char* statements[] = {
        "DELETE FROM p WHERE id = 1",              // h.pid cascades, h.qid is set null
        "UPDATE p SET id = 20 WHERE id = 2",       // h.pid follows
        "UPDATE s SET b = 5 WHERE a = 1 AND b = 2",  // k follows
        "INSERT INTO h VALUES (13, 99, NULL)",
        "INSERT INTO k VALUES (22, 7, 7)",
        "INSERT INTO h VALUES (14, 3, 3)",
        "UPDATE p SET id = 31 WHERE id = 3",       // h.qid does not follow its parent's key
    };
    for (const char* keys : {"OFF", "ON"}) {
      SCOPED_TRACE(std::string("foreign keys ") + keys);
      const std::string pragma = std::string("PRAGMA foreign_keys = ") + keys + ";";
      Rows outcomes[2];
      const std::string copies[2] = {dir_ / (std::string("copia-") + keys + ".mdb"),
                                     dir_ / (std::string("a-mano-") + keys + ".mdb")};
      fs::copy_file(Old("a.mdb"), copies[0], fs::copy_options::overwrite_existing);
      fs::copy_file(hand, copies[1], fs::copy_options::overwrite_existing);
      for (int f = 0; f < 2; ++f) {
        for (const char* statement : statements) {
          std::string outcome = "aceptada";
          try {
            RawExec(copies[f], pragma + statement);
          } catch (const std::runtime_error&) {
            outcome = "rechazada";
          }
          outcomes[f].push_back({statement, outcome});
        }
        for (const char* table : {"p", "s", "h", "k"})
          for (auto& row : RawQuery(copies[f], std::string("SELECT * FROM ") + table + " ORDER BY rowid"))
            outcomes[f].push_back(row);
        EXPECT_EQ(RawQuery(copies[f], "PRAGMA integrity_check"), (Rows{{"ok"}}));
      }
      EXPECT_EQ(outcomes[0], outcomes[1]);
      if (std::string(keys) == "ON") {
        EXPECT_EQ(RawQuery(copies[0], "SELECT id, pid, qid FROM h ORDER BY id"),
                  (Rows{{"11", "20", "NULL"}, {"12", "3", "NULL"}, {"14", "3", "3"}}));
        EXPECT_EQ(RawQuery(copies[0], "SELECT id, sa, sb FROM k ORDER BY id"), (Rows{{"20", "1", "1"}, {"21", "1", "5"}}));
        EXPECT_EQ(RawQuery(copies[0], "SELECT id FROM p ORDER BY id"), (Rows{{"3"}, {"20"}}));
        EXPECT_EQ(RawQuery(copies[0], "PRAGMA foreign_key_check"), Rows{});
      }
    }
  }
}

TEST_F(ForeignKeyClauses, AnOldClauseThatSaysOtherwiseIsReplacedByTheModels) {
  RawExec(Model("b.mdb"), std::string(kParents) + kModelChildren);
  // h's clause names no parent column and sets null; k has the model's clause already.
  RawExec(Old("b.mdb"), std::string(kParents) +
                            "CREATE TABLE h (id INTEGER PRIMARY KEY, pid INTEGER REFERENCES p ON DELETE SET NULL,"
                            " qid INTEGER);" + kModelK +
                            kRows + "INSERT INTO h VALUES (10, 1, 1); INSERT INTO k VALUES (20, 1, 2);");
  const std::string k_before = Declared(Old("b.mdb"), "k");
  Run run = Transform();
  ASSERT_EQ(run.code, kExitOk) << run.out << run.err;
  EXPECT_EQ(Normalised(Declared(Old("b.mdb"), "h")), Normalised(Declared(Model("b.mdb"), "h")));
  EXPECT_EQ(Declared(Old("b.mdb"), "k"), k_before) << "a clause equal to the model's is not rewritten";
  EXPECT_EQ(ForeignKeys(Old("b.mdb"), "h"), ForeignKeys(Model("b.mdb"), "h"));
  EXPECT_EQ(Relations(Old("b.mdb")).dump(1), Relations(Model("b.mdb")).dump(1));
  EXPECT_EQ(RawQuery(Old("b.mdb"), "SELECT * FROM h"), (Rows{{"10", "1", "1"}}));
  RawExec(Old("b.mdb"), "PRAGMA foreign_keys = ON; DELETE FROM p WHERE id = 1");
  EXPECT_EQ(RawQuery(Old("b.mdb"), "SELECT count(*) FROM h"), (Rows{{"0"}}));
  EXPECT_THROW(RawExec(Old("b.mdb"), "PRAGMA foreign_keys = ON; INSERT INTO k VALUES (21, 9, 9)"), std::runtime_error);
  EXPECT_EQ(RawQuery(Old("b.mdb"), "PRAGMA integrity_check"), (Rows{{"ok"}}));
}

// Children without their parent, left by writers with foreign keys off: the
// model's relation cannot be declared over them, so the old one stays, clause
// and all, and the journal counts the rows. An old clause that is the model's
// already stays as it is: the run has nothing to add to it.
TEST_F(ForeignKeyClauses, RowsThatRefuseTheModelsRelationKeepTheOldClause) {
  struct Case {
    const char* what;
    std::string old_h;
    bool refused;
  };
  const Case cases[] = {
      {"an old clause without actions",
       "CREATE TABLE h (id INTEGER PRIMARY KEY, pid INTEGER REFERENCES p(id), qid INTEGER,"
       " FOREIGN KEY (qid) REFERENCES p (id) ON DELETE SET NULL)",
       true},
      {"the model's own clause",
       "CREATE TABLE h (id INTEGER PRIMARY KEY, pid INTEGER REFERENCES p(id) ON DELETE CASCADE ON UPDATE CASCADE,"
       " qid INTEGER, FOREIGN KEY (qid) REFERENCES p (id) ON DELETE SET NULL)",
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(data_);
    fs::create_directories(data_);
    fs::remove(Model("c.mdb"));
    RawExec(Model("c.mdb"), std::string(kParents) + kModelChildren);
    RawExec(Old("c.mdb"), std::string(kParents) + c.old_h + ";" + kRows +
                              "INSERT INTO h VALUES (10, 1, 1), (11, 9, 2), (12, 8, NULL);");
    Run run = Transform();
    EXPECT_EQ(run.code, c.refused ? kExitJournal : kExitOk) << run.out << run.err;
    EXPECT_EQ(Declared(Old("c.mdb"), "h"), c.old_h);
    EXPECT_EQ(run.Says("2 filas lo impiden"), c.refused) << run.out << run.err;
    EXPECT_EQ(run.Says("se conserva la relación anterior"), c.refused) << run.out << run.err;
    EXPECT_EQ(RawQuery(Old("c.mdb"), "SELECT count(*) FROM h"), (Rows{{"3"}}));
    // k arrives whole all the same.
    EXPECT_EQ(Normalised(Declared(Old("c.mdb"), "k")), Normalised(Declared(Model("c.mdb"), "k")));
    EXPECT_EQ(RawQuery(Old("c.mdb"), "PRAGMA integrity_check"), (Rows{{"ok"}}));
  }
}

TEST_F(ForeignKeyClauses, APlanSaysWhatTheRunDoesAndWritesNothing) {
  RawExec(Model("d.mdb"), std::string(kParents) + kModelChildren);
  RawExec(Old("d.mdb"), std::string(kParents) + "CREATE TABLE h (id INTEGER PRIMARY KEY, pid INTEGER, qid INTEGER);" +
                            kRows);
  const std::string bytes = ReadBytes(Old("d.mdb"));
  Run plan = Transform({"--plan", "--json", "-"});
  ASSERT_EQ(plan.code, kExitPending) << plan.out << plan.err;
  EXPECT_TRUE(ReadBytes(Old("d.mdb")) == bytes) << "a plan wrote the old database";
  Run run = Transform({"--json", "-"});
  ASSERT_EQ(run.code, kExitOk) << run.out << run.err;
  Json planned = Json::parse(plan.out)["databases"][0];
  Json done = Json::parse(run.out)["databases"][0];
  EXPECT_EQ(WithoutStatus(planned).dump(1), WithoutStatus(done).dump(1));
  // The new table k came with its clause, which is the model's relation.
  EXPECT_EQ(done["relationsCreated"], Json::array({"ph", "ph1"})) << done.dump(1);
  EXPECT_EQ(done["relationsKept"], Json::array({"sk"})) << done.dump(1);
  EXPECT_EQ(Normalised(Declared(Old("d.mdb"), "h")), Normalised(Declared(Model("d.mdb"), "h")));
}

// Files an earlier version of the engine wrote: each relation its record and
// four row triggers, with or without a clause. The next run brings each one
// the model keeps to its FOREIGN KEY clause and says so, the plan says the
// same beforehand, the rows stay as they were, and the run after that
// changes nothing.
TEST_F(ForeignKeyClauses, AnEarlierVersionsRelationsBecomeClausesInOneRunThatThePlanForetells) {
  const std::string tables = "CREATE TABLE p (id INTEGER PRIMARY KEY, n TEXT);"
                             "CREATE TABLE h (id INTEGER PRIMARY KEY, pid INTEGER{fk}, qid INTEGER);";
  auto with = [&](const std::string& clause) {
    std::string sql = tables;
    return sql.replace(sql.find("{fk}"), 4, clause);
  };
  const std::string rows = "INSERT INTO p VALUES (1, 'a'), (2, 'b');"
                           "INSERT INTO h VALUES (10, 1, 1), (11, NULL, 2), (12, 2, NULL);";
  const std::string cascade = " REFERENCES p (id) ON DELETE CASCADE";
  const long declared = dbRelationDeclared | dbRelationDeleteCascade;
  struct Case {
    const char* what;
    std::string model, old;
    Json changed, deleted, created;
    Rows keys;  // h's clauses afterwards
    std::string refused;  // what the journal says, if anything
    std::string triggers = "0";  // the triggers left
  };
  const Rows pid_cascade{{"p", "pid", "id", "NO ACTION", "CASCADE", "NONE"}};
  const Case cases[] = {
      {"a model declared by hand", with(cascade),
       with(cascade) + rows + test::EarlierRelationSql("ph", "p", "id", "h", "pid", declared),
       Json::array({"ph"}), Json::array(), Json::array(), pid_cascade, ""},
      {"a model the earlier version made",
       with("") + test::EarlierRelationSql("PadresHijos", "p", "id", "h", "pid", dbRelationDeleteCascade),
       with("") + rows + test::EarlierRelationSql("PadresHijos", "p", "id", "h", "pid", dbRelationDeleteCascade),
       Json::array({"PadresHijos"}), Json::array(), Json::array(), pid_cascade, ""},
      {"a model whose relation says otherwise",
       with("") + test::EarlierRelationSql("PadresHijos", "p", "id", "h", "pid", dbRelationUpdateCascade),
       with("") + rows + test::EarlierRelationSql("PadresHijos", "p", "id", "h", "pid", dbRelationDeleteCascade),
       Json::array(), Json::array({"PadresHijos"}), Json::array({"PadresHijos"}),
       Rows{{"p", "pid", "id", "CASCADE", "NO ACTION", "NONE"}}, ""},
      {"old rows that refuse the model's relation",
       with("") + test::EarlierRelationSql("PadresHijos", "p", "id", "h", "qid", dbRelationDeleteCascade),
       with("") + rows + test::EarlierRelationSql("PadresHijos", "p", "id", "h", "pid", dbRelationDeleteCascade) +
           "INSERT INTO h VALUES (13, NULL, 7);",
       Json::array({"PadresHijos"}), Json::array(), Json::array(), pid_cascade, "se conserva la relación anterior"},
      {"a parent field that is not a key, which no clause can name",
       with("") + test::EarlierRelationSql("PadresHijos", "h", "qid", "h", "pid", 0),
       with("") + rows + test::EarlierRelationSql("PadresHijos", "h", "qid", "h", "pid", 0),
       Json::array(), Json::array(), Json::array(), Rows{}, "se conserva como estaba", "4"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(data_);
    fs::create_directories(data_);
    fs::remove(Model("e.mdb"));
    RawExec(Model("e.mdb"), c.model);
    RawExec(Old("e.mdb"), c.old);
    auto content = [&] {
      Rows all = RawQuery(Old("e.mdb"), "SELECT rowid, * FROM p ORDER BY rowid");
      for (auto& row : RawQuery(Old("e.mdb"), "SELECT rowid, * FROM h ORDER BY rowid")) all.push_back(row);
      return all;
    };
    const Rows before = content();
    const int code = c.refused.empty() ? kExitOk : kExitJournal;
    Run plan = Transform({"--plan", "--json", "-"});
    Run run = Transform({"--json", "-"});
    ASSERT_EQ(run.code, code) << run.out << run.err;
    // A plan with changes to make and nothing refused says so in its code.
    const bool changes = Json::parse(run.out)["databases"][0]["status"] == "updated";
    ASSERT_EQ(plan.code, code == kExitOk && changes ? kExitPending : code) << plan.out << plan.err;
    Json planned = Json::parse(plan.out)["databases"][0];
    Json done = Json::parse(run.out)["databases"][0];
    EXPECT_EQ(WithoutStatus(planned).dump(1), WithoutStatus(done).dump(1));
    EXPECT_EQ(done["relationsChanged"], c.changed) << done.dump(1);
    EXPECT_EQ(done["relationsDeleted"], c.deleted) << done.dump(1);
    EXPECT_EQ(done["relationsCreated"], c.created) << done.dump(1);
    EXPECT_EQ(done["triggersCreated"], Json::array());
    if (!c.changed.empty()) {
      EXPECT_NE(done["outcome"].get<std::string>().find("cambia 1 relación"), std::string::npos) << done["outcome"];
    }
    if (!c.refused.empty()) {
      EXPECT_TRUE(run.Says(c.refused)) << run.out << run.err;
    }
    EXPECT_EQ(ForeignKeys(Old("e.mdb"), "h"), c.keys);
    EXPECT_EQ(RawQuery(Old("e.mdb"), "SELECT count(*) FROM sqlite_master WHERE type = 'trigger'"), (Rows{{c.triggers}}));
    EXPECT_EQ(content(), before);
    EXPECT_EQ(RawQuery(Old("e.mdb"), "PRAGMA integrity_check"), (Rows{{"ok"}}));

    const std::string bytes = ReadBytes(Old("e.mdb"));
    Run second = Transform({"--json", "-"});
    EXPECT_EQ(second.code, code) << second.out << second.err;
    EXPECT_TRUE(ReadBytes(Old("e.mdb")) == bytes) << "the second run rewrote the file";
    if (c.refused.empty()) {
      EXPECT_EQ(Json::parse(second.out)["databases"][0]["outcome"], "sin cambios");
    }
  }
}

// A model an earlier version wrote, with no old namesake: its copy holds the
// relation as its clause from the start, so the next run changes nothing.
TEST_F(ForeignKeyClauses, ACopyOfAnEarlierVersionsModelHoldsItsRelationAsItsClause) {
  RawExec(Model("nueva.mdb"), "CREATE TABLE p (id INTEGER PRIMARY KEY); CREATE TABLE h (id INTEGER PRIMARY KEY,"
                              " pid INTEGER); INSERT INTO p VALUES (1); INSERT INTO h VALUES (10, 1);" +
                                  test::EarlierRelationSql("PadresHijos", "p", "id", "h", "pid", dbRelationUpdateCascade));
  const std::string model = ReadBytes(Model("nueva.mdb"));
  Run run = Transform();
  ASSERT_EQ(run.code, kExitOk) << run.out << run.err;
  EXPECT_TRUE(ReadBytes(Model("nueva.mdb")) == model) << "the run wrote the model";
  EXPECT_EQ(ForeignKeys(Old("nueva.mdb"), "h"), (Rows{{"p", "pid", "id", "CASCADE", "NO ACTION", "NONE"}}));
  EXPECT_EQ(RawQuery(Old("nueva.mdb"), "SELECT count(*) FROM sqlite_master WHERE type = 'trigger'"), (Rows{{"0"}}));
  EXPECT_EQ(RawQuery(Old("nueva.mdb"), "SELECT * FROM h"), (Rows{{"10", "1"}}));
  EXPECT_EQ(RawQuery(Old("nueva.mdb"), "SELECT Name, Attributes FROM MSysRelations"),
            (Rows{{"PadresHijos", std::to_string(dbRelationUpdateCascade)}}));
  const std::string bytes = ReadBytes(Old("nueva.mdb"));
  Run second = Transform({"--json", "-"});
  EXPECT_EQ(second.code, kExitOk) << second.out << second.err;
  EXPECT_TRUE(ReadBytes(Old("nueva.mdb")) == bytes) << "the second run rewrote the copy";
  EXPECT_EQ(Json::parse(second.out)["databases"][0]["outcome"], "sin cambios");
}

}  // namespace
}  // namespace brenquil
