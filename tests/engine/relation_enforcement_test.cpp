// Every engine-level relation test: relations are SQLite's own FOREIGN KEY
// clauses, enforced for every writer that turns foreign keys on (the engine
// always does) unless flagged not enforced, cascades follow their flags, a
// FOREIGN KEY clause is a relation; queries are stored exactly and SELECTs are
// views.
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

#include "engine/dbengine.h"
#include "tests/support/test_support.h"

namespace brenquil {
namespace {

using test::RawExec;
using test::RawQuery;
using test::TempDir;

using test::NumberOf;

std::shared_ptr<Database> ParentChild(const std::string& path) {
  auto db = DBEngine::Instance().CreateDatabase(path);
  auto p = db->CreateTableDef("Padres");
  p->Fields().Append(p->CreateField("Serie", dbText, 5));
  p->Fields().Append(p->CreateField("Num", dbLong));
  db->TableDefs().Append(p);
  auto c = db->CreateTableDef("Hijos");
  c->Fields().Append(c->CreateField("Id", dbLong));
  c->Fields().Append(c->CreateField("PSerie", dbText, 5));
  c->Fields().Append(c->CreateField("PNum", dbLong));
  db->TableDefs().Append(c);
  // A relation's parent fields are a key of their table.
  auto key = db->TableDefs()["Padres"]->CreateIndex("PrimaryKey");
  key->SetPrimary(true);
  key->Fields().Append(key->CreateField("Serie"));
  key->Fields().Append(key->CreateField("Num"));
  db->TableDefs()["Padres"]->Indexes().Append(key);
  RawExec(path, "INSERT INTO Padres VALUES ('A', 1), ('A', 2); INSERT INTO Hijos VALUES (1, 'A', 1), (2, NULL, 7)");
  return db;
}

std::shared_ptr<Relation> TwoPairs(Database& db, const std::string& name, long attributes) {
  auto r = db.CreateRelation(name, "Padres", "Hijos", attributes);
  for (auto [n, f] : {std::pair{"Serie", "PSerie"}, std::pair{"Num", "PNum"}}) {
    auto field = r->CreateField(n);
    field->SetForeignName(f);
    r->Fields().Append(field);
  }
  return r;
}

TEST(RelationEnforcement, OrphansAndReferencedRowsAreRefusedForEveryWriterWithForeignKeysOn) {
  TempDir dir;
  std::string path = dir / "r.mdb";
  auto db = ParentChild(path);
  db->Relations().Append(TwoPairs(*db, "PadresHijos", 0));
  auto stored = db->Relations()["PadresHijos"];
  ASSERT_EQ(stored->Fields().Count(), 2);
  EXPECT_EQ(stored->Fields()[1]->ForeignName(), "PNum");
  const std::string on = "PRAGMA foreign_keys = ON;";
  EXPECT_THROW(RawExec(path, on + "INSERT INTO Hijos VALUES (3, 'A', 9)"), std::runtime_error);
  RawExec(path, on + "INSERT INTO Hijos VALUES (4, 'A', NULL)");  // a key not all set needs no parent
  EXPECT_THROW(RawExec(path, on + "DELETE FROM Padres WHERE Num = 1"), std::runtime_error);
  EXPECT_THROW(RawExec(path, on + "UPDATE Padres SET Num = 5 WHERE Num = 1"), std::runtime_error);
  RawExec(path, on + "DELETE FROM Padres WHERE Num = 2");  // no children
  // The engine's own writes: DAO's numbers for an orphan and for a parent
  // that still has children.
  auto rs = db->OpenRecordset("Hijos");
  rs->AddNew();
  rs->SetValue("Id", std::string("5"));
  rs->SetValue("PSerie", std::string("Z"));
  rs->SetValue("PNum", std::string("1"));
  EXPECT_EQ(NumberOf([&] { rs->Update(); }), err::kRelatedRecordRequired);
  auto parents = db->OpenRecordset("Padres");
  EXPECT_EQ(NumberOf([&] { parents->Delete(); }), err::kRelatedRecords);
  EXPECT_EQ(RawQuery(path, "SELECT count(*) FROM Padres"), (std::vector<std::vector<std::string>>{{"1"}}));
  db->Relations().Delete("PadresHijos");
  RawExec(path, on + "INSERT INTO Hijos VALUES (3, 'A', 9)");  // no longer enforced
}

TEST(RelationEnforcement, CascadesFollowEachFlagOnItsOwn) {
  using Rows = std::vector<std::vector<std::string>>;
  struct Case {
    const char* what;
    long attributes;
    const char* statement;
    bool refused;
    Rows children;  // Id, PSerie, PNum of Hijos afterwards
  };
  const char* update = "UPDATE Padres SET Num = 10 WHERE Num = 1";
  const char* remove = "DELETE FROM Padres WHERE Num = 1";
  const Rows kept = {{"1", "A", "1"}, {"2", "NULL", "7"}};
  const Case cases[] = {
      {"plain: key change refused", 0, update, true, kept},
      {"plain: parent delete refused", 0, remove, true, kept},
      {"update cascade: key followed", dbRelationUpdateCascade, update, false, {{"1", "A", "10"}, {"2", "NULL", "7"}}},
      {"update cascade: parent delete still refused", dbRelationUpdateCascade, remove, true, kept},
      {"delete cascade: children removed", dbRelationDeleteCascade, remove, false, {{"2", "NULL", "7"}}},
      {"delete cascade: key change still refused", dbRelationDeleteCascade, update, true, kept},
      {"both: key followed", dbRelationDeleteCascade | dbRelationUpdateCascade, update, false,
       {{"1", "A", "10"}, {"2", "NULL", "7"}}},
      {"both: children removed, the row without a key stays", dbRelationDeleteCascade | dbRelationUpdateCascade,
       remove, false, {{"2", "NULL", "7"}}},
  };
  for (const Case& c : cases) {
    TempDir dir;
    std::string path = dir / "r.mdb";
    auto db = ParentChild(path);
    db->Relations().Append(TwoPairs(*db, "Cascada", c.attributes));
    bool refused = false;
    try {
      RawExec(path, std::string("PRAGMA foreign_keys = ON;") + c.statement);
    } catch (const std::runtime_error&) {
      refused = true;
    }
    EXPECT_EQ(refused, c.refused) << c.what;
    EXPECT_EQ(RawQuery(path, "SELECT Id, PSerie, PNum FROM Hijos ORDER BY Id"), c.children) << c.what;
  }
}

TEST(RelationEnforcement, ForeignKeyClauseIsARelationAndDeletingItKeepsRowsAndIndexes) {
  TempDir dir;
  const std::string path = dir / "plana.mdb";
  RawExec(path,
          "CREATE TABLE padre (id INTEGER PRIMARY KEY, nombre TEXT);"
          "CREATE TABLE hijo (id INTEGER PRIMARY KEY,"
          "  pid INTEGER REFERENCES padre(id) ON DELETE CASCADE, nota TEXT);"
          "CREATE INDEX hijo_pid ON hijo(pid);"
          "INSERT INTO padre VALUES (1, 'uno'), (2, 'dos');"
          "INSERT INTO hijo VALUES (10, 1, 'a'), (11, 2, 'b');");
  auto db = DBEngine::Instance().OpenDatabase(path);
  ASSERT_EQ(db->Relations().Count(), 1);
  auto declared = db->Relations()[0];
  EXPECT_EQ(declared->Table(), "padre");
  EXPECT_EQ(declared->ForeignTable(), "hijo");
  ASSERT_EQ(declared->Fields().Count(), 1);
  EXPECT_EQ(declared->Fields()[0]->Name(), "id");
  EXPECT_EQ(declared->Fields()[0]->ForeignName(), "pid");
  EXPECT_TRUE(declared->Attributes() & dbRelationDeleteCascade);
  EXPECT_THROW(RawExec(path, "PRAGMA foreign_keys = ON; INSERT INTO hijo VALUES (12, 99, 'c')"),
               std::runtime_error);

  db->Relations().Delete(declared->Name());
  db->Close();
  db.reset();
  declared.reset();
  EXPECT_EQ(DBEngine::Instance().OpenDatabase(path)->Relations().Count(), 0);
  EXPECT_EQ(RawQuery(path, "SELECT id, pid, nota FROM hijo ORDER BY id"),
            (std::vector<std::vector<std::string>>{{"10", "1", "a"}, {"11", "2", "b"}}));
  EXPECT_EQ(RawQuery(path, "SELECT count(*) FROM sqlite_master WHERE type = 'index' AND name = 'hijo_pid'")[0][0],
            "1");
  // The clause is gone, so the data are no longer held to it.
  RawExec(path, "PRAGMA foreign_keys = ON; INSERT INTO hijo VALUES (12, 99, 'c')");
}

TEST(RelationEnforcement, AppendIsRefusedWhenItCannotHold) {
  TempDir dir;
  std::string path = dir / "r.mdb";
  auto db = ParentChild(path);
  RawExec(path, "INSERT INTO Hijos VALUES (9, 'Q', 3)");  // an orphan
  struct Case { const char* what; int number; std::function<std::shared_ptr<Relation>()> make; };
  const std::vector<Case> cases = {
      {"orphan rows", err::kRelatedRecordRequired, [&] { return TwoPairs(*db, "R", 0); }},
      {"missing table", err::kObjectNotFound, [&] {
         auto r = db->CreateRelation("R", "NoHay", "Hijos", 0);
         auto f = r->CreateField("Num");
         f->SetForeignName("PNum");
         r->Fields().Append(f);
         return r;
       }},
      {"missing field", err::kItemNotFound, [&] {
         auto r = db->CreateRelation("R", "Padres", "Hijos", 0);
         auto f = r->CreateField("Num");
         f->SetForeignName("NoHay");
         r->Fields().Append(f);
         return r;
       }},
      {"no fields", err::kRelationNoFields, [&] { return db->CreateRelation("R", "Padres", "Hijos", 0); }},
      {"parent fields that are not a key", err::kInvalidOperation, [&] {
         auto r = db->CreateRelation("R", "Padres", "Hijos", 0);
         auto f = r->CreateField("Num");
         f->SetForeignName("PNum");
         r->Fields().Append(f);
         return r;
       }},
  };
  for (const auto& c : cases) EXPECT_EQ(NumberOf([&] { db->Relations().Append(c.make()); }), c.number) << c.what;
  EXPECT_EQ(db->Relations().Count(), 0);
  db->Relations().Append(TwoPairs(*db, "NoForzada", dbRelationDontEnforce | 0x40000000));
  EXPECT_EQ(db->Relations()["NoForzada"]->Attributes(), dbRelationDontEnforce | 0x40000000);
  EXPECT_EQ(NumberOf([&] { db->Relations().Append(TwoPairs(*db, "NoForzada", 2)); }), err::kObjectExists);
  RawExec(path, "INSERT INTO Hijos VALUES (10, 'Q', 4)");  // not enforced
  // A relation never blocks deleting an index.
  auto t = db->TableDefs()["Padres"];
  auto i = t->CreateIndex("PorNum");
  i->Fields().Append(i->CreateField("Num"));
  t->Indexes().Append(i);
  db->TableDefs()["Padres"]->Indexes().Delete("PorNum");
}

TEST(StoredQueries, TextIsKeptExactlyAndSelectsRun) {
  TempDir dir;
  std::string path = dir / "q.mdb";
  auto db = ParentChild(path);
  const std::string text = "SELECT Num -- el número\r\nFROM Padres\r\nWHERE Serie = 'A'\nORDER BY Num";
  db->QueryDefs().Append(db->CreateQueryDef("Numeros", text));
  db->QueryDefs().Append(db->CreateQueryDef("Vacia", ""));
  db->QueryDefs().Append(db->CreateQueryDef("Borrado", "DELETE FROM Hijos WHERE Id > 100"));
  db->Close();
  auto again = DBEngine::Instance().OpenDatabase(path);
  ASSERT_EQ(again->QueryDefs().Count(), 3);
  EXPECT_EQ(again->QueryDefs()["Numeros"]->SQL(), text);
  EXPECT_EQ(again->QueryDefs()["Vacia"]->SQL(), "");
  EXPECT_EQ(RawQuery(path, "SELECT * FROM Numeros"), (std::vector<std::vector<std::string>>{{"1"}, {"2"}}));
  auto rs = again->OpenRecordset("Numeros");
  EXPECT_FALSE(rs->Updatable());
  EXPECT_EQ(rs->Value(0), "1");
  again->QueryDefs().Delete("Numeros");
  EXPECT_THROW(RawQuery(path, "SELECT * FROM Numeros"), std::runtime_error);
  EXPECT_EQ(NumberOf([&] { again->QueryDefs().Delete("Numeros"); }), err::kItemNotFound);
  EXPECT_EQ(NumberOf([&] { again->QueryDefs().Append(again->CreateQueryDef("Padres", "SELECT 1")); }),
            err::kObjectExists);
}

}  // namespace
}  // namespace brenquil

