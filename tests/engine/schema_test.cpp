// Changing the stored object model: fields, indexes, errors with their
// numbers, names no statement can be broken by, and files made by sqlite3.
#include <gtest/gtest.h>

#include "engine/dbengine.h"
#include "tests/support/test_support.h"

namespace brenquil {
namespace {

using test::RawExec;
using test::RawQuery;
using test::TempDir;

using test::NumberOf;

std::shared_ptr<Database> OneTable(const std::string& path, const std::string& table) {
  auto db = DBEngine::Instance().CreateDatabase(path);
  auto t = db->CreateTableDef(table);
  t->Fields().Append(t->CreateField("Nombre", dbText, 30));
  db->TableDefs().Append(t);
  return db;
}

TEST(Schema, RefusalsCarryTheirNumbersAndStoreNothing) {
  TempDir dir;
  auto db = OneTable(dir / "a.mdb", "T");
  auto t = db->TableDefs()["T"];
  struct Case { const char* what; int number; std::function<void()> action; };
  const std::vector<Case> cases = {
      {"table without fields", err::kNoFields, [&] { db->TableDefs().Append(db->CreateTableDef("Vacia")); }},
      {"table that exists", err::kTableExists, [&] {
         auto again = db->CreateTableDef("T");
         again->Fields().Append(again->CreateField("X", dbLong));
         db->TableDefs().Append(again);
       }},
      {"table name in other case", err::kTableExists, [&] {
         auto again = db->CreateTableDef("t");
         again->Fields().Append(again->CreateField("X", dbLong));
         db->TableDefs().Append(again);
       }},
      {"field that exists", err::kFieldExists, [&] { t->Fields().Append(t->CreateField("Nombre", dbLong)); }},
      {"unknown type", err::kInvalidFieldType, [&] { t->Fields().Append(t->CreateField("Raro", 99)); }},
      {"type that is not a number", err::kConversion, [&] { t->CreateField("X", "diez", "5"); }},
      {"text too long", err::kInvalidOperation, [&] { t->Fields().Append(t->CreateField("Largo", dbText, 300)); }},
      {"absent name", err::kItemNotFound, [&] { db->TableDefs()["NoEsta"]; }},
      {"absent position", err::kItemNotFound, [&] { t->Fields()[5]; }},
      {"delete absent field", err::kItemNotFound, [&] { t->Fields().Delete("NoEsta"); }},
      {"delete absent index", err::kItemNotFound, [&] { t->Indexes().Delete("NoEsta"); }},
      {"index without fields", err::kNoFields, [&] { t->Indexes().Append(t->CreateIndex("Vacio")); }},
      {"index on absent field", err::kItemNotFound, [&] {
         auto i = t->CreateIndex("Malo");
         i->Fields().Append(i->CreateField("NoEsta"));
         t->Indexes().Append(i);
       }},
      {"query that does not parse", err::kInvalidSql, [&] {
         db->QueryDefs().Append(db->CreateQueryDef("Mala", "SELEC * FROM T"));
       }},
      {"two statements in one query", err::kInvalidSql, [&] {
         db->QueryDefs().Append(db->CreateQueryDef("Dos", "SELECT 1; DELETE FROM T"));
       }},
  };
  for (const auto& c : cases) EXPECT_EQ(NumberOf(c.action), c.number) << c.what;
  std::vector<std::string> tables;
  for (auto& x : db->TableDefs())
    if (x->Name().rfind("MSys", 0) != 0) tables.push_back(x->Name());
  EXPECT_EQ(tables, std::vector<std::string>{"T"});
  EXPECT_EQ(db->TableDefs()["T"]->Fields().Count(), 1);
  EXPECT_EQ(db->TableDefs()["T"]->Indexes().Count(), 0);
  EXPECT_EQ(db->QueryDefs().Count(), 0);
}

TEST(Schema, IndexNamesBelongToTheirTable) {
  TempDir dir;
  auto db = OneTable(dir / "a.mdb", "Uno");
  auto dos = db->CreateTableDef("Dos");
  dos->Fields().Append(dos->CreateField("Nombre", dbText, 30));
  db->TableDefs().Append(dos);
  for (const char* table : {"Uno", "Dos"}) {
    auto t = db->TableDefs()[table];
    auto i = t->CreateIndex("PrimaryKey");
    i->SetPrimary(true);
    i->Fields().Append(i->CreateField("Nombre"));
    t->Indexes().Append(i);
  }
  auto again = db->TableDefs()["Uno"]->CreateIndex("PrimaryKey");
  again->Fields().Append(again->CreateField("Nombre"));
  EXPECT_EQ(NumberOf([&] { db->TableDefs()["Uno"]->Indexes().Append(again); }), err::kIndexExists);
  auto second = db->TableDefs()["Uno"]->CreateIndex("Otra");
  second->SetPrimary(true);
  second->Fields().Append(second->CreateField("Nombre"));
  EXPECT_EQ(NumberOf([&] { db->TableDefs()["Uno"]->Indexes().Append(second); }), err::kPrimaryKeyExists);
  db->TableDefs()["Uno"]->Indexes().Delete("PrimaryKey");
  EXPECT_EQ(db->TableDefs()["Uno"]->Indexes().Count(), 0);
  EXPECT_EQ(db->TableDefs()["Dos"]->Indexes().Count(), 1);
}


// SQLite has one namespace for tables, views, indexes and triggers, and finds
// names in any letter case: an index takes the first free name.
TEST(Schema, AnIndexTakesTheFirstNameNoObjectHasInAnyCase) {
  TempDir dir;
  std::string path = dir / "a.mdb";
  RawExec(path,
          "CREATE TABLE Uno (Nombre TEXT);"
          "CREATE VIEW uno_primarykey AS SELECT 1;"
          "CREATE TABLE \"UNO_PRIMARYKEY_2\" (x);"
          "CREATE TABLE \"Uno_PrimaryKey_10\" (x);"
          "CREATE TABLE \"Uno_PrimaryKeyX_3\" (x);");
  {
    auto db = DBEngine::Instance().OpenDatabase(path);
    auto uno = db->TableDefs()["Uno"];
    auto index = uno->CreateIndex("PrimaryKey");
    index->Fields().Append(index->CreateField("Nombre"));
    uno->Indexes().Append(index);
    EXPECT_EQ(uno->Indexes().Count(), 1);
    EXPECT_EQ(uno->Indexes()[0]->Name(), "PrimaryKey");
  }
  DBEngine::Instance().CloseIdle();
  EXPECT_EQ(RawQuery(path, "SELECT name, tbl_name FROM sqlite_master WHERE type = 'index' AND tbl_name = 'Uno'"),
            (std::vector<std::vector<std::string>>{{"Uno_PrimaryKey_3", "Uno"}}));
}
// The names taken are known without reading sqlite_master for every index,
// yet a name another program took meanwhile, or one a failed change gave
// back, is judged as the file holds it.
TEST(Schema, AnIndexNameIsFreeAsTheFileSaysAfterARollbackAndAnotherProgramsIndex) {
  TempDir dir;
  std::string path = dir / "a.mdb";
  // A record the engine would keep for an index the file no longer has: the
  // change that creates index "v" stores its index, then fails on the record.
  RawExec(path,
          "CREATE TABLE t (a, b);"
          "CREATE TABLE MSysIndexes (TableName TEXT NOT NULL, IndexName TEXT NOT NULL,"
          " SqlName TEXT NOT NULL UNIQUE, IsPrimary INTEGER NOT NULL DEFAULT 0,"
          " PRIMARY KEY (TableName, IndexName));"
          "INSERT INTO MSysIndexes VALUES ('otra', 'vieja', 't_v', 0);");
  auto db = DBEngine::Instance().OpenDatabase(path);
  auto t = db->TableDefs()["t"];
  auto add = [&](const std::string& name) {
    auto index = t->CreateIndex(name);
    index->Fields().Append(index->CreateField("a"));
    return NumberOf([&] { t->Indexes().Append(index); });
  };
  EXPECT_EQ(add("x"), 0);
  EXPECT_NE(add("v"), 0);
  RawExec(path, "CREATE INDEX t_w ON t (b)");
  EXPECT_EQ(add("w"), 0);
  EXPECT_EQ(add("y"), 0);
  db.reset();
  DBEngine::Instance().CloseIdle();
  EXPECT_EQ(RawQuery(path, "SELECT name FROM sqlite_master WHERE type = 'index' AND tbl_name = 't' ORDER BY name"),
            (std::vector<std::vector<std::string>>{{"t_w"}, {"t_w_2"}, {"t_x"}, {"t_y"}}));
  EXPECT_EQ(RawQuery(path, "PRAGMA integrity_check"), (std::vector<std::vector<std::string>>{{"ok"}}));
}

TEST(Schema, UniqueIndexIsEnforcedAndRefusedOverDuplicates) {
  TempDir dir;
  std::string path = dir / "a.mdb";
  auto db = OneTable(path, "T");
  RawExec(path, "INSERT INTO T VALUES ('a'), ('a')");
  auto t = db->TableDefs()["T"];
  auto u = t->CreateIndex("Unico");
  u->SetUnique(true);
  u->Fields().Append(u->CreateField("Nombre"));
  EXPECT_EQ(NumberOf([&] { t->Indexes().Append(u); }), err::kDuplicateValue);
  EXPECT_EQ(t->Indexes().Count(), 0);
  RawExec(path, "DELETE FROM T");
  auto v = t->CreateIndex("Unico");
  v->SetUnique(true);
  v->Fields().Append(v->CreateField("Nombre"));
  t->Indexes().Append(v);
  auto rs = db->OpenRecordset("T");
  for (int i = 0; i < 2; ++i) {
    rs->AddNew();
    rs->SetValue("Nombre", std::string("b"));
    if (i == 0) rs->Update();
  }
  EXPECT_EQ(NumberOf([&] { rs->Update(); }), err::kDuplicateValue);
  auto plan = RawQuery(path, "EXPLAIN QUERY PLAN SELECT * FROM T WHERE Nombre = 'b'");
  EXPECT_NE(plan[0].back().find("INDEX"), std::string::npos) << plan[0].back();
}

TEST(Schema, ZeroLengthTextOnlyWhereAllowed) {
  TempDir dir;
  std::string path = dir / "a.mdb";
  auto db = DBEngine::Instance().CreateDatabase(path);
  auto t = db->CreateTableDef("T");
  t->Fields().Append(t->CreateField("Estricto", dbText, 10));
  auto open = t->CreateField("Libre", dbMemo);
  open->SetAllowZeroLength(true);
  t->Fields().Append(open);
  db->TableDefs().Append(t);
  auto later = db->TableDefs()["T"]->CreateField("Nuevo", dbText, 10);
  db->TableDefs()["T"]->Fields().Append(later);
  auto rs = db->OpenRecordset("T");
  for (const char* column : {"Estricto", "Nuevo"}) {
    rs->AddNew();
    rs->SetValue(column, std::string());
    EXPECT_EQ(NumberOf([&] { rs->Update(); }), err::kZeroLength) << column;
    rs->CancelUpdate();
  }
  rs->AddNew();
  rs->SetValue("Libre", std::string());
  rs->Update();
  EXPECT_EQ(RawQuery(path, "SELECT count(*) FROM T WHERE Libre = ''")[0][0], "1");
  EXPECT_THROW(RawExec(path, "INSERT INTO T (Estricto) VALUES ('')"), std::runtime_error)
      << "other SQLite programs are held to it too";
}

TEST(Schema, CounterAddedToATableWithRowsNumbersThem) {
  TempDir dir;
  std::string path = dir / "a.mdb";
  auto db = OneTable(path, "trabajos");
  RawExec(path, "INSERT INTO trabajos VALUES ('uno'), ('dos'), ('tres')");
  auto clave = db->TableDefs()["trabajos"]->CreateField("clave", dbLong);
  clave->SetAttributes(dbAutoIncrField);
  db->TableDefs()["trabajos"]->Fields().Append(clave);
  EXPECT_EQ(db->TableDefs()["trabajos"]->Fields()["clave"]->Attributes(), dbAutoIncrField);
  RawExec(path, "INSERT INTO trabajos (Nombre) VALUES ('cuatro')");
  auto rows = RawQuery(path, "SELECT Nombre, clave FROM trabajos ORDER BY rowid");
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"uno", "1"}));
  EXPECT_EQ(rows[2], (std::vector<std::string>{"tres", "3"}));
  EXPECT_EQ(rows[3], (std::vector<std::string>{"cuatro", "4"}));
}

