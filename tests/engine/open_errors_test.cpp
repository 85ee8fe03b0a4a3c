// Bad input: every file the engine refuses gets a clear error naming it, and
// is left exactly as it was.
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "engine/dbengine.h"
#include "tests/support/test_support.h"

namespace brenquil {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

void MakeValid(const std::string& path) {
  {
    auto db = DBEngine::Instance().CreateDatabase(path);
    auto t = db->CreateTableDef("T");
    t->Fields().Append(t->CreateField("A", dbText, 10));
    db->TableDefs().Append(t);
  }
  DBEngine::Instance().CloseIdle();  // everything in the file itself
}

struct BadFile {
  const char* name;
  int number;
  std::function<void(const std::string&)> make;
};

TEST(OpenErrors, RefusedFilesAreNamedAndLeftUnchanged) {
  TempDir dir;
  std::string valid = dir / "valida.mdb";
  MakeValid(valid);
  std::string whole = ReadBytes(valid);
  // The header as another SQLite writer could have left it, with one fault:
  // the log mode (bytes 18 and 19), incremental vacuum without auto-vacuum.
  auto edited = [&](bool wal, bool incremental) {
    std::string bytes = whole;
    if (wal) bytes[18] = bytes[19] = 2;
    if (incremental) bytes[67] = 1;
    return bytes;
  };
  const std::vector<BadFile> cases = {
      {"falta.mdb", err::kFileNotFound, [](const std::string&) {}},
      {"texto.mdb", err::kUnrecognisedFormat, [](const std::string& p) { WriteBytes(p, "esto no es una base de datos\n"); }},
      {"vacia.mdb", err::kUnrecognisedFormat, [](const std::string& p) { WriteBytes(p, ""); }},
      {"truncada.mdb", err::kCannotOpen, [&](const std::string& p) { WriteBytes(p, whole.substr(0, whole.size() / 2 + 100)); }},
      {"truncada-wal.mdb", err::kCannotOpen,
       [&](const std::string& p) { WriteBytes(p, edited(true, false).substr(0, whole.size() / 2 + 100)); }},
      {"incremental.mdb", err::kCannotOpen, [&](const std::string& p) { WriteBytes(p, edited(false, true)); }},
      {"incremental-wal.mdb", err::kCannotOpen, [&](const std::string& p) { WriteBytes(p, edited(true, true)); }},
      {"cabecera.mdb", err::kUnrecognisedFormat, [&](const std::string& p) { WriteBytes(p, whole.substr(0, 50)); }},
      {"carpeta.mdb", err::kUnrecognisedFormat, [](const std::string& p) { std::filesystem::create_directory(p); }},
  };
  for (const auto& c : cases) {
    std::string path = dir / c.name;
    c.make(path);
    std::string before = ReadBytes(path);
    try {
      DBEngine::Instance().OpenDatabase(path);
      ADD_FAILURE() << c.name << " opened";
    } catch (const Error& e) {
      EXPECT_EQ(e.Number(), c.number) << c.name << ": " << e.Text();
      EXPECT_NE(e.Text().find(path), std::string::npos) << c.name << " names the file: " << e.Text();
      EXPECT_EQ(e.Text().rfind(ErrorDescription(c.number), 0), 0u) << c.name << ": " << e.Text();
    }
    EXPECT_TRUE(ReadBytes(path) == before) << c.name << " was changed";
    EXPECT_FALSE(std::filesystem::exists(path + "-wal")) << c.name;
    EXPECT_FALSE(std::filesystem::exists(path + "-journal")) << c.name;
  }
}

TEST(OpenErrors, ReadOnlyFileOpensButRefusesChanges) {
  TempDir dir;
  std::string path = dir / "solo.mdb";
  MakeValid(path);
  chmod(path.c_str(), 0444);
  std::string before = ReadBytes(path);
  auto db = DBEngine::Instance().OpenDatabase(path);
  EXPECT_FALSE(db->Updatable());
  auto t = db->TableDefs()["T"];
  EXPECT_FALSE(t->Updatable());
  try {
    t->Fields().Append(t->CreateField("B", dbLong));
    ADD_FAILURE() << "a read-only file took a field";
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), err::kReadOnly);
    EXPECT_NE(e.Text().find(path), std::string::npos) << e.Text();
  }
  auto rs = db->OpenRecordset("T");
  rs->AddNew();
  rs->SetValue("A", std::string("x"));
  EXPECT_THROW(rs->Update(), Error);
  rs.reset();
  t.reset();
  db.reset();
  DBEngine::Instance().CloseIdle();
  EXPECT_TRUE(ReadBytes(path) == before) << "the read-only file was changed";
}

