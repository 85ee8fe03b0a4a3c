// Whole runs of `transform` over old databases and models written by the
// sqlite3 library: nothing the old file holds is lost, nothing equal to the
// model is rebuilt, a refused replacement keeps the old object, and a commit
// that fails is an error with exit code 1.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstring>
#include <filesystem>
#include <sstream>

#include "cli/cli.h"
#include "engine/dbengine.h"
#include "tests/support/test_support.h"

namespace brenquil {
namespace {

using test::RawExec;
using test::RawQuery;
using test::TempDir;
using Rows = std::vector<std::vector<std::string>>;

struct RunResult {
  int code;
  std::string out, err;
  bool Says(const std::string& text) const {
    return out.find(text) != std::string::npos || err.find(text) != std::string::npos;
  }
};

class FaithfulRun : public ::testing::Test {
 protected:
  void SetUp() override {
    std::ostringstream out, err;
    ASSERT_EQ(RunCli({"setup", home_}, out, err), kExitOk) << err.str();
    std::filesystem::create_directories(data_);
  }
  // Writes the same script into the old database and its model, then the
  // model's own additions.
  void Pair(const std::string& name, const std::string& both, const std::string& model_extra,
            const std::string& old_extra = "") {
    RawExec(Old(name), both + old_extra);
    RawExec(Model(name), both + model_extra);
  }
  RunResult Transform() {
    std::ostringstream out, err;
    int code = RunCli({"transform", "--home", home_, "--data", data_}, out, err);
    return {code, out.str(), err.str()};
  }
  std::string Old(const std::string& name) const { return data_ + "/" + name; }
  std::string Model(const std::string& name) const { return home_ + "/modelos/" + name; }
  Rows Schema(const std::string& path) {
    return RawQuery(path, "SELECT type, name, rootpage, sql FROM sqlite_master WHERE name NOT LIKE 'MSys%'"
                          " AND name NOT LIKE 'sqlite_autoindex_MSys%' ORDER BY rowid");
  }

