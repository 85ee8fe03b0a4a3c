// An installation in a temporary folder (a home folder with its catalogues and
// sample database, a data folder) and a main window on it; databases made
// through the engine. The fixture every room's step and driver tests share.
// Header only: only rooms that link the core include it.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/dbengine.h"
#include "shell/actualiz.h"
#include "shell/installation.h"
#include "shell/paths.h"
#include "tests/support/test_support.h"

namespace brenquil::test {

struct FieldSpec {
  std::string name;
  int type;
  long size = 0;
};
struct TableSpec {
  std::string name;
  std::vector<FieldSpec> fields;
};

inline void MakeDatabase(const std::string& path, const std::vector<TableSpec>& tables) {
  auto db = DBEngine::Instance().CreateDatabase(path);
  for (const auto& spec : tables) {
    auto table = db->CreateTableDef(spec.name);
    for (const auto& f : spec.fields)
      table->Fields().Append(table->CreateField(f.name, f.type, f.size));
    db->TableDefs().Append(table);
  }
  db->Close();
}

// The user tables of a file as SQLite itself lists them, in creation order.
inline std::vector<std::string> RawTables(const std::string& path) {
  std::vector<std::string> names;
  for (auto& row : RawQuery(path,
                            "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT "
                            "LIKE 'sqlite%' AND substr(name, 1, 4) <> 'MSys' ORDER BY rowid"))
    names.push_back(row[0]);
  return names;
}

class InstallationFixture {
 public:
  InstallationFixture() : home_(dir_ / "home"), data_(dir_ / "datos") {
    SetupInstallation(home_);
    std::filesystem::create_directories(data_);
    window_ = std::make_unique<Actualiz>(Paths(home_), data_);
  }

  Actualiz& Window() { return *window_; }
  // The temporary folder that holds the installation; files a step's own
  // button is pointed at may live here, outside the home and data folders.
  const TempDir& Dir() const { return dir_; }
  const std::string& Home() const { return home_; }
  const std::string& Data() const { return data_; }
  Paths Installation() const { return Paths(home_); }
  std::string ModelPath(const std::string& name) const { return Paths(home_).ModelPath(name); }
  std::string OldPath(const std::string& name) const { return Paths::Join(data_, name); }

  void Model(const std::string& name, const std::vector<TableSpec>& tables) {
    MakeDatabase(ModelPath(name), tables);
  }
  void Old(const std::string& name, const std::vector<TableSpec>& tables) {
    MakeDatabase(OldPath(name), tables);
  }
  // Makes the pair "base.mdb" and points Text3 and Text4 at it.
  void Pair(const std::vector<TableSpec>& model, const std::vector<TableSpec>& old) {
    Model("base.mdb", model);
    Old("base.mdb", old);
    PointAt(ModelPath("base.mdb"), OldPath("base.mdb"));
  }
  // Points Text3 (model) and Text4 (old) at two files, as an operator does
  // before pressing a step's own button.
  void PointAt(const std::string& model, const std::string& old) {
    window_->Text3.SetText(model);
    window_->Text4.SetText(old);
  }

 private:
  TempDir dir_;
  std::string home_;
  std::string data_;
  std::unique_ptr<Actualiz> window_;
};

}  // namespace brenquil::test
