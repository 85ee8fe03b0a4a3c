// The models without an old namesake arrive in the data folder as the
// databases they hold: committed content only, in rollback-journal mode, and
// nothing at all for a model that is no database. Files are written and
// checked with the sqlite3 library.
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <set>

#include "engine/error.h"
#include "tests/support/installation_fixture.h"

namespace brenquil::test {
namespace {

namespace fs = std::filesystem;
using Rows = std::vector<std::vector<std::string>>;

// A connection of the test's own, closed when it goes.
class Writer {
 public:
  explicit Writer(const std::string& path) {
    if (sqlite3_open(path.c_str(), &db_) != SQLITE_OK) ADD_FAILURE() << sqlite3_errmsg(db_);
  }
  ~Writer() { sqlite3_close(db_); }
  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;
  void Exec(const std::string& sql) {
    char* message = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK)
      ADD_FAILURE() << sql << ": " << (message ? message : "?");
    sqlite3_free(message);
  }
  sqlite3* Handle() { return db_; }

 private:
  sqlite3* db_ = nullptr;
};

// Rows 1..n of Notas as the statements below write them.
Rows NotesUpTo(int n) {
  Rows rows;
  for (int i = 1; i <= n; ++i) rows.push_back({std::to_string(i), "nota " + std::to_string(i)});
  return rows;
}
constexpr const char* kNotes =
    "CREATE TABLE Notas (Id INTEGER PRIMARY KEY, Texto VARCHAR(50));"
    "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %d) "
    "INSERT INTO Notas SELECT i, 'nota ' || i FROM n;";

std::string Notes(int n) {
  char sql[512];
  std::snprintf(sql, sizeof sql, kNotes, n);
  return sql;
}

std::set<std::string> Entries(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename());
  return names;
}

class NewDatabaseCopy : public ::testing::Test, public InstallationFixture {
 protected:
  void Run() {
    Window().Form_Activate();
    Window().Command13_Click();
  }
  // What a copy must be whatever the model was: whole, in rollback-journal
  // mode, alone in the folder.
  void ExpectSoundCopy(const std::string& name) {
    const std::string copy = OldPath(name);
    ASSERT_TRUE(fs::is_regular_file(copy)) << name;
    for (const char* side : {"-wal", "-shm", "-journal"})
      EXPECT_FALSE(fs::exists(copy + side)) << name << side;
    EXPECT_EQ(RawQuery(copy, "PRAGMA integrity_check"), (Rows{{"ok"}})) << name;
    EXPECT_EQ(RawQuery(copy, "PRAGMA journal_mode"), (Rows{{"delete"}})) << name;
  }
};