  TempDir dir_;
  std::string home_ = dir_ / "home";
  std::string data_ = dir_ / "datos";
};

TEST_F(FaithfulRun, AFileThatIsItsModelsPreviousVersionLosesAndRebuildsNothing) {
  const std::string both =
      "CREATE TABLE parent (id INTEGER PRIMARY KEY, name TEXT COLLATE NOCASE UNIQUE);"
      "CREATE TABLE child (id INTEGER PRIMARY KEY AUTOINCREMENT,"
      " pid INTEGER REFERENCES parent(id) ON DELETE CASCADE, qty INT CHECK (qty >= 0),"
      " at TEXT DEFAULT (datetime('now')), total INT GENERATED ALWAYS AS (qty * 2) VIRTUAL);"
      "CREATE INDEX child_qty ON child (qty DESC);"
      "CREATE VIEW big AS SELECT * FROM child WHERE qty > 10;"
      "CREATE VIRTUAL TABLE docs USING fts5(title, body);";
  Pair("a.mdb", both, "CREATE TABLE extra (k INTEGER, v TEXT);",
       "CREATE TRIGGER big_ins INSTEAD OF INSERT ON big BEGIN INSERT INTO child (pid, qty) VALUES (new.pid, new.qty); END;"
       "INSERT INTO parent VALUES (1, 'uno'); INSERT INTO child (pid, qty) VALUES (1, 20), (1, 2);"
       "DELETE FROM child WHERE qty = 2; INSERT INTO docs VALUES ('ancla', 'x');");
  Rows before = Schema(Old("a.mdb"));
  Rows rows = RawQuery(Old("a.mdb"), "SELECT rowid, * FROM child");
  RunResult first = Transform();
  EXPECT_EQ(first.code, kExitOk) << first.out << first.err;
  Rows after = Schema(Old("a.mdb"));
  ASSERT_EQ(after.size(), before.size() + 1) << "only the model's new table arrives:\n" << ::testing::PrintToString(after);
  for (size_t i = 0; i < before.size(); ++i) EXPECT_EQ(after[i], before[i]) << before[i][1];
  EXPECT_EQ(RawQuery(Old("a.mdb"), "SELECT rowid, * FROM child"), rows);
  EXPECT_EQ(RawQuery(Old("a.mdb"), "SELECT title FROM docs WHERE docs MATCH 'ancla'"), (Rows{{"ancla"}}));
  RawExec(Old("a.mdb"), "INSERT INTO big (pid, qty) VALUES (1, 30)");  // the INSTEAD OF trigger still works
  EXPECT_EQ(RawQuery(Old("a.mdb"), "SELECT id FROM child WHERE qty = 30"), (Rows{{"3"}}));
  EXPECT_EQ(RawQuery(Old("a.mdb"), "PRAGMA journal_mode"), (Rows{{"delete"}}));
  EXPECT_EQ(RawQuery(Old("a.mdb"), "PRAGMA integrity_check"), (Rows{{"ok"}}));

  Rows settled = Schema(Old("a.mdb"));
  RunResult second = Transform();
  EXPECT_EQ(second.code, kExitOk) << second.out << second.err;
  EXPECT_EQ(Schema(Old("a.mdb")), settled);
}

TEST_F(FaithfulRun, ATableNamedInAnotherLetterCaseIsOneTableForEveryStep) {
  Pair("c.mdb", "", 
       "CREATE TABLE Clientes (id INTEGER PRIMARY KEY, Nombre TEXT, Alta TEXT);"
       "CREATE UNIQUE INDEX PorNombre ON Clientes (Nombre);"
       "CREATE TABLE Pedidos (n INTEGER PRIMARY KEY, cliente INTEGER REFERENCES Clientes (id));",
       "CREATE TABLE clientes (ID INTEGER PRIMARY KEY, nombre TEXT CHECK (nombre <> ''));"
       "CREATE TABLE pedidos (n INTEGER PRIMARY KEY, cliente INTEGER);"
       "INSERT INTO clientes VALUES (7, 'Ana'); INSERT INTO pedidos VALUES (1, 7);");
  RunResult first = Transform();
  EXPECT_EQ(first.code, kExitOk) << first.out << first.err;
  EXPECT_EQ(test::RawColumns(Old("c.mdb"), "clientes"), (std::vector<std::string>{"ID", "nombre", "Alta"}));
  EXPECT_EQ(RawQuery(Old("c.mdb"), "SELECT rowid, * FROM clientes"), (Rows{{"7", "7", "Ana", "NULL"}}));
  EXPECT_EQ(RawQuery(Old("c.mdb"), "SELECT count(*) FROM sqlite_master WHERE type = 'index' AND sql LIKE '%UNIQUE%'"),
            (Rows{{"1"}}));
  EXPECT_THROW(RawExec(Old("c.mdb"), "INSERT INTO clientes (nombre) VALUES ('')"), std::runtime_error);
  RawExec(Old("c.mdb"), "INSERT INTO clientes (nombre) VALUES ('Luis')");  // the id is still numbered
  EXPECT_EQ(RawQuery(Old("c.mdb"), "SELECT ID FROM clientes WHERE nombre = 'Luis'"), (Rows{{"8"}}));
  Rows settled = Schema(Old("c.mdb"));
  RunResult second = Transform();
  EXPECT_EQ(second.code, kExitOk) << second.out << second.err;
  EXPECT_EQ(Schema(Old("c.mdb")), settled);
}

TEST_F(FaithfulRun, AReplacementTheOldRowsRefuseKeepsTheOldIndexAndRelation) {
  const std::string tables =
      "CREATE TABLE p (id INTEGER PRIMARY KEY, code TEXT);"
      "CREATE TABLE h (id INTEGER PRIMARY KEY, pid INTEGER, code TEXT);";
  Pair("r.mdb", tables,
       "CREATE UNIQUE INDEX porcodigo ON h (code);"
       "CREATE TABLE h2 (x);",
       "CREATE INDEX porcodigo ON h (code);"
       "INSERT INTO p VALUES (1, 'a'); INSERT INTO h VALUES (1, 1, 'x'), (2, 9, 'x'), (3, 8, 'x');");
  // The model's relation p -> h, enforced, which the orphans 9 and 8 refuse.
  {
    auto model = DBEngine::Instance().OpenDatabase(Model("r.mdb"));
    auto r = model->CreateRelation("ph", "p", "h", 0);
    auto f = r->CreateField("id");
    f->SetForeignName("pid");
    r->Fields().Append(f);
    model->Relations().Append(r);
  }
  DBEngine::Instance().CloseIdle();
  RunResult run = Transform();
  EXPECT_EQ(run.code, kExitJournal) << run.out << run.err;
  EXPECT_EQ(RawQuery(Old("r.mdb"), "SELECT sql FROM sqlite_master WHERE name LIKE '%porcodigo%'"),
            (Rows{{"CREATE INDEX porcodigo ON h (code)"}}));
  EXPECT_TRUE(run.Says("3 filas lo impiden")) << run.out << run.err;
  EXPECT_TRUE(run.Says("se conserva el índice anterior")) << run.out << run.err;
  EXPECT_TRUE(run.Says("2 filas lo impiden (claves: 8; 9)") || run.Says("2 filas lo impiden (claves: 9; 8)"))
      << run.out << run.err;
  EXPECT_EQ(RawQuery(Old("r.mdb"), "SELECT count(*) FROM h"), (Rows{{"3"}}));
}

// ---- a commit that fails: every write to the log of one file fails

sqlite3_vfs* real_vfs = nullptr;
const char* failing_name = nullptr;

struct ShimFile {
  sqlite3_file base;
  sqlite3_file* real;
  bool fails;
};

int ShimWrite(sqlite3_file* f, const void* data, int amount, sqlite3_int64 offset) {
  auto* shim = reinterpret_cast<ShimFile*>(f);
  if (shim->fails) return SQLITE_IOERR_WRITE;
  return shim->real->pMethods->xWrite(shim->real, data, amount, offset);
}

sqlite3_io_methods shim_methods;

int ShimOpen(sqlite3_vfs*, const char* name, sqlite3_file* file, int flags, int* out_flags) {
  auto* shim = reinterpret_cast<ShimFile*>(file);
  shim->real = reinterpret_cast<sqlite3_file*>(reinterpret_cast<char*>(file) + sizeof(ShimFile));
  int rc = real_vfs->xOpen(real_vfs, name, shim->real, flags, out_flags);
  if (rc != SQLITE_OK) {
    file->pMethods = nullptr;
    return rc;
  }
  // The database file itself and its log: a run writes either only when it
  // commits (or when the log is written into the file).
  shim->fails = failing_name && name && (flags & (SQLITE_OPEN_WAL | SQLITE_OPEN_MAIN_DB)) &&
                std::strstr(name, failing_name);
  const sqlite3_io_methods* real = shim->real->pMethods;
  shim_methods = *real;
  shim_methods.xClose = [](sqlite3_file* f) {
    auto* s = reinterpret_cast<ShimFile*>(f);
    return s->real->pMethods->xClose(s->real);
  };
  shim_methods.xRead = [](sqlite3_file* f, void* d, int n, sqlite3_int64 o) {
    auto* s = reinterpret_cast<ShimFile*>(f); return s->real->pMethods->xRead(s->real, d, n, o); };
  shim_methods.xWrite = ShimWrite;
  shim_methods.xTruncate = [](sqlite3_file* f, sqlite3_int64 n) {
    auto* s = reinterpret_cast<ShimFile*>(f); return s->real->pMethods->xTruncate(s->real, n); };
  shim_methods.xSync = [](sqlite3_file* f, int fl) {
    auto* s = reinterpret_cast<ShimFile*>(f); return s->real->pMethods->xSync(s->real, fl); };
  shim_methods.xFileSize = [](sqlite3_file* f, sqlite3_int64* n) {
    auto* s = reinterpret_cast<ShimFile*>(f); return s->real->pMethods->xFileSize(s->real, n); };
  shim_methods.xLock = [](sqlite3_file* f, int l) {
    auto* s = reinterpret_cast<ShimFile*>(f); return s->real->pMethods->xLock(s->real, l); };
  shim_methods.xUnlock = [](sqlite3_file* f, int l) {
    auto* s = reinterpret_cast<ShimFile*>(f); return s->real->pMethods->xUnlock(s->real, l); };
  shim_methods.xCheckReservedLock = [](sqlite3_file* f, int* r) {
    auto* s = reinterpret_cast<ShimFile*>(f); return s->real->pMethods->xCheckReservedLock(s->real, r); };
  shim_methods.xFileControl = [](sqlite3_file* f, int op, void* a) {
    auto* s = reinterpret_cast<ShimFile*>(f); return s->real->pMethods->xFileControl(s->real, op, a); };
  shim_methods.xSectorSize = [](sqlite3_file* f) {
    auto* s = reinterpret_cast<ShimFile*>(f); return s->real->pMethods->xSectorSize(s->real); };
  shim_methods.xDeviceCharacteristics = [](sqlite3_file* f) {
    auto* s = reinterpret_cast<ShimFile*>(f); return s->real->pMethods->xDeviceCharacteristics(s->real); };
  shim_methods.xShmMap = [](sqlite3_file* f, int p, int sz, int e, void volatile** out) {
    auto* s = reinterpret_cast<ShimFile*>(f); return s->real->pMethods->xShmMap(s->real, p, sz, e, out); };
  shim_methods.xShmLock = [](sqlite3_file* f, int o, int n, int fl) {
    auto* s = reinterpret_cast<ShimFile*>(f); return s->real->pMethods->xShmLock(s->real, o, n, fl); };
  shim_methods.xShmBarrier = [](sqlite3_file* f) {
    auto* s = reinterpret_cast<ShimFile*>(f); s->real->pMethods->xShmBarrier(s->real); };
  shim_methods.xShmUnmap = [](sqlite3_file* f, int d) {
    auto* s = reinterpret_cast<ShimFile*>(f); return s->real->pMethods->xShmUnmap(s->real, d); };
  shim_methods.xFetch = [](sqlite3_file* f, sqlite3_int64 o, int n, void** p) {
    auto* s = reinterpret_cast<ShimFile*>(f); return s->real->pMethods->xFetch(s->real, o, n, p); };
  shim_methods.xUnfetch = [](sqlite3_file* f, sqlite3_int64 o, void* p) {
    auto* s = reinterpret_cast<ShimFile*>(f); return s->real->pMethods->xUnfetch(s->real, o, p); };
  file->pMethods = &shim_methods;
  return SQLITE_OK;
}

class FailingWrites {
 public:
  explicit FailingWrites(const char* name) {
    real_vfs = sqlite3_vfs_find(nullptr);
    vfs_ = *real_vfs;
    vfs_.zName = "brenquil-falla";
    vfs_.szOsFile = static_cast<int>(sizeof(ShimFile)) + real_vfs->szOsFile;
    vfs_.xOpen = ShimOpen;
    sqlite3_vfs_register(&vfs_, 1);
    failing_name = name;
  }
  ~FailingWrites() {
    failing_name = nullptr;
    sqlite3_vfs_unregister(&vfs_);
    sqlite3_vfs_register(real_vfs, 1);
  }

