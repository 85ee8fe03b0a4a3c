// Another program writing a database file, for the tests that use the same
// file meanwhile: a process of its own, as an application keeping its data
// in the file would be, linked to SQLite alone.
//
//   busy_writer commits FILE MODE PAUSE_US
//       one row per transaction into the table "escritor" (id, datos), the
//       file in journal mode MODE (wal or delete), PAUSE_US microseconds
//       between two transactions, until its standard input closes;
//   busy_writer churns FILE MODE PAUSE_US
//       the same, each transaction also deleting the row 300 ids back;
//   busy_writer holds FILE MODE
//       one row in a transaction that holds the file's write lock until its
//       standard input closes, then commits it.
//
// Prints "listo" once its first row is committed (holds: once the lock is
// taken), and at the end the number of rows it committed; the ids are 1 to
// that number. Commits without waiting for the disk (synchronous OFF) and
// checkpoints often, so the file grows under its readers all the time.
#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Rows a churning writer keeps (test::OtherWriter::kChurnKeeps).
constexpr long kChurnKeeps = 300;

bool Exec(sqlite3* db, const std::string& sql) {
  return sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

void Say(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

// True once the test has closed this program's standard input.
bool Told() {
  char c;
  ssize_t n = ::read(STDIN_FILENO, &c, 1);
  return n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR);
}

// One row per transaction; a transaction that fails (the file held longer
// than the busy timeout) is rolled back and tried again with the same id.
// `keep` > 0: each transaction also deletes the row `keep` ids back.
int Commits(sqlite3* db, long pause_us, long keep) {
  ::fcntl(STDIN_FILENO, F_SETFL, ::fcntl(STDIN_FILENO, F_GETFL) | O_NONBLOCK);
  long committed = 0;
  while (!Told()) {
    const std::string id = std::to_string(committed + 1);
    const std::string old = keep > 0 ? "DELETE FROM escritor WHERE id = " + std::to_string(committed + 1 - keep) + ";" : "";
    if (Exec(db, "BEGIN IMMEDIATE; INSERT INTO escritor VALUES (" + id + ", randomblob(700));" + old + "COMMIT")) {
      if (++committed == 1) Say("listo");
    } else {
      Exec(db, "ROLLBACK");
    }
    if (pause_us > 0) ::usleep(static_cast<useconds_t>(pause_us));
  }
  Say(std::to_string(committed));
  return 0;
}

int Holds(sqlite3* db) {
  if (!Exec(db, "BEGIN IMMEDIATE; INSERT INTO escritor VALUES (1, randomblob(700))")) return 1;
  Say("listo");
  char c;
  while (::read(STDIN_FILENO, &c, 1) > 0) {
  }
  if (!Exec(db, "COMMIT")) return 1;
  Say("1");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "uso: busy_writer commits|holds ARCHIVO MODO [PAUSA_US]\n");
    return 64;
  }
  const std::string what = argv[1], mode = argv[3];
  sqlite3* db = nullptr;
  if (sqlite3_open(argv[2], &db) != SQLITE_OK) return 1;
  sqlite3_busy_timeout(db, 20000);
  if (!Exec(db, "PRAGMA journal_mode = " + mode) || !Exec(db, "PRAGMA synchronous = OFF") ||
      !Exec(db, "PRAGMA wal_autocheckpoint = 64") ||
      !Exec(db, "CREATE TABLE IF NOT EXISTS escritor (id INTEGER PRIMARY KEY, datos BLOB)")) {
    std::fprintf(stderr, "busy_writer: %s\n", sqlite3_errmsg(db));
    return 1;
  }
  const long pause = argc > 4 ? std::atol(argv[4]) : 0;
  int code = what == "holds" ? Holds(db) : Commits(db, pause, what == "churns" ? kChurnKeeps : 0);
  sqlite3_close(db);
  return code;
}