TEST_F(NewDatabaseCopy, CommittedRowsStillInTheModelsWalAreCopied) {
  const std::string model = ModelPath("Registro.mdb");
  {
    Writer writer(model);
    writer.Exec("PRAGMA journal_mode = WAL");
    writer.Exec(Notes(300));
    sqlite3_db_config(writer.Handle(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
  }
  ASSERT_GT(fs::file_size(model + "-wal"), 0u) << "the rows must still be in the log";

  Run();

  EXPECT_TRUE(Window().Journal.Empty()) << FormatEntry(Window().Journal.Entries().at(0));
  ExpectSoundCopy("Registro.mdb");
  EXPECT_EQ(RawQuery(OldPath("Registro.mdb"), "SELECT Id, Texto FROM Notas ORDER BY Id"),
            NotesUpTo(300));
  EXPECT_EQ(Window().Report.NewDatabases(), (std::vector<std::string>{OldPath("Registro.mdb")}));
}

TEST_F(NewDatabaseCopy, AModelWithAHotJournalArrivesAsItsCommittedContent) {
  // A writer that dies mid-transaction leaves the file holding pages of the
  // transaction and the journal that undoes them: copy the pair while the
  // transaction is open, as a crash would leave it.
  const std::string work = Data() + "/../obra.db";
  const std::string model = ModelPath("Caja.mdb");
  Writer writer(work);
  writer.Exec("PRAGMA journal_mode = DELETE");
  writer.Exec(Notes(40));
  auto committed_size = fs::file_size(work);
  writer.Exec("PRAGMA cache_size = 2");
  writer.Exec("BEGIN");
  writer.Exec("UPDATE Notas SET Texto = 'a medias'");
  writer.Exec("CREATE TABLE Relleno (b BLOB)");
  writer.Exec(
      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 400) "
      "INSERT INTO Relleno SELECT randomblob(900) FROM n");
  fs::copy_file(work, model);
  fs::copy_file(work + "-journal", model + "-journal");
  writer.Exec("ROLLBACK");
  ASSERT_GT(fs::file_size(model), committed_size) << "the transaction's pages must be in the file";
  ASSERT_GT(fs::file_size(model + "-journal"), 0u);

  Run();

  EXPECT_TRUE(Window().Journal.Empty()) << FormatEntry(Window().Journal.Entries().at(0));
  ExpectSoundCopy("Caja.mdb");
  EXPECT_EQ(RawQuery(OldPath("Caja.mdb"), "SELECT Id, Texto FROM Notas ORDER BY Id"),
            NotesUpTo(40));
  EXPECT_EQ(RawQuery(OldPath("Caja.mdb"),
                     "SELECT count(*) FROM sqlite_master WHERE name = 'Relleno'"),
            (Rows{{"0"}}));
}

TEST_F(NewDatabaseCopy, AModelThatIsNoDatabaseIsJournaledAndNotCopied) {
  Model("Antes.mdb", {{"A", {{"a", dbLong}}}});
  Model("Zeta.mdb", {{"Z", {{"z", dbLong}}}});
  RawExec(ModelPath("Zeta.mdb"), "INSERT INTO Z VALUES (7)");
  // Pages enough that half the file is a whole number of pages.
  Model("Cortada.mdb", {{"C1", {{"c", dbText, 50}}}, {"C2", {{"c", dbText, 50}}}});
  DBEngine::Instance().CloseIdle();
  auto whole = ReadBytes(ModelPath("Cortada.mdb"));
  WriteBytes(ModelPath("Cortada.mdb"), whole.substr(0, whole.size() / 2 / 4096 * 4096));
  WriteBytes(ModelPath("Vacía.mdb"), "");
  WriteBytes(ModelPath("Texto.mdb"), "Esto no es una base de datos.\n");
  fs::create_directories(ModelPath("Carpeta.mdb") + "/dentro");
  struct Case {
    std::string name;
    int number;
    std::string detail;
  };
  const Case cases[] = {
      {"Carpeta.mdb", err::kUnrecognisedFormat, "es una carpeta, no una base de datos"},
      {"Cortada.mdb", err::kCannotOpen, "está incompleto o dañado"},
      {"Texto.mdb", err::kUnrecognisedFormat, "no es una base de datos"},
      {"Vacía.mdb", err::kUnrecognisedFormat, "está vacío"},
  };

  Run();

  ASSERT_EQ(Window().Journal.Entries().size(), std::size(cases));
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    const auto& entry = Window().Journal.Entries()[i];
    EXPECT_EQ(entry.operation, "CopyNewDatabases") << c.name;
    EXPECT_EQ(entry.model, ModelPath(c.name)) << c.name;
    EXPECT_EQ(entry.old, OldPath(c.name)) << c.name;
    EXPECT_EQ(entry.number, c.number) << c.name;
    EXPECT_EQ(entry.text, MakeError(c.number, "'" + ModelPath(c.name) + "' " + c.detail).Text())
        << c.name;
  }
  // The good ones are copied, and nothing else is left in the folder.
  EXPECT_EQ(Entries(Data()), (std::set<std::string>{"Antes.mdb", "Zeta.mdb"}));
  ExpectSoundCopy("Antes.mdb");
  ExpectSoundCopy("Zeta.mdb");
  EXPECT_EQ(RawQuery(OldPath("Zeta.mdb"), "SELECT z FROM Z"), (Rows{{"7"}}));
  EXPECT_EQ(Window().Label4.Caption(), "Proceso Terminado");
}

TEST_F(NewDatabaseCopy, ACopyLeftByAnEndedRunIsRemovedAndOneUnderWayIsKept) {
  Model("Nueva.mdb", {{"N", {{"n", dbLong}}}});
  const std::string stale = Data() + "/.Nueva.mdb.brenquil-copia-4242";
  WriteBytes(stale, "SQLite format 3");
  WriteBytes(stale + "-journal", "a medias");
  WriteBytes(Data() + "/.Vieja.mdb.brenquil-copia-17-journal", "huérfano");
  // Another run writing its copy holds it locked.
  const std::string busy = Data() + "/.Otra.mdb.brenquil-copia-99";
  WriteBytes(busy, "en curso");
  int fd = ::open(busy.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
  // Hidden files of the user's stay.
  WriteBytes(Data() + "/.Nueva.mdb.brenquil-copia-", "del usuario");
  WriteBytes(Data() + "/.notas", "del usuario");

  Run();
  ::close(fd);

  EXPECT_TRUE(Window().Journal.Empty()) << FormatEntry(Window().Journal.Entries().at(0));
  EXPECT_EQ(Entries(Data()),
            (std::set<std::string>{"Nueva.mdb", ".Otra.mdb.brenquil-copia-99",
                                   ".Nueva.mdb.brenquil-copia-", ".notas"}));
  EXPECT_EQ(ReadBytes(busy), "en curso");
  ExpectSoundCopy("Nueva.mdb");
}

}  // namespace
}  // namespace brenquil::test