 private:
  sqlite3_vfs vfs_{};
};

TEST_F(FaithfulRun, ACommitThatFailsIsAnErrorAndTheReportListsNothingOfIt) {
  Pair("falla.mdb", "CREATE TABLE t (a TEXT);", "ALTER TABLE t ADD COLUMN b INTEGER; CREATE TABLE n (x);",
       "INSERT INTO t VALUES ('uno');");
  Pair("bien.mdb", "CREATE TABLE t (a TEXT);", "CREATE TABLE n (x);");
  RunResult run;
  {
    FailingWrites failing("falla.mdb");
    run = Transform();
  }
  DBEngine::Instance().CloseIdle();
  EXPECT_EQ(run.code, kExitJournal) << run.out << run.err;
  EXPECT_TRUE(run.Says(Old("falla.mdb"))) << run.out << run.err;
  EXPECT_TRUE(run.Says("al confirmar los cambios")) << run.out << run.err;
  EXPECT_EQ(test::RawColumns(Old("falla.mdb"), "t"), (std::vector<std::string>{"a"}));
  EXPECT_EQ(RawQuery(Old("falla.mdb"), "SELECT count(*) FROM sqlite_master WHERE name = 'n'"), (Rows{{"0"}}));
  EXPECT_EQ(RawQuery(Old("falla.mdb"), "SELECT * FROM t"), (Rows{{"uno"}}));
  EXPECT_EQ(RawQuery(Old("falla.mdb"), "PRAGMA integrity_check"), (Rows{{"ok"}}));
  EXPECT_EQ(RawQuery(Old("bien.mdb"), "SELECT count(*) FROM sqlite_master WHERE name = 'n'"), (Rows{{"1"}}));
}

}  // namespace
}  // namespace brenquil