TEST(OpenErrors, FileLockedByAnotherProcess) {
  TempDir dir;
  std::string path = dir / "bloqueada.mdb";
  MakeValid(path);
  test::RawExec(path, "PRAGMA journal_mode = DELETE");
  int ready[2], release[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(release), 0);
  pid_t child = fork();
  if (child == 0) {
    // Another program holds an exclusive lock until told to let go.
    sqlite3* raw = nullptr;
    sqlite3_open(path.c_str(), &raw);
    int rc = sqlite3_exec(raw, "BEGIN EXCLUSIVE; INSERT INTO T VALUES ('bloqueo')", nullptr, nullptr, nullptr);
    char c = rc == SQLITE_OK ? 'y' : 'n';
    if (write(ready[1], &c, 1) != 1) _exit(2);
    if (read(release[0], &c, 1) != 1) _exit(2);
    sqlite3_exec(raw, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(raw);
    _exit(0);
  }
  char c = 0;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  ASSERT_EQ(c, 'y');
  std::string before = ReadBytes(path);
  try {
    DBEngine::Instance().OpenDatabase(path);
    ADD_FAILURE() << "a locked file opened";
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), err::kFileInUse) << e.Text();
    EXPECT_NE(e.Text().find(path), std::string::npos) << e.Text();
  }
  EXPECT_TRUE(ReadBytes(path) == before) << "the locked file was changed";
  ASSERT_EQ(write(release[1], "x", 1), 1);
  int status = 0;
  waitpid(child, &status, 0);
  auto db = DBEngine::Instance().OpenDatabase(path);
  EXPECT_EQ(db->TableDefs()["T"]->Fields().Count(), 1) << "opens once the lock is gone";
}

TEST(OpenErrors, CreateDatabaseRefusesAnExistingPath) {
  TempDir dir;
  std::string path = dir / "x.mdb";
  WriteBytes(path, "contenido");
  try {
    DBEngine::Instance().CreateDatabase(path);
    ADD_FAILURE();
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), err::kDatabaseExists);
  }
  EXPECT_EQ(ReadBytes(path), "contenido");
}

// Opens `path` in a child process that has given up every capability, so
// that folder permissions hold even when the tests run as root; returns the
// error's number and text, or "" when the child could still ignore them.
struct OpenResult {
  bool permissions_hold = false;
  int number = 0;
  std::string text;
};
OpenResult OpenWithoutPrivileges(const std::string& path, const std::string& folder, int folder_access) {
  int out[2];
  if (pipe(out) != 0) return {};
  pid_t child = fork();
  if (child == 0) {
    close(out[0]);
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct none[2] = {};
    syscall(SYS_capset, &header, none);
    std::string message = "-";  // permissions do not hold here
    if (::access(folder.c_str(), folder_access) != 0) {
      try {
        DBEngine::Instance().OpenDatabase(path);
        message = "0\t";
      } catch (const Error& e) {
        message = std::to_string(e.Number()) + "\t" + e.Text();
      }
    }
    bool sent = write(out[1], message.data(), message.size()) == static_cast<ssize_t>(message.size());
    _exit(sent ? 0 : 1);
  }
  close(out[1]);
  std::string message;
  char buffer[512];
  for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;) message.append(buffer, static_cast<size_t>(n));
  close(out[0]);
  int status = 0;
  waitpid(child, &status, 0);
  OpenResult result;
  auto tab = message.find('\t');
  if (message == "-" || tab == std::string::npos) return result;
  result.permissions_hold = true;
  result.number = std::stoi(message.substr(0, tab));
  result.text = message.substr(tab + 1);
  return result;
}

TEST(OpenErrors, FolderPermissionsAreNamedAsSuchNotAsDamage) {
  struct Case {
    const char* what;
    mode_t folder_mode;
    int denied;  // the access the folder refuses
    bool wal;
  };
  const Case cases[] = {
      {"folder that cannot be entered", 0600, X_OK, false},
      {"log-mode file in a folder that cannot be written", 0555, W_OK, true},
  };
  for (const Case& c : cases) {
    TempDir dir;
    const std::string folder = dir / "carpeta";
    std::filesystem::create_directory(folder);
    const std::string path = folder + "/base.mdb";
    MakeValid(path);
    if (c.wal) test::RawExec(path, "PRAGMA journal_mode = WAL");
    std::string before = ReadBytes(path);
    ASSERT_EQ(chmod(folder.c_str(), c.folder_mode), 0);
    OpenResult result = OpenWithoutPrivileges(path, folder, c.denied);
    chmod(folder.c_str(), 0755);
    if (!result.permissions_hold) GTEST_SKIP() << "this process ignores folder permissions";
    EXPECT_EQ(result.number, err::kFileAccess) << c.what << ": " << result.text;
    EXPECT_EQ(result.text.rfind(ErrorDescription(err::kFileAccess), 0), 0u) << c.what << ": " << result.text;
    EXPECT_NE(result.text.find("la carpeta '" + folder + "'"), std::string::npos) << c.what << ": " << result.text;
    EXPECT_EQ(result.text.find("dañado"), std::string::npos) << c.what << ": " << result.text;
    EXPECT_TRUE(ReadBytes(path) == before) << c.what;
  }
}

}  // namespace
}  // namespace brenquil