// A counter is a Long field's, as in DAO: on any other type it is refused
// and nothing is stored, in a new table and in one with rows; a Long counter
// goes on past 10 (a text one would stop at "9" and repeat "10").
TEST(Schema, OnlyALongFieldTakesTheCounterAttribute) {
  TempDir dir;
  std::string path = dir / "a.mdb";
  auto db = OneTable(path, "trabajos");
  RawExec(path, "INSERT INTO trabajos VALUES ('uno')");
  for (int type : {dbText, dbMemo, dbInteger, dbDouble, dbCurrency}) {
    SCOPED_TRACE(type);
    auto field = db->TableDefs()["trabajos"]->CreateField("clave", type, type == dbText ? 10 : 0);
    field->SetAttributes(dbAutoIncrField);
    EXPECT_EQ(NumberOf([&] { db->TableDefs()["trabajos"]->Fields().Append(field); }), err::kInvalidFieldType);
    auto table = db->CreateTableDef("nueva");
    auto counter = table->CreateField("n", type, type == dbText ? 10 : 0);
    counter->SetAttributes(dbAutoIncrField);
    table->Fields().Append(counter);
    EXPECT_EQ(NumberOf([&] { db->TableDefs().Append(table); }), err::kInvalidFieldType);
  }
  EXPECT_EQ(RawQuery(path, "SELECT count(*) FROM sqlite_master WHERE name = 'nueva' OR sql LIKE '%clave%'")[0][0],
            "0");
  auto table = db->CreateTableDef("nueva");
  auto counter = table->CreateField("n", dbLong);
  counter->SetAttributes(dbAutoIncrField);
  table->Fields().Append(counter);
  table->Fields().Append(table->CreateField("v", dbText, 10));
  db->TableDefs().Append(table);
  for (int i = 0; i < 12; ++i) RawExec(path, "INSERT INTO nueva (v) VALUES ('x')");
  EXPECT_EQ(RawQuery(path, "SELECT count(DISTINCT n), max(n) FROM nueva")[0], (std::vector<std::string>{"12", "12"}));
}