namespace brenquil {
namespace {

// ---- the model arrives whole

std::string Declared(const std::string& path, const std::string& name) {
  auto rows = RawQuery(path, "SELECT sql FROM sqlite_master WHERE name = '" + name + "'");
  return rows.empty() ? "" : rows[0][0];
}

TEST_F(FaithfulRun, NewTablesArriveAsTheModelDeclaresThem) {
  const std::vector<std::string> tables = {
      "CREATE TABLE orders (id INTEGER PRIMARY KEY AUTOINCREMENT, qty INT NOT NULL DEFAULT 0 CHECK (qty >= 0),"
      " code TEXT COLLATE NOCASE UNIQUE, total INT GENERATED ALWAYS AS (qty * 2) VIRTUAL, doc JSON, u UUID, x)",
      "CREATE TABLE kv (k TEXT PRIMARY KEY, v) WITHOUT ROWID",
      "CREATE TABLE s (a INTEGER, b TEXT) STRICT"};
  std::string model;
  for (const auto& t : tables) model += t + ";";
  Pair("n.mdb", "CREATE TABLE keep (a);", model, "INSERT INTO keep VALUES (1);");
  RunResult first = Transform();
  EXPECT_EQ(first.code, kExitOk) << first.out << first.err;
  EXPECT_EQ(Declared(Old("n.mdb"), "orders"), tables[0]);
  EXPECT_EQ(Declared(Old("n.mdb"), "kv"), tables[1]);
  EXPECT_EQ(Declared(Old("n.mdb"), "s"), tables[2]);
  RawExec(Old("n.mdb"), "INSERT INTO orders (code) VALUES ('a')");
  EXPECT_EQ(RawQuery(Old("n.mdb"), "SELECT id, qty, total, typeof(x) FROM orders"), (Rows{{"1", "0", "0", "null"}}));
  EXPECT_THROW(RawExec(Old("n.mdb"), "INSERT INTO orders (code) VALUES ('A')"), std::runtime_error);
  EXPECT_THROW(RawExec(Old("n.mdb"), "INSERT INTO orders (code, qty) VALUES ('b', -1)"), std::runtime_error);
  EXPECT_THROW(RawExec(Old("n.mdb"), "INSERT INTO s VALUES ('no es un número', 'x')"), std::runtime_error);
  EXPECT_THROW(RawExec(Old("n.mdb"), "INSERT INTO kv VALUES (NULL, 1)"), std::runtime_error);
  Rows settled = Schema(Old("n.mdb"));
  RunResult second = Transform();
  EXPECT_EQ(second.code, kExitOk) << second.out << second.err;
  EXPECT_EQ(Schema(Old("n.mdb")), settled);
}

TEST_F(FaithfulRun, FieldsArriveWithTheirDefinitionAndOldRowsTakeTheDefault) {
  Pair("f.mdb", "",
       "CREATE TABLE t (a TEXT, n INT NOT NULL DEFAULT 0, c TEXT COLLATE NOCASE CHECK (c <> 'x'),"
       " at TEXT DEFAULT CURRENT_TIMESTAMP, g INT GENERATED ALWAYS AS (n + 1) VIRTUAL,"
       " st INT GENERATED ALWAYS AS (n * 3) STORED, r INT NOT NULL);",
       "CREATE TABLE t (a TEXT); INSERT INTO t VALUES ('uno'), ('dos');");
  RunResult first = Transform();
  // r cannot be NOT NULL over rows that have no value for it: journaled, added with its type.
  EXPECT_EQ(first.code, kExitJournal) << first.out << first.err;
  EXPECT_TRUE(first.Says("'r'")) << first.out << first.err;
  EXPECT_EQ(RawQuery(Old("f.mdb"), "SELECT a, n, g, st, at IS NOT NULL FROM t ORDER BY rowid"),
            (Rows{{"uno", "0", "1", "0", "1"}, {"dos", "0", "1", "0", "1"}}));
  EXPECT_THROW(RawExec(Old("f.mdb"), "INSERT INTO t (a, c, r) VALUES ('tres', 'x', 1)"), std::runtime_error);
  RawExec(Old("f.mdb"), "INSERT INTO t (a, c, r) VALUES ('tres', 'Y', 1)");
  EXPECT_EQ(RawQuery(Old("f.mdb"), "SELECT count(*) FROM t WHERE c = 'y'"), (Rows{{"1"}}));  // NOCASE
  EXPECT_EQ(RawQuery(Old("f.mdb"), "PRAGMA integrity_check"), (Rows{{"ok"}}));
  RunResult second = Transform();
  EXPECT_EQ(second.code, kExitOk) << second.out << second.err;
}

TEST_F(FaithfulRun, IndexesViewsAndTriggersArriveAsDeclared) {
  const std::string index1 = "CREATE INDEX i1 ON t (a DESC, b COLLATE NOCASE) WHERE a > 0";
  const std::string index2 = "CREATE UNIQUE INDEX i2 ON t (lower(b))";
  const std::string trigger = "CREATE TRIGGER tr AFTER INSERT ON t BEGIN INSERT INTO log VALUES (new.a); END";
  Pair("i.mdb", "CREATE TABLE t (a INT, b TEXT); CREATE TABLE log (v);",
       index1 + ";" + index2 + ";" + trigger + ";"
       "CREATE VIEW v2 AS SELECT * FROM v1;"  // uses a view stored after it
       "CREATE VIEW v1 (x, y) AS SELECT a, b FROM t;",
       "CREATE INDEX i1 ON t (a); CREATE TRIGGER own AFTER DELETE ON t BEGIN SELECT 1; END;"
       "INSERT INTO t VALUES (1, 'Uno'), (-2, 'dos');");
  RunResult first = Transform();
  EXPECT_EQ(first.code, kExitOk) << first.out << first.err;
  EXPECT_EQ(RawQuery(Old("i.mdb"), "SELECT sql FROM sqlite_master WHERE tbl_name = 't' AND type = 'index'"
                                   " ORDER BY name"),
            (Rows{{index1}, {index2}}));
  EXPECT_THROW(RawExec(Old("i.mdb"), "INSERT INTO t VALUES (3, 'UNO')"), std::runtime_error);  // lower(b) unique
  RawExec(Old("i.mdb"), "INSERT INTO t VALUES (4, 'cuatro')");
  EXPECT_EQ(RawQuery(Old("i.mdb"), "SELECT v FROM log"), (Rows{{"4"}}));  // the model's trigger fires
  EXPECT_EQ(RawQuery(Old("i.mdb"), "SELECT count(*) FROM sqlite_master WHERE name = 'own'"), (Rows{{"1"}}));
  EXPECT_EQ(RawQuery(Old("i.mdb"), "SELECT x, y FROM v2 WHERE x = 4"), (Rows{{"4", "cuatro"}}));
  EXPECT_EQ(Declared(Old("i.mdb"), "v1"), "CREATE VIEW v1 (x, y) AS SELECT a, b FROM t");
  Rows settled = Schema(Old("i.mdb"));
  RunResult second = Transform();
  EXPECT_EQ(second.code, kExitOk) << second.out << second.err;
  EXPECT_EQ(Schema(Old("i.mdb")), settled);
}

}  // namespace
}  // namespace brenquil

