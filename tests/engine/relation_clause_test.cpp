// A relation is SQLite's own FOREIGN KEY clause in its foreign table's
// declaration: every writer, foreign keys on or off, meets exactly what the
// same schema declared by hand gives it, and the engine adds nothing of its
// own to the data; the engine's record keeps the name and attributes; a
// relation not enforced is that record alone; a relation an earlier version
// kept as its record and row triggers is brought to its clause with its rows
// untouched.
#include <gtest/gtest.h>

#include <stdexcept>

#include "engine/dbengine.h"
#include "tests/support/test_support.h"

namespace brenquil {
namespace {

using test::NumberOf;
using test::RawExec;
using test::RawQuery;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;
using Rows = std::vector<std::vector<std::string>>;

std::string Declaration(const std::string& path, const std::string& table) {
  Rows rows = RawQuery(path, "SELECT sql FROM sqlite_master WHERE name = '" + table + "'");
  return rows.empty() ? "" : rows[0][0];
}

Rows ForeignKeys(const std::string& path, const std::string& table) {
  return RawQuery(path, "SELECT \"table\", \"from\", \"to\", on_update, on_delete FROM pragma_foreign_key_list('" +
                            table + "') ORDER BY id, seq");
}

// Every row of every user table, with its rowid.
Rows Content(const std::string& path) {
  Rows all;
  for (auto& table : RawQuery(path, "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'MSys%'"
                                    " AND name NOT LIKE 'sqlite!_%' ESCAPE '!' ORDER BY name")) {
    all.push_back({table[0]});
    for (auto& row : RawQuery(path, "SELECT rowid, * FROM \"" + table[0] + "\" ORDER BY rowid")) all.push_back(row);
  }
  return all;
}

std::shared_ptr<Relation> OnePair(Database& db, const std::string& name, const std::string& parent,
                                  const std::string& parent_field, const std::string& child,
                                  const std::string& child_field, long attributes) {
  auto r = db.CreateRelation(name, parent, child, attributes);
  auto f = r->CreateField(parent_field);
  f->SetForeignName(child_field);
  r->Fields().Append(f);
  return r;
}

// The shapes of the comparison: a self-referencing table, a parent and its
// children, a parent key that compares without letter case. `{fk}` is where
// the clause written by hand goes.
struct Shape {
  const char* what;
  const char* create;
  const char* rows;
  const char* parent;
  const char* parent_field;
  const char* child;
  const char* child_field;
  const char* references;
  std::vector<const char*> statements;
};

const Shape kShapes[] = {
    {"self-referencing", "CREATE TABLE emp (id INTEGER PRIMARY KEY, boss INTEGER{fk});",
     "INSERT INTO emp VALUES (1, NULL), (2, 1), (3, 2), (4, NULL);", "emp", "id", "emp", "boss", " REFERENCES emp (id)",
     {"DELETE FROM emp", "INSERT INTO emp VALUES (5, 6), (6, NULL)", "UPDATE emp SET id = id + 10, boss = boss + 10",
      "DELETE FROM emp WHERE id = 1", "UPDATE emp SET id = 100 WHERE id = 1", "INSERT INTO emp VALUES (7, 99)",
      "INSERT OR REPLACE INTO emp VALUES (1, NULL)"}},
    {"parent and children",
     "CREATE TABLE dept (id INTEGER PRIMARY KEY, name TEXT); CREATE TABLE staff (id INTEGER PRIMARY KEY,"
     " dept INTEGER{fk});",
     "INSERT INTO dept VALUES (1, 'a'), (2, 'b'); INSERT INTO staff VALUES (10, 1), (11, 1), (12, 2);", "dept", "id",
     "staff", "dept", " REFERENCES dept (id)",
     {"CREATE TRIGGER own AFTER DELETE ON dept BEGIN DELETE FROM staff WHERE dept = OLD.id; END;"
      " DELETE FROM dept WHERE id = 1",
      "DELETE FROM dept WHERE id = 1", "INSERT OR REPLACE INTO dept VALUES (1, 'x')",
      "UPDATE dept SET id = 9 WHERE id = 1", "UPDATE dept SET id = id + 100", "INSERT INTO staff VALUES (9, 42)",
      "BEGIN; INSERT INTO staff VALUES (20, 7); INSERT INTO dept VALUES (7, 'z'); COMMIT"}},
    {"a parent key without letter case",
     "CREATE TABLE p (code TEXT PRIMARY KEY COLLATE NOCASE); CREATE TABLE c (id INTEGER PRIMARY KEY, code TEXT{fk});",
     "INSERT INTO p VALUES ('ABC'), ('DEF'); INSERT INTO c VALUES (1, 'ABC');", "p", "code", "c", "code",
     " REFERENCES p (code)",
     {"INSERT INTO c VALUES (2, 'abc')", "DELETE FROM p WHERE code = 'abc'",
      "UPDATE p SET code = 'XYZ' WHERE code = 'abc'"}},
};

struct Actions {
  const char* what;
  long attributes;
  const char* clause;
};

const Actions kActions[] = {
    {"no action", 0, ""},
    {"delete cascade", dbRelationDeleteCascade, " ON DELETE CASCADE"},
    {"update cascade", dbRelationUpdateCascade, " ON UPDATE CASCADE"},
    {"delete set null", dbRelationDeleteSetNull, " ON DELETE SET NULL"},
    {"deferred", dbRelationDeferred, " DEFERRABLE INITIALLY DEFERRED"},
};

std::string With(std::string create, const std::string& clause) {
  create.replace(create.find("{fk}"), 4, clause);
  return create;
}

// Runs `statement` with foreign keys `keys`: what was refused, then every row.
// The copy is thrown away, so nothing is synced to the disk.
Rows Outcome(const std::string& path, const std::string& keys, const std::string& statement) {
  Rows outcome;
  try {
    RawExec(path, "PRAGMA synchronous = OFF; PRAGMA journal_mode = MEMORY; PRAGMA foreign_keys = " + keys + "; " +
                      statement);
    outcome.push_back({"aceptada"});
  } catch (const std::runtime_error&) {
    outcome.push_back({"rechazada"});
  }
  for (auto& row : Content(path)) outcome.push_back(row);
  return outcome;
}

TEST(RelationClauses, EveryWriterMeetsWhatTheSameSchemaDeclaredByHandGives) {
  for (const Shape& shape : kShapes) {
    for (const Actions& actions : kActions) {
      SCOPED_TRACE(std::string(shape.what) + ", " + actions.what);
      TempDir dir;
      const std::string hand = dir / "a mano.mdb", engine = dir / "motor.mdb", copy = dir / "copia.mdb";
      const std::string quick = "PRAGMA synchronous = OFF; BEGIN; ";
      RawExec(hand, quick + With(shape.create, shape.references + std::string(actions.clause)) + shape.rows + "COMMIT");
      RawExec(engine, quick + With(shape.create, "") + shape.rows + "COMMIT");
      const std::string plain = Declaration(engine, shape.child);
      const Rows rows = Content(engine);
      {
        auto db = DBEngine::Instance().OpenDatabase(engine);
        db->Relations().Append(OnePair(*db, "Relación", shape.parent, shape.parent_field, shape.child,
                                       shape.child_field, actions.attributes));
      }
      DBEngine::Instance().CloseIdle();
      // The clause SQLite reads is the one written by hand, deferral included;
      // the rows are untouched and the engine added nothing to the data.
      EXPECT_EQ(ForeignKeys(engine, shape.child), ForeignKeys(hand, shape.child));
      EXPECT_EQ(Declaration(engine, shape.child).find("DEFERRABLE INITIALLY DEFERRED") != std::string::npos,
                (actions.attributes & dbRelationDeferred) != 0);
      EXPECT_EQ(Content(engine), rows);
      EXPECT_EQ(RawQuery(engine, "SELECT count(*) FROM sqlite_master WHERE type = 'trigger'"), (Rows{{"0"}}));
      EXPECT_EQ(RawQuery(engine, "PRAGMA integrity_check"), (Rows{{"ok"}}));
      const std::string hand_bytes = ReadBytes(hand), engine_bytes = ReadBytes(engine);
      for (const char* keys : {"ON", "OFF"})
        for (const char* statement : shape.statements) {
          SCOPED_TRACE(std::string("foreign keys ") + keys + ": " + statement);
          WriteBytes(copy, hand_bytes);
          const Rows expected = Outcome(copy, keys, statement);
          WriteBytes(copy, engine_bytes);
          EXPECT_EQ(Outcome(copy, keys, statement), expected);
        }
      // Deleting the relation takes its clause out and nothing else.
      {
        auto db = DBEngine::Instance().OpenDatabase(engine);
        db->Relations().Delete("Relación");
      }
      DBEngine::Instance().CloseIdle();
      EXPECT_EQ(Declaration(engine, shape.child), plain);
      EXPECT_EQ(Content(engine), rows);
      EXPECT_EQ(RawQuery(engine, "PRAGMA integrity_check"), (Rows{{"ok"}}));
    }
  }
}

TEST(RelationClauses, AttributesReadBackAsAppendedAndARelationNotEnforcedIsARecordAlone) {
  TempDir dir;
  const std::string path = dir / "r.mdb";
  RawExec(path,
          "CREATE TABLE p (id INTEGER PRIMARY KEY); CREATE TABLE h (id INTEGER PRIMARY KEY, pid INTEGER, qid INTEGER);"
          "INSERT INTO p VALUES (1); INSERT INTO h VALUES (10, 1, 1);");
  const std::string plain = Declaration(path, "h");
  const long unique_left = dbRelationUnique | dbRelationLeft | dbRelationDeleteCascade;
  {
    auto db = DBEngine::Instance().OpenDatabase(path);
    db->Relations().Append(OnePair(*db, "Llana", "p", "id", "h", "pid", 0));
    db->Relations().Append(OnePair(*db, "Gemela", "p", "id", "h", "pid", 0));
    db->Relations().Append(OnePair(*db, "Izquierda", "p", "id", "h", "qid", unique_left));
    db->Relations().Append(OnePair(*db, "Libre", "p", "id", "h", "qid", dbRelationDontEnforce));
  }
  DBEngine::Instance().CloseIdle();
  {
    auto db = DBEngine::Instance().OpenDatabase(path);
    ASSERT_EQ(db->Relations().Count(), 4);
    struct Expected {
      const char* name;
      long attributes;
      bool declared;
    };
    for (const Expected& e : {Expected{"Llana", 0, true}, Expected{"Gemela", 0, true},
                              Expected{"Izquierda", unique_left, true}, Expected{"Libre", dbRelationDontEnforce, false}}) {
      auto r = db->Relations()[e.name];
      EXPECT_EQ(r->Attributes(), e.attributes) << e.name;
      EXPECT_EQ(!r->Declaration().empty(), e.declared) << e.name;
      EXPECT_FALSE(r->NeedsCompleting()) << e.name;
      EXPECT_FALSE(r->ClauseOnly()) << e.name;
    }
  }
  DBEngine::Instance().CloseIdle();
  // Three clauses, one each; the relation not enforced holds no writer.
  EXPECT_EQ(ForeignKeys(path, "h"), (Rows{{"p", "qid", "id", "NO ACTION", "CASCADE"},
                                          {"p", "pid", "id", "NO ACTION", "NO ACTION"},
                                          {"p", "pid", "id", "NO ACTION", "NO ACTION"}}));
  EXPECT_THROW(RawExec(path, "PRAGMA foreign_keys = ON; INSERT INTO h VALUES (11, 9, NULL)"), std::runtime_error);
  // Two relations that say the same: deleting one leaves the other its clause.
  {
    auto db = DBEngine::Instance().OpenDatabase(path);
    db->Relations().Delete("Llana");
    db->Relations().Delete("Izquierda");
    EXPECT_FALSE(db->Relations()["Gemela"]->Declaration().empty());
    EXPECT_FALSE(db->Relations()["Gemela"]->NeedsCompleting());
    EXPECT_FALSE(db->CompleteRelation("Gemela"));
    EXPECT_FALSE(db->CompleteRelation("Libre"));
  }
  DBEngine::Instance().CloseIdle();
  EXPECT_EQ(ForeignKeys(path, "h"), (Rows{{"p", "pid", "id", "NO ACTION", "NO ACTION"}}));
  {
    auto db = DBEngine::Instance().OpenDatabase(path);
    db->Relations().Delete("Gemela");
    db->Relations().Delete("Libre");
  }
  DBEngine::Instance().CloseIdle();
  EXPECT_EQ(Declaration(path, "h"), plain);
  EXPECT_EQ(RawQuery(path, "SELECT count(*) FROM MSysRelations"), (Rows{{"0"}}));
}

TEST(RelationClauses, AnEarlierVersionsRecordAndTriggersBecomeTheClauseWithRowsUntouched) {
  const char* kTables =
      "CREATE TABLE p (id INTEGER PRIMARY KEY, n TEXT); CREATE TABLE h (id INTEGER PRIMARY KEY, pid INTEGER{fk});"
      "INSERT INTO p VALUES (1, 'a'), (2, 'b'); INSERT INTO h VALUES (10, 1), (11, NULL), (12, 2);";
  struct Case {
    const char* what;
    std::string clause;  // what the earlier version declared besides its triggers
    long attributes;
  };
  const Case cases[] = {
      {"record and triggers alone", "", dbRelationDeleteCascade},
      {"a clause, its record and triggers", " REFERENCES p (id) ON DELETE CASCADE",
       dbRelationDeclared | dbRelationDeleteCascade},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    const std::string path = dir / "vieja.mdb";
    RawExec(path, With(kTables, c.clause) +
                      test::EarlierRelationSql("PadreHijo", "p", "id", "h", "pid", c.attributes) +
                      "CREATE TRIGGER propio AFTER DELETE ON p BEGIN SELECT 1; END;");
    const Rows rows = Content(path);
    {
      auto db = DBEngine::Instance().OpenDatabase(path);
      auto r = db->Relations()["PadreHijo"];
      EXPECT_TRUE(r->NeedsCompleting());
      EXPECT_FALSE(r->ClauseOnly());
      EXPECT_EQ(r->Attributes(), c.attributes);
      EXPECT_TRUE(db->CompleteRelation("PadreHijo"));
      EXPECT_FALSE(db->CompleteRelation("PadreHijo"));
    }
    DBEngine::Instance().CloseIdle();
    EXPECT_EQ(ForeignKeys(path, "h"), (Rows{{"p", "pid", "id", "NO ACTION", "CASCADE"}}));
    EXPECT_EQ(RawQuery(path, "SELECT name FROM sqlite_master WHERE type = 'trigger'"), (Rows{{"propio"}}));
    EXPECT_EQ(Content(path), rows);
    EXPECT_EQ(RawQuery(path, "PRAGMA integrity_check"), (Rows{{"ok"}}));
    {
      auto db = DBEngine::Instance().OpenDatabase(path);
      ASSERT_EQ(db->Relations().Count(), 1);
      auto r = db->Relations()[0];
      EXPECT_EQ(r->Name(), "PadreHijo");
      EXPECT_EQ(r->Attributes(), c.attributes);
      EXPECT_FALSE(r->NeedsCompleting());
    }
    DBEngine::Instance().CloseIdle();
    RawExec(path, "PRAGMA foreign_keys = ON; DELETE FROM p WHERE id = 1");
    EXPECT_EQ(RawQuery(path, "SELECT id FROM h ORDER BY id"), (Rows{{"11"}, {"12"}}));
  }

  // Children without a parent, left by a writer that dropped the triggers:
  // no clause is declared over them, and nothing changes.
  TempDir dir;
  const std::string path = dir / "huerfanos.mdb";
  RawExec(path, With(kTables, "") + test::EarlierRelationSql("PadreHijo", "p", "id", "h", "pid", 0) +
                    "DROP TRIGGER \"MSysRel_PadreHijo_hijo_alta\"; INSERT INTO h VALUES (13, 7);");
  const Rows schema = RawQuery(path, "SELECT * FROM sqlite_master ORDER BY rowid");
  {
    auto db = DBEngine::Instance().OpenDatabase(path);
    EXPECT_EQ(NumberOf([&] { db->CompleteRelation("PadreHijo"); }), err::kRelatedRecordRequired);
    EXPECT_EQ(RawQuery(path, "SELECT * FROM sqlite_master ORDER BY rowid"), schema);
    EXPECT_TRUE(db->Relations()["PadreHijo"]->NeedsCompleting());
    // Deleting it takes its remaining triggers with it.
    db->Relations().Delete("PadreHijo");
  }
  DBEngine::Instance().CloseIdle();
  EXPECT_EQ(RawQuery(path, "SELECT count(*) FROM sqlite_master WHERE type = 'trigger'"), (Rows{{"0"}}));
  EXPECT_EQ(RawQuery(path, "SELECT count(*) FROM h"), (Rows{{"4"}}));
}

// A child that a writer with foreign keys off left without its parent was
// there before: rebuilding the table (removing a UNIQUE clause) keeps it, and
// the clause, rather than refusing the change.
TEST(RelationClauses, ARebuildKeepsTheChildrenAWriterLeftWithoutTheirParent) {
  TempDir dir;
  const std::string path = dir / "r.mdb";
  RawExec(path, "CREATE TABLE p (id INTEGER PRIMARY KEY);"
                "CREATE TABLE h (id INTEGER PRIMARY KEY, pid INTEGER, code TEXT UNIQUE);"
                "INSERT INTO p VALUES (1); INSERT INTO h VALUES (10, 1, 'a');");
  {
    auto db = DBEngine::Instance().OpenDatabase(path);
    db->Relations().Append(OnePair(*db, "PadreHijo", "p", "id", "h", "pid", dbRelationDeleteCascade));
  }
  DBEngine::Instance().CloseIdle();
  RawExec(path, "INSERT INTO h VALUES (11, 9, 'b')");
  const Rows rows = Content(path);
  {
    auto db = DBEngine::Instance().OpenDatabase(path);
    auto h = db->TableDefs()["h"];
    std::string unique;
    for (auto& index : h->Indexes())
      if (index->Unique() && !index->Primary()) unique = index->Name();
    ASSERT_FALSE(unique.empty());
    h->Indexes().Delete(unique);
  }
  DBEngine::Instance().CloseIdle();
  EXPECT_EQ(Declaration(path, "h"),
            "CREATE TABLE h (id INTEGER PRIMARY KEY, pid INTEGER, code TEXT, FOREIGN KEY (\"pid\") REFERENCES \"p\""
            " (\"id\") ON DELETE CASCADE ON UPDATE NO ACTION)");
  EXPECT_EQ(Content(path), rows);
  EXPECT_EQ(RawQuery(path, "SELECT rowid FROM pragma_foreign_key_check('h')"), (Rows{{"11"}}));
  EXPECT_EQ(RawQuery(path, "PRAGMA integrity_check"), (Rows{{"ok"}}));
}

}  // namespace
}  // namespace brenquil