TEST(Schema, NamesWithQuotesBlanksAndAccentsWorkEverywhere) {
  TempDir dir;
  std::string path = dir / "nombres raros.mdb";
  const std::string table = "Año \"x\" [y] O'Brien; DROP TABLE T";
  const std::string field = "Dirección 'de' \"envío\"";
  auto db = DBEngine::Instance().CreateDatabase(path);
  auto t = db->CreateTableDef(table);
  t->Fields().Append(t->CreateField(field, dbText, 20));
  t->Fields().Append(t->CreateField("Código", dbLong));
  db->TableDefs().Append(t);
  auto stored = db->TableDefs()[table];
  auto i = stored->CreateIndex("Índice 'único'");
  i->Fields().Append(i->CreateField(field));
  stored->Indexes().Append(i);
  auto other = db->CreateTableDef("Otra'tabla");
  other->Fields().Append(other->CreateField("Código", dbLong));
  db->TableDefs().Append(other);
  auto key = db->TableDefs()["Otra'tabla"]->CreateIndex("PrimaryKey");
  key->SetPrimary(true);
  key->Fields().Append(key->CreateField("Código"));
  db->TableDefs()["Otra'tabla"]->Indexes().Append(key);
  auto r = db->CreateRelation("Rel 'con' \"comillas\"", "Otra'tabla", table, 0);
  auto f = r->CreateField("Código");
  f->SetForeignName("Código");
  r->Fields().Append(f);
  db->Relations().Append(r);
  db->QueryDefs().Append(db->CreateQueryDef("Consulta \"rara\"", "SELECT * FROM \"Otra'tabla\""));
  db->Close();

  auto again = DBEngine::Instance().OpenDatabase(path);
  auto t2 = again->TableDefs()[table];
  EXPECT_EQ(t2->Fields()[0]->Name(), field);
  EXPECT_EQ(t2->Indexes()["Índice 'único'"]->Fields()[0]->Name(), field);
  EXPECT_EQ(again->Relations()["Rel 'con' \"comillas\""]->ForeignTable(), table);
  // Declared as SQLite's own clause, whatever the names hold.
  EXPECT_EQ(test::RawQuery(path, "SELECT \"table\", \"from\", \"to\" FROM pragma_foreign_key_list('" +
                                     std::string("Año \"x\" [y] O''Brien; DROP TABLE T") + "')"),
            (std::vector<std::vector<std::string>>{{"Otra'tabla", "Código", "Código"}}));
  EXPECT_EQ(again->QueryDefs().Count(), 1);
  auto rs = again->OpenRecordset("Select * from \"" + std::string("Año \"\"x\"\" [y] O'Brien; DROP TABLE T") + "\"");
  EXPECT_TRUE(rs->Updatable());
  EXPECT_EQ(rs->Fields()[0]->Name(), field);
  again->TableDefs()[table]->Fields().Append(again->TableDefs()[table]->CreateField("Más", dbMemo));
  EXPECT_EQ(test::RawColumns(path, table).back(), "Más");
}