namespace brenquil {
namespace {

TEST_F(FaithfulRun, RelationsKeepTheirSetNullAndSetDefaultActions) {
  Pair("a.mdb", "CREATE TABLE p (id INTEGER PRIMARY KEY);",
       "CREATE TABLE h (id INTEGER PRIMARY KEY, pid INTEGER DEFAULT 1 REFERENCES p (id) ON DELETE SET NULL"
       " ON UPDATE SET DEFAULT);",
       "CREATE TABLE h (id INTEGER PRIMARY KEY, pid INTEGER DEFAULT 1);"
       "INSERT INTO p VALUES (1), (2), (3); INSERT INTO h VALUES (10, 2), (11, 3);");
  RunResult first = Transform();
  EXPECT_EQ(first.code, kExitOk) << first.out << first.err;
  // SQLite's own actions, for every writer that turns foreign keys on.
  const std::string on = "PRAGMA foreign_keys = ON;";
  RawExec(Old("a.mdb"), on + "DELETE FROM p WHERE id = 2");
  RawExec(Old("a.mdb"), on + "UPDATE p SET id = 30 WHERE id = 3");
  EXPECT_EQ(RawQuery(Old("a.mdb"), "SELECT id, pid FROM h ORDER BY id"), (Rows{{"10", "NULL"}, {"11", "1"}}));
  EXPECT_THROW(RawExec(Old("a.mdb"), on + "INSERT INTO h VALUES (12, 99)"), std::runtime_error);
  Rows settled = Schema(Old("a.mdb"));
  RunResult second = Transform();
  EXPECT_EQ(second.code, kExitOk) << second.out << second.err;
  EXPECT_EQ(Schema(Old("a.mdb")), settled);
}

TEST_F(FaithfulRun, ADeferredRelationIsCheckedAtTheCommit) {
  Pair("d.mdb", "CREATE TABLE p (id INTEGER PRIMARY KEY);",
       "CREATE TABLE h (id INTEGER PRIMARY KEY, pid INTEGER REFERENCES p (id) ON DELETE CASCADE"
       " DEFERRABLE INITIALLY DEFERRED);",
       "CREATE TABLE h (id INTEGER PRIMARY KEY, pid INTEGER);"
       "INSERT INTO p VALUES (1); INSERT INTO h VALUES (10, 1);");
  RunResult first = Transform();
  EXPECT_EQ(first.code, kExitOk) << first.out << first.err;
  // A child before its parent, in one transaction: fine at the commit.
  RawExec(Old("d.mdb"), "PRAGMA foreign_keys = ON; BEGIN; INSERT INTO h VALUES (11, 2); INSERT INTO p VALUES (2);"
                        " COMMIT;");
  EXPECT_THROW(RawExec(Old("d.mdb"), "PRAGMA foreign_keys = ON; BEGIN; INSERT INTO h VALUES (12, 9); COMMIT;"),
               std::runtime_error);
  RawExec(Old("d.mdb"), "PRAGMA foreign_keys = ON; DELETE FROM p WHERE id = 1;");
  EXPECT_EQ(RawQuery(Old("d.mdb"), "SELECT id FROM h ORDER BY id"), (Rows{{"11"}}));
  Rows settled = Schema(Old("d.mdb"));
  RunResult second = Transform();
  EXPECT_EQ(second.code, kExitOk) << second.out << second.err;
  EXPECT_EQ(Schema(Old("d.mdb")), settled);
}

}  // namespace
}  // namespace brenquil
