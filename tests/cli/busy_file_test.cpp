// `schema` and `transform` on databases another program writes meanwhile:
// nothing is ever called damaged, a transformation keeps every row of both
// writers in a sound file, and an old database held through the run is
// journaled as in use, to be tried again, and left as the other program has it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "cli/cli.h"
#include "tests/support/cli_run_fixture.h"
#include "tests/support/test_support.h"

namespace brenquil {
namespace {

using test::OtherWriter;
using test::RawColumns;
using test::RawExec;
using test::RawQuery;
using test::TempDir;
using Rows = std::vector<std::vector<std::string>>;

using test::Cli;
using test::CliRun;

// In use (3045), or a change refused as locked (3218).
bool SaysBusy(const CliRun& run) { return run.Says("error 3045") || run.Says("error 3218"); }

const char* const kModes[] = {"wal", "delete"};

const char* const kWriterTable = "CREATE TABLE escritor (id INTEGER PRIMARY KEY, datos BLOB);";

TEST(BusyFileCli, SchemaOfAFileBeingWrittenNeverSaysDamaged) {
  for (const std::string mode : kModes) {
    TempDir dir(test::MemoryFolder());
    const std::string path = dir / "base.mdb";
    RawExec(path, "PRAGMA journal_mode = " + mode + ";" + kWriterTable +
                      "CREATE TABLE Clientes (id INTEGER PRIMARY KEY, nombre VARCHAR(40))");
    // The file grows between any two reads of it.
    OtherWriter writer(path, mode, OtherWriter::Kind::kCommits, 30);
    int shown = 0;
    for (int i = 0; i < 200; ++i) {
      CliRun run = Cli({"schema", path, "--json"});
      if (run.code == kExitOk) {
        EXPECT_EQ(nlohmann::json::parse(run.out)["tables"].size(), 2u) << mode << ", try " << i;
        ++shown;
      } else {
        EXPECT_TRUE(SaysBusy(run)) << mode << ", try " << i << ": " << run.err;
      }
      EXPECT_FALSE(run.Says("dañado")) << mode << ", try " << i << ": " << run.err;
    }
    EXPECT_GT(shown, 100) << mode;
    EXPECT_EQ(OtherWriter::Whole(path, 1, writer.Stop()), "") << mode;
  }
}

class BusyTransform : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(Cli({"setup", home_}).code, kExitOk);
    std::filesystem::create_directories(data_);
  }
  // A fresh data folder with one old database, in journal mode `mode`, that
  // its model (in WAL mode) has a table, a field and an index more than;
  // both have the other program's table.
  void MakePair(const std::string& mode) {
    std::filesystem::remove_all(data_);
    std::filesystem::create_directories(data_);
    std::filesystem::remove(model_);
    RawExec(model_,
            std::string("PRAGMA journal_mode = wal;") + kWriterTable +
            "CREATE TABLE Clientes (id INTEGER PRIMARY KEY, nombre VARCHAR(40), correo VARCHAR(80));"
            "CREATE TABLE Pedidos (id INTEGER PRIMARY KEY, cliente INTEGER, total REAL);"
            "CREATE INDEX pedidos_cliente ON Pedidos (cliente)");
    RawExec(old_, "PRAGMA journal_mode = " + mode + ";" + kWriterTable +
                      "CREATE TABLE Clientes (id INTEGER PRIMARY KEY, nombre VARCHAR(40));"
                      "INSERT INTO Clientes VALUES (1, 'Ana'), (2, 'Íñigo')");
  }
  CliRun Transform() { return Cli({"transform", "--home", home_, "--data", data_}); }
  // What the run wrote: the table, the field, the index and the engine's
  // record of the index's name.
  bool Transformed() {
    const auto columns = RawColumns(old_, "Clientes");
    return RawQuery(old_, "SELECT name FROM sqlite_master WHERE name IN ('Pedidos', 'pedidos_cliente') ORDER BY name") ==
               Rows{{"Pedidos"}, {"pedidos_cliente"}} &&
           std::find(columns.begin(), columns.end(), "correo") != columns.end() &&
           RawQuery(old_, "SELECT TableName, IndexName FROM MSysIndexes") == Rows{{"Pedidos", "pedidos_cliente"}};
  }
  bool Untouched() {
    return RawQuery(old_, "SELECT name FROM sqlite_master WHERE name NOT IN ('escritor', 'Clientes')").empty() &&
           RawColumns(old_, "Clientes") == std::vector<std::string>{"id", "nombre"};
  }

  TempDir dir_{test::MemoryFolder()};
  std::string home_ = dir_ / "home";
  std::string data_ = dir_ / "datos";
  std::string model_ = home_ + "/modelos/base.mdb";
  std::string old_ = data_ + "/base.mdb";
};

TEST_F(BusyTransform, OtherWritersMeanwhileLoseNothingAndNothingIsDamaged) {
  for (int round = 0; round < 10; ++round) {
    const std::string mode = kModes[round % 2];
    MakePair(mode);
    // Applications writing the old database and the model during the run.
    OtherWriter writer(old_, mode, OtherWriter::Kind::kCommits);
    OtherWriter model_writer(model_, "wal", OtherWriter::Kind::kCommits);
    CliRun run = Transform();
    const long committed = writer.Stop();
    EXPECT_EQ(OtherWriter::Whole(model_, 1, model_writer.Stop()), "") << mode;
    EXPECT_FALSE(run.Says("dañado")) << mode << ": " << run.err;
    EXPECT_FALSE(run.Says("3049")) << mode << ": " << run.err;
    // Worked on consistently, or journaled as busy and left alone.
    if (run.code == kExitOk) {
      EXPECT_TRUE(Transformed()) << mode;
    } else {
      EXPECT_EQ(run.code, kExitJournal) << mode << ": " << run.err;
      EXPECT_TRUE(SaysBusy(run)) << mode << ": " << run.err;
      EXPECT_TRUE(Untouched()) << mode << ": " << run.err;
    }
    EXPECT_EQ(RawQuery(old_, "SELECT id, nombre FROM Clientes ORDER BY id"), (Rows{{"1", "Ana"}, {"2", "Íñigo"}}))
        << mode;
    EXPECT_EQ(OtherWriter::Whole(old_, 1, committed), "") << mode;
  }
}

TEST_F(BusyTransform, AnOldDatabaseHeldThroughTheRunIsJournaledAsBusyAndLeftAlone) {
  for (const std::string mode : kModes) {
    MakePair(mode);
    OtherWriter writer(old_, mode, OtherWriter::Kind::kHolds);
    CliRun run = Transform();
    EXPECT_EQ(run.code, kExitJournal) << mode << ": " << run.err;
    EXPECT_TRUE(SaysBusy(run)) << mode << ": " << run.err;
    EXPECT_TRUE(run.Says("'" + old_ + "'")) << mode << ": the journal names the file: " << run.err;
    EXPECT_TRUE(run.Says("vuelva a intentarlo")) << mode << ": " << run.err;
    EXPECT_FALSE(run.Says("dañado")) << mode << ": " << run.err;
    EXPECT_EQ(writer.Stop(), 1) << mode;
    EXPECT_TRUE(Untouched()) << mode;
    EXPECT_EQ(OtherWriter::Whole(old_, 1, 1), "") << mode;
  }
}

}  // namespace
}  // namespace brenquil