TEST(Schema, FileMadeBySqlite3ShowsItsObjects) {
  TempDir dir;
  std::string path = dir / "shell.mdb";
  RawExec(path,
          "CREATE TABLE clientes (id INTEGER PRIMARY KEY, nombre VARCHAR(40) NOT NULL, notas TEXT,"
          " saldo REAL, alta DATE, activo BOOLEAN, foto BLOB, codigo CHAR(5) UNIQUE);"
          "CREATE TABLE pedidos (num INTEGER, cliente INTEGER REFERENCES clientes(id) ON DELETE CASCADE,"
          " importe NUMERIC, PRIMARY KEY (num));"
          "CREATE INDEX pedidos_cliente ON pedidos (cliente DESC, importe);"
          "CREATE VIEW grandes AS SELECT * FROM pedidos WHERE importe > 100;");
  auto db = DBEngine::Instance().OpenDatabase(path);
  auto c = db->TableDefs()["clientes"];
  struct Expect { const char* name; int type; long size; };
  const Expect fields[] = {{"id", dbLong, 4},      {"nombre", dbText, 40},    {"notas", dbMemo, 0},
                           {"saldo", dbDouble, 8}, {"alta", dbDate, 8},       {"activo", dbBoolean, 1},
                           {"foto", dbLongBinary, 0}, {"codigo", dbChar, 5}};
  ASSERT_EQ(c->Fields().Count(), 8);
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(c->Fields()[i]->Name(), fields[i].name);
    EXPECT_EQ(c->Fields()[i]->Type(), fields[i].type) << fields[i].name;
    EXPECT_EQ(c->Fields()[i]->Size(), fields[i].size) << fields[i].name;
  }
  EXPECT_TRUE(c->Fields()["nombre"]->Required());
  EXPECT_EQ(c->Fields()["id"]->Attributes() & dbAutoIncrField, dbAutoIncrField);
  ASSERT_EQ(c->Indexes().Count(), 2);
  EXPECT_EQ(c->Indexes()[0]->Name(), "PrimaryKey");
  EXPECT_TRUE(c->Indexes()[0]->Primary());
  EXPECT_TRUE(c->Indexes()[1]->Unique());
  auto p = db->TableDefs()["pedidos"];
  EXPECT_TRUE(p->Indexes()["PrimaryKey"]->Primary());
  auto idx = p->Indexes()["pedidos_cliente"];
  ASSERT_EQ(idx->Fields().Count(), 2);
  EXPECT_TRUE(idx->Fields()[0]->Descending());
  EXPECT_FALSE(idx->Unique());
  ASSERT_EQ(db->Relations().Count(), 1);
  auto r = db->Relations()[0];
  EXPECT_EQ(r->Table(), "clientes");
  EXPECT_EQ(r->ForeignTable(), "pedidos");
  EXPECT_EQ(r->Attributes(), dbRelationDeclared | dbRelationDeleteCascade);
  EXPECT_EQ(r->Fields()[0]->Name(), "id");
  EXPECT_EQ(r->Fields()[0]->ForeignName(), "cliente");
  ASSERT_EQ(db->QueryDefs().Count(), 1);
  EXPECT_EQ(db->QueryDefs()[0]->Name(), "grandes");
  EXPECT_EQ(db->QueryDefs()[0]->SQL(), "SELECT * FROM pedidos WHERE importe > 100");

  // Deleting what SQLite keeps inside the table rebuilds it, rows kept.
  RawExec(path, "INSERT INTO clientes (id, nombre) VALUES (1, 'Ana'); INSERT INTO pedidos VALUES (10, 1, 5)");
  db->Relations().Delete(r->Name());
  EXPECT_EQ(db->Relations().Count(), 0);
  EXPECT_EQ(RawQuery(path, "SELECT count(*) FROM pragma_foreign_key_list('pedidos')")[0][0], "0");
  EXPECT_EQ(RawQuery(path, "SELECT num, cliente FROM pedidos")[0], (std::vector<std::string>{"10", "1"}));
  EXPECT_EQ(db->TableDefs()["pedidos"]->Indexes().Count(), 2) << "indexes kept";
  db->TableDefs()["clientes"]->Indexes().Delete("PrimaryKey");
  EXPECT_EQ(db->TableDefs()["clientes"]->Indexes().Count(), 1);
  EXPECT_EQ(RawQuery(path, "SELECT nombre FROM clientes WHERE id = 1")[0][0], "Ana");
}

