// An installation made by `setup` in a temporary folder, whose old databases
// and models the tests write with the sqlite3 library, and runs of the
// command line's `transform` over it, in-process. Header only: only the rooms
// that link the command line include it.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "engine/dbengine.h"
#include "tests/support/test_support.h"

namespace brenquil::test {

using Rows = std::vector<std::vector<std::string>>;

struct CliRun {
  int code = -1;
  std::string out, err;
  bool Says(const std::string& text) const {
    return out.find(text) != std::string::npos || err.find(text) != std::string::npos;
  }
  std::string Both() const { return out + err; }
};

// brenquil-cli with `args`, run in this process.
inline CliRun Cli(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  int code = RunCli(args, out, err);
  return {code, out.str(), err.str()};
}

class CliRunFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    std::ostringstream out, err;
    ASSERT_EQ(RunCli({"setup", home_}, out, err), kExitOk) << err.str();
    std::filesystem::create_directories(data_);
  }
  // `transform`, with `extra` arguments (--plan).
  CliRun Transform(std::vector<std::string> extra = {}) {
    // No handle of this process's own writes stays open over the run.
    DBEngine::Instance().CloseIdle();
    std::vector<std::string> args = {"transform", "--home", home_, "--data", data_};
    args.insert(args.end(), extra.begin(), extra.end());
    std::ostringstream out, err;
    int code = RunCli(args, out, err);
    DBEngine::Instance().CloseIdle();
    return {code, out.str(), err.str()};
  }
  std::string Old(const std::string& name) const { return data_ + "/" + name; }
  std::string Model(const std::string& name) const { return home_ + "/modelos/" + name; }
  // The file's user objects as SQLite stores them, in their order.
  Rows Schema(const std::string& path) {
    return RawQuery(path, "SELECT type, name, rootpage, sql FROM sqlite_master WHERE name NOT LIKE 'MSys%'"
                          " AND name NOT LIKE 'sqlite_autoindex_MSys%' ORDER BY rowid");
  }
  std::string Declared(const std::string& path, const std::string& name) {
    Rows rows = RawQuery(path, "SELECT sql FROM sqlite_master WHERE name = '" + name + "'");
    return rows.empty() ? "" : rows[0][0];
  }
  // A second run changes no byte of the data folder.
  void ExpectSecondRunChangesNothing() {
    auto before = FolderContents(data_);
    CliRun again = Transform();
    EXPECT_TRUE(again.code == kExitOk || again.code == kExitJournal) << again.Both();
    EXPECT_TRUE(FolderContents(data_) == before) << "the second run changed the data folder\n" << again.Both();
  }

  TempDir dir_;
  std::string home_ = dir_ / "home";
  std::string data_ = dir_ / "datos";
};

}  // namespace brenquil::test
