// A file the import cannot read, or an OUT it must not touch, is a numbered
// error that names it, and leaves nothing behind: no OUT, no temporary file,
// the input as it was.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "engine/dbengine.h"
#include "engine/error.h"
#include "jet/jet_file.h"
#include "jet/jet_import.h"
#include "tests/jet/jet_files.h"
#include "tests/jet/sqlite_cells.h"
#include "tests/support/test_support.h"

namespace brenquil {
namespace {

namespace fs = std::filesystem;
using test::JetFile;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

std::vector<std::string> Entries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(JetImportErrors, AnExistingOutIsNeverReplaced) {
  SKIP_WITHOUT_JET_FILES();
  TempDir dir;
  const std::string out = dir / "ya.db";
  WriteBytes(out, "lo que había");
  try {
    jet::ImportJet(JetFile("testV1997.mdb"), out);
    ADD_FAILURE() << "importó sobre un archivo que existía";
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), err::kDatabaseExists);
    EXPECT_NE(e.Text().find(out), std::string::npos) << e.Text();
  }
  EXPECT_EQ(ReadBytes(out), "lo que había");
  EXPECT_EQ(Entries(dir.Path()), std::vector<std::string>{"ya.db"});
  EXPECT_EQ(
      test::NumberOf([&] { jet::ImportJet(JetFile("testV1997.mdb"), dir / "no/hay/carpeta.db"); }),
      err::kPathNotFound);
}

struct Unreadable {
  const char* name;
  int number;
  std::function<void(const std::string&)> make;
};

TEST(JetImportErrors, UnreadableFilesGiveTheirNumberedErrorAndLeaveNothing) {
  SKIP_WITHOUT_JET_FILES();
  const std::string jet3 = ReadBytes(JetFile("testV1997.mdb"));
  const std::string jet4 = ReadBytes(JetFile("indexTestV2000.mdb"));
  const std::vector<Unreadable> cases = {
      {"texto.mdb", err::kUnrecognisedFormat,
       [](const std::string& p) { WriteBytes(p, "esto no es una base Jet\n"); }},
      {"vacia.mdb", err::kUnrecognisedFormat, [](const std::string& p) { WriteBytes(p, ""); }},
      {"sqlite.mdb", err::kUnrecognisedFormat,
       [](const std::string& p) { test::RawExec(p, "CREATE TABLE t (a)"); }},
      {"falta.mdb", err::kFileNotFound, [](const std::string&) {}},
      // Cut short at a page boundary: the tables' pages are past its end.
      {"mitad3.mdb", err::kCannotOpen,
       [&](const std::string& p) { WriteBytes(p, jet3.substr(0, jet3.size() / 2 / 2048 * 2048)); }},
      {"mitad4.mdb", err::kCannotOpen,
       [&](const std::string& p) { WriteBytes(p, jet4.substr(0, jet4.size() / 2 / 4096 * 4096)); }},
      {"cortada.mdb", err::kCannotOpen,
       [&](const std::string& p) { WriteBytes(p, jet4.substr(0, jet4.size() - 1000)); }},
      {"cabecera.mdb", err::kCannotOpen,
       [&](const std::string& p) { WriteBytes(p, jet4.substr(0, 4096)); }},
      // A database password: any set bit in the password's place of the
      // (encoded) header page.
      {"clave.mdb", err::kNotValidPassword,
       [&](const std::string& p) {
         std::string bytes = jet4;
         bytes[0x42] = static_cast<char>(bytes[0x42] ^ 0x5A);
         WriteBytes(p, bytes);
       }},
      {"clave3.mdb", err::kNotValidPassword,
       [&](const std::string& p) {
         std::string bytes = jet3;
         bytes[0x43] = static_cast<char>(bytes[0x43] ^ 0x01);
         WriteBytes(p, bytes);
       }},
  };
  for (const auto& c : cases) {
    TempDir dir;
    const std::string input = dir / c.name, out = dir / "salida.db";
    c.make(input);
    const std::string before = ReadBytes(input);
    const auto entries = Entries(dir.Path());
    try {
      jet::ImportJet(input, out);
      ADD_FAILURE() << c.name << " se importó";
    } catch (const Error& e) {
      EXPECT_EQ(e.Number(), c.number) << c.name << ": " << e.Text();
      EXPECT_NE(e.Text().find(input), std::string::npos) << c.name << ": " << e.Text();
    }
    EXPECT_EQ(ReadBytes(input), before) << c.name;
    EXPECT_EQ(Entries(dir.Path()), entries) << c.name << ": dejó archivos";
    // What is not Jet at all is told apart from a Jet file that cannot be read.
    EXPECT_EQ(jet::IsJetFile(input),
              c.number == err::kCannotOpen || c.number == err::kNotValidPassword)
        << c.name;
  }
}

TEST(JetImportErrors, AKilledImportLeavesNoHalfFileUnderTheFinalName) {
  SKIP_WITHOUT_JET_FILES();
  TempDir dir;
  const std::string copy = dir / "grande.mdb";
  test::CopyWithLongOle(copy, 2000);  // 8 MB of OLE: long enough to be caught mid-way
  for (int delay_ms : {5, 40, 150}) {
    const std::string out = dir / ("salida" + std::to_string(delay_ms) + ".db");
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      try {
        jet::ImportJet(copy, out);
      } catch (...) {
        _exit(2);
      }
      _exit(0);
    }
    usleep(static_cast<useconds_t>(delay_ms) * 1000);
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    // Either the import finished before the kill, whole, or OUT is not there.
    if (fs::exists(out)) {
      EXPECT_EQ(test::OneCell(out, "PRAGMA integrity_check").text, "ok") << delay_ms;
    }
  }
  // What a killed import leaves is hidden and carries the unfinished mark.
  for (const auto& name : Entries(dir.Path())) {
    if (!name.ends_with(".db") && name != "grande.mdb") {
      EXPECT_TRUE(name[0] == '.' && name.find(".importando-") != std::string::npos) << name;
    }
  }
}

}  // namespace
}  // namespace brenquil