TEST(Schema, IndexesReadAsSqliteReportsThemWhateverTheirDeclaration) {
  TempDir dir;
  const std::string path = dir / "indices.mdb";
  // Each table holds one kind of declaration, alone or beside others.
  RawExec(path,
          "CREATE TABLE t1 (\"Campo Uno\" TEXT, dos INTEGER, [tres] REAL, `cuatro` TEXT, cinco TEXT);"
          "CREATE INDEX i1 ON t1 (\"campo uno\" DESC, DOS);"
          "CREATE UNIQUE INDEX IF NOT EXISTS main.i2 ON \"t1\" ([Tres] ASC, `CUATRO` COLLATE NOCASE DESC) ;"
          "CREATE INDEX i3 ON t1 (cinco) WHERE cinco IS NOT NULL;"
          "CREATE INDEX \"i 4\" ON t1(dos,tres)/* comentario */;"
          "CREATE TABLE t2 (a TEXT, b TEXT, c TEXT UNIQUE);"
          "CREATE INDEX j1 ON t2 (a, b);"
          "CREATE TABLE t3 (a TEXT, b TEXT);"
          "CREATE INDEX k1 ON t3 (lower(a), b);"
          "CREATE INDEX k2 ON t3 (b DESC);"
          "CREATE TABLE t4 (a TEXT, b TEXT, PRIMARY KEY (b, a)) WITHOUT ROWID;"
          "CREATE INDEX m1 ON t4 (a);"
          "CREATE TABLE t5 (a TEXT, \"b\" TEXT);"
          "CREATE INDEX n1 ON t5 ('b', a);"
          "CREATE INDEX n2 ON t5 (\"no hay\");");
  auto db = DBEngine::Instance().OpenDatabase(path);
  for (const char* table : {"t1", "t2", "t3", "t4", "t5"}) {
    auto listed = RawQuery(path, std::string("SELECT name, \"unique\" FROM pragma_index_list('") + table + "')");
    auto indexes = db->TableDefs()[table]->Indexes().Snapshot();
    for (const auto& row : listed) {
      std::shared_ptr<Index> index;
      for (auto& i : indexes)
        if (i->Name() == row[0] || (i->Primary() && row[0].rfind("sqlite_autoindex", 0) == 0)) index = i;
      ASSERT_TRUE(index) << table << " " << row[0];
      EXPECT_EQ(index->Unique(), row[1] == "1") << row[0];
      std::vector<std::string> expected, read;
      for (auto& key : RawQuery(path, "SELECT coalesce(name, ''), \"desc\" FROM pragma_index_xinfo('" + row[0] +
                                          "') WHERE key = 1 ORDER BY seqno"))
        expected.push_back(key[0] + (key[1] == "1" ? " DESC" : ""));
      for (auto& field : index->Fields()) read.push_back(field->Name() + (field->Descending() ? " DESC" : ""));
      EXPECT_EQ(read, expected) << table << " " << row[0];
    }
  }
}

}  // namespace
}  // namespace brenquil

namespace brenquil {
namespace {

TEST(Schema, ReadingAFileNeverWritesIt) {
  test::TempDir dir;
  std::string path = dir / "modelo.mdb";
  test::RawExec(path, "CREATE TABLE t (a INTEGER PRIMARY KEY, b VARCHAR(9)); CREATE INDEX ib ON t (b);"
                      "CREATE VIEW v AS SELECT * FROM t; INSERT INTO t VALUES (1, 'x')");
  std::string before = test::ReadBytes(path);
  {
    auto db = DBEngine::Instance().OpenDatabase(path);
    for (auto& t : db->TableDefs()) {
      t->Fields().Count();
      t->Indexes().Count();
    }
    db->Relations().Count();
    db->QueryDefs().Count();
    auto rs = db->OpenRecordset("Select * from t");
    rs->MoveLast();
  }
  DBEngine::Instance().CloseIdle();
  EXPECT_TRUE(test::ReadBytes(path) == before) << "a model that is only read was written";
}

}  // namespace
}  // namespace brenquil