namespace brenquil {
namespace {

using test::NumberOf;
using test::RawExec;
using test::RawQuery;
using test::TempDir;
using Rows = std::vector<std::vector<std::string>>;

constexpr const char* kPlain =
    "CREATE TABLE padre (id INTEGER PRIMARY KEY, nombre TEXT);"
    "CREATE TABLE hijo (id INTEGER PRIMARY KEY, pid INTEGER, nota TEXT);"
    "INSERT INTO padre VALUES (1, 'uno'), (2, 'dos'); INSERT INTO hijo VALUES (10, 1, 'a');";

std::shared_ptr<Relation> Declared(Database& db, const std::string& name, long attributes,
                                   const std::string& declaration, const std::string& parent_field = "id") {
  auto r = db.CreateRelation(name, "padre", "hijo", attributes);
  auto f = r->CreateField(parent_field);
  f->SetForeignName("pid");
  r->Fields().Append(f);
  r->SetDeclaration(declaration);
  return r;
}

Rows Master(const std::string& path) { return RawQuery(path, "SELECT * FROM sqlite_master ORDER BY rowid"); }

TEST(DeclaredRelations, AreTheirClauseAndLeaveWithIt) {
  struct Case {
    const char* what;
    std::string declaration;  // empty: the engine writes the clause
    std::string declared;     // hijo's declaration afterwards
  };
  const Case cases[] = {
      {"on its column", "REFERENCES padre (id) ON DELETE CASCADE",
       "CREATE TABLE hijo (id INTEGER PRIMARY KEY, pid INTEGER REFERENCES padre (id) ON DELETE CASCADE, nota TEXT)"},
      {"among the table's clauses", "CONSTRAINT fk FOREIGN KEY (pid) REFERENCES padre ON DELETE CASCADE",
       "CREATE TABLE hijo (id INTEGER PRIMARY KEY, pid INTEGER, nota TEXT,"
       " CONSTRAINT fk FOREIGN KEY (pid) REFERENCES padre ON DELETE CASCADE)"},
      {"written by the engine", "",
       "CREATE TABLE hijo (id INTEGER PRIMARY KEY, pid INTEGER, nota TEXT, FOREIGN KEY (\"pid\") REFERENCES"
       " \"padre\" (\"id\") ON DELETE CASCADE ON UPDATE NO ACTION)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    const std::string path = dir / "d.mdb";
    RawExec(path, kPlain);
    const std::string plain = RawQuery(path, "SELECT sql FROM sqlite_master WHERE name = 'hijo'")[0][0];
    const long attributes = dbRelationDeclared | dbRelationDeleteCascade;
    {
      auto db = DBEngine::Instance().OpenDatabase(path);
      db->Relations().Append(Declared(*db, "PadreHijo", attributes, c.declaration));
    }
    DBEngine::Instance().CloseIdle();
    EXPECT_EQ(RawQuery(path, "SELECT sql FROM sqlite_master WHERE name = 'hijo'")[0][0], c.declared);
    {
      auto db = DBEngine::Instance().OpenDatabase(path);
      ASSERT_EQ(db->Relations().Count(), 1);
      auto r = db->Relations()[0];
      EXPECT_EQ(r->Name(), "PadreHijo");
      EXPECT_EQ(r->Attributes(), attributes);
      EXPECT_FALSE(r->ClauseOnly());
      EXPECT_TRUE(SameRelationDeclaration(r->Declaration(), c.declaration.empty() ? r->Declaration() : c.declaration));
    }
    DBEngine::Instance().CloseIdle();
    // Writers with foreign keys on meet SQLite's clause, and nothing else.
    EXPECT_EQ(RawQuery(path, "SELECT count(*) FROM sqlite_master WHERE type = 'trigger'"), (Rows{{"0"}}));
    EXPECT_THROW(RawExec(path, "PRAGMA foreign_keys = ON; INSERT INTO hijo VALUES (11, 9, 'x')"), std::runtime_error);
    RawExec(path, "PRAGMA foreign_keys = ON; DELETE FROM padre WHERE id = 1;");
    EXPECT_EQ(RawQuery(path, "SELECT count(*) FROM hijo"), (Rows{{"0"}}));
    RawExec(path, "INSERT INTO hijo VALUES (12, 2, 'b')");
    {
      auto db = DBEngine::Instance().OpenDatabase(path);
      db->Relations().Delete("PadreHijo");
      EXPECT_EQ(db->Relations().Count(), 0);
    }
    DBEngine::Instance().CloseIdle();
    EXPECT_EQ(RawQuery(path, "SELECT sql FROM sqlite_master WHERE name = 'hijo'")[0][0], plain);
    EXPECT_EQ(RawQuery(path, "SELECT count(*) FROM sqlite_master WHERE name LIKE 'MSysRel!_%' ESCAPE '!'"), (Rows{{"0"}}));
    EXPECT_EQ(RawQuery(path, "SELECT id, pid FROM hijo"), (Rows{{"12", "2"}}));
    RawExec(path, "INSERT INTO hijo VALUES (13, 9, 'x')");  // held to nothing any more
    EXPECT_EQ(RawQuery(path, "PRAGMA integrity_check"), (Rows{{"ok"}}));
  }
}

TEST(DeclaredRelations, AClauseThatIsNotTheRelationIsRefusedAndNothingIsStored) {
  struct Case {
    const char* what;
    long attributes;
    std::string declaration;
    std::string parent_field;
  };
  const long cascade = dbRelationDeclared | dbRelationDeleteCascade;
  const Case cases[] = {
      {"other actions", cascade, "REFERENCES padre (id) ON DELETE SET NULL", "id"},
      {"another parent", cascade, "REFERENCES hijo (id) ON DELETE CASCADE", "id"},
      {"another column", cascade, "FOREIGN KEY (nota) REFERENCES padre (id) ON DELETE CASCADE", "id"},
      {"more than a clause", cascade, "REFERENCES padre (id) ON DELETE CASCADE, extra INTEGER", "id"},
      {"a text that closes the table", cascade, "REFERENCES padre (id) ON DELETE CASCADE); DROP TABLE padre; --",
       "id"},
      {"a parent field that is not its key", cascade, "", "nombre"},
      {"a relation not enforced", dbRelationDeclared | dbRelationDontEnforce, "", "id"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    const std::string path = dir / "r.mdb";
    RawExec(path, kPlain);
    const Rows before = Master(path);
    {
      auto db = DBEngine::Instance().OpenDatabase(path);
      EXPECT_EQ(NumberOf([&] { db->Relations().Append(Declared(*db, "R", c.attributes, c.declaration, c.parent_field)); }),
                err::kInvalidOperation);
      EXPECT_EQ(db->Relations().Count(), 0);
    }
    DBEngine::Instance().CloseIdle();
    Rows after = Master(path);
    std::erase_if(after, [](const auto& row) { return row[1].rfind("MSys", 0) == 0 || row[1].find("_MSys") != std::string::npos; });
    EXPECT_EQ(after, before);
  }
}

TEST(DeclaredRelations, AClauseAloneIsCompletedOnceUnlessRowsBreakIt) {
  TempDir dir;
  const std::string path = dir / "c.mdb";
  RawExec(path,
          "CREATE TABLE padre (id INTEGER PRIMARY KEY);"
          "CREATE TABLE hijo (id INTEGER PRIMARY KEY, pid INTEGER REFERENCES padre (id) ON UPDATE CASCADE);"
          "CREATE TABLE otro (id INTEGER PRIMARY KEY, pid INTEGER REFERENCES padre (id));"
          "INSERT INTO padre VALUES (1); INSERT INTO hijo VALUES (10, 1); INSERT INTO otro VALUES (20, 7);");
  const std::string declared = RawQuery(path, "SELECT sql FROM sqlite_master WHERE name = 'hijo'")[0][0];
  auto db = DBEngine::Instance().OpenDatabase(path);
  ASSERT_EQ(db->Relations().Count(), 2);
  auto hijo = db->Relations()["padrehijo"];
  EXPECT_TRUE(hijo->ClauseOnly());
  EXPECT_EQ(hijo->Attributes(), dbRelationDeclared | dbRelationUpdateCascade);
  EXPECT_TRUE(db->CompleteRelation("padrehijo"));
  EXPECT_FALSE(db->CompleteRelation("padrehijo"));
  auto completed = db->Relations()["padrehijo"];
  EXPECT_FALSE(completed->ClauseOnly());
  EXPECT_EQ(completed->Attributes(), dbRelationDeclared | dbRelationUpdateCascade);
  EXPECT_EQ(db->Relations().Count(), 2);
  EXPECT_EQ(RawQuery(path, "SELECT sql FROM sqlite_master WHERE name = 'hijo'")[0][0], declared);
  EXPECT_THROW(RawExec(path, "PRAGMA foreign_keys = ON; INSERT INTO hijo VALUES (11, 5)"), std::runtime_error);
  RawExec(path, "PRAGMA foreign_keys = ON; UPDATE padre SET id = 2 WHERE id = 1");
  EXPECT_EQ(RawQuery(path, "SELECT pid FROM hijo"), (Rows{{"2"}}));
  // otro's row names a parent that is not there.
  EXPECT_EQ(NumberOf([&] { db->CompleteRelation("padreotro"); }), err::kRelatedRecordRequired);
  EXPECT_TRUE(db->Relations()["padreotro"]->ClauseOnly());
  // A clause alone needs nothing more of the engine's.
  EXPECT_FALSE(db->Relations()["padreotro"]->NeedsCompleting());
}

TEST(DeclaredRelations, ADeferredRelationKeepsItsNameAndAttributes) {
  TempDir dir;
  const std::string path = dir / "a.mdb";
  RawExec(path, kPlain);
  {
    auto db = DBEngine::Instance().OpenDatabase(path);
    db->Relations().Append(Declared(*db, "Aplazada", dbRelationDeferred | dbRelationDeleteCascade, ""));
  }
  DBEngine::Instance().CloseIdle();
  auto db = DBEngine::Instance().OpenDatabase(path);
  ASSERT_EQ(db->Relations().Count(), 1);
  EXPECT_EQ(db->Relations()[0]->Name(), "Aplazada");
  EXPECT_EQ(db->Relations()[0]->Attributes(), dbRelationDeferred | dbRelationDeleteCascade);
  RawExec(path, "PRAGMA foreign_keys = ON; BEGIN; INSERT INTO hijo VALUES (11, 3, 'x'); INSERT INTO padre VALUES (3, 'tres');"
                " COMMIT;");
}

}  // namespace
}  // namespace brenquil
