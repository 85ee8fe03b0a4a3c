// Converting a whole installation's Jet files (jet::ImportInstallation and
// `brenquil-cli import --home --data`) on copies of the genuine files: each
// in its place, the originals byte for byte in jet-originales/, the engine's
// databases untouched, a failed file back where it was with nothing beside
// it; and the installation then transformed as any other.
#include "jet/installation_import.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <map>
#include <set>
#include <sstream>

#include "cli/cli.h"
#include "engine/error.h"
#include "shell/installation.h"
#include "shell/paths.h"
#include "shell/run_lock.h"
#include "tests/jet/jet_files.h"
#include "tests/support/cli_run_fixture.h"
#include "tests/support/test_support.h"

namespace brenquil {
namespace {

namespace fs = std::filesystem;
using test::JetFile;
using test::ReadBytes;
using test::TempDir;

using test::Cli;
using test::CliRun;

// The names directly in `folder`, hidden ones included.
std::set<std::string> Entries(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
  return names;
}

// The installation's files, but for the lock file a run leaves in the home folder.
std::map<std::string, std::string> HomeContents(const std::string& home) {
  auto contents = test::FolderContents(home);
  contents.erase(".brenquil-transformando");
  return contents;
}

std::string IntegrityOf(const std::string& path) {
  return test::RawQuery(path, "PRAGMA integrity_check").at(0).at(0);
}

std::vector<std::string> UserTables(const std::string& path) {
  std::vector<std::string> names;
  for (const auto& row : test::RawQuery(path, "SELECT name FROM sqlite_master WHERE type = 'table' AND "
                                              "name NOT LIKE 'MSys%' AND name NOT LIKE 'sqlite%' ORDER BY name"))
    names.push_back(row[0]);
  return names;
}

// An installation made by setup, with its own data folder.
class Installation {
 public:
  Installation() {
    SetupInstallation(Home());
    fs::create_directories(Data());
  }
  std::string Home() const { return dir_ / "home"; }
  std::string Data() const { return dir_ / "datos"; }
  std::string Model(const std::string& name) const { return Paths(Home()).ModelPath(name); }
  std::string Old(const std::string& name) const { return Paths::Join(Data(), name); }
  // A genuine file copied in under `name`.
  void Put(const std::string& jet_name, const std::string& path) const {
    fs::copy_file(JetFile(jet_name), path);
  }

 private:
  TempDir dir_;
};

const jet::InstallationFile& FileAt(const jet::InstallationImport& run, const std::string& path) {
  for (const auto& f : run.files)
    if (f.path == path) return f;
  throw std::runtime_error("no entry for " + path);
}

TEST(InstallationImport, ConvertsEachJetFileInItsPlaceAndKeepsTheOriginalWhole) {
  SKIP_WITHOUT_JET_FILES();
  Installation inst;
  inst.Put("indexTestV2000.mdb", inst.Model("Base.mdb"));
  inst.Put("testV1997.mdb", inst.Old("Vieja.MDB"));
  inst.Put("indexTestV1997.mdb", inst.Old(".oculta.mdb"));  // hidden: not a listed database
  test::RawExec(inst.Old("Motor.mdb"), "CREATE TABLE T (a INTEGER); INSERT INTO T VALUES (7)");
  test::WriteBytes(inst.Old("Texto.mdb"), "no soy una base\n");
  const std::string engine_bytes = ReadBytes(inst.Old("Motor.mdb"));
  std::vector<std::string> seen;

  auto run = jet::ImportInstallation(
      {{Paths(inst.Home()).ModelsFolder(), "modelo"}, {inst.Data(), "base vieja"}},
      [&](const std::string& path, std::size_t position, std::size_t count) {
        seen.push_back(std::to_string(position) + "/" + std::to_string(count) + " " + path);
      });

  ASSERT_EQ(run.stamp.size(), 15u) << run.stamp;  // AAAAMMDD-HHMMSS
  EXPECT_EQ(run.Count(jet::FileOutcome::kConverted), 2);
  // The catalogues and the sample database of the home folder are not in
  // modelos/; the models are, and the data folder's databases.
  EXPECT_EQ(seen, (std::vector<std::string>{"1/4 " + inst.Model("Base.mdb"), "2/4 " + inst.Old("Motor.mdb"),
                                            "3/4 " + inst.Old("Texto.mdb"), "4/4 " + inst.Old("Vieja.MDB")}));
  struct Converted {
    std::string path, jet, role;
  };
  for (const Converted& c : {Converted{inst.Model("Base.mdb"), "indexTestV2000.mdb", "modelo"},
                             Converted{inst.Old("Vieja.MDB"), "testV1997.mdb", "base vieja"}}) {
    SCOPED_TRACE(c.path);
    const auto& file = FileAt(run, c.path);
    EXPECT_EQ(file.outcome, jet::FileOutcome::kConverted) << file.why;
    EXPECT_EQ(file.role, c.role);
    const fs::path folder = fs::path(c.path).parent_path();
    EXPECT_EQ(file.original, (folder / "jet-originales" / run.stamp / fs::path(c.path).filename()).string());
    // The original, moved, is the very file that was there.
    EXPECT_EQ(ReadBytes(file.original), ReadBytes(JetFile(c.jet)));
    EXPECT_EQ(ReadBytes(c.path).substr(0, 16), std::string("SQLite format 3\0", 16));
    EXPECT_EQ(IntegrityOf(c.path), "ok");
    ASSERT_FALSE(file.report.tables.empty());
    std::vector<std::string> reported;
    for (const auto& t : file.report.tables) {
      reported.push_back(t.name);
      EXPECT_EQ(test::RawQuery(c.path, "SELECT count(*) FROM \"" + t.name + "\"").at(0).at(0),
                std::to_string(t.rows)) << t.name;
    }
    std::sort(reported.begin(), reported.end());
    EXPECT_EQ(UserTables(c.path), reported);
  }
  // Rows by content: the first row of the index test's Table2 as mdb-export reads it.
  if (test::HaveMdbExport()) {
    auto rows = test::MdbExport(JetFile("indexTestV2000.mdb"), "Table2");
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(test::RawQuery(inst.Model("Base.mdb"), "SELECT id FROM Table2 ORDER BY rowid LIMIT 1").at(0).at(0),
              rows[0][0].value_or("NULL"));
  }
  EXPECT_EQ(FileAt(run, inst.Old("Motor.mdb")).outcome, jet::FileOutcome::kLeftAlone);
  EXPECT_EQ(FileAt(run, inst.Old("Motor.mdb")).why, "ya es una base de datos del motor");
  EXPECT_EQ(ReadBytes(inst.Old("Motor.mdb")), engine_bytes);
  EXPECT_EQ(FileAt(run, inst.Old("Texto.mdb")).outcome, jet::FileOutcome::kLeftAlone);
  EXPECT_EQ(ReadBytes(inst.Old(".oculta.mdb")), ReadBytes(JetFile("indexTestV1997.mdb")));
  // Nothing else beside them: no temporary file, no second folder.
  EXPECT_EQ(Entries(inst.Data()), (std::set<std::string>{".oculta.mdb", "Motor.mdb", "Texto.mdb", "Vieja.MDB",
                                                         "jet-originales"}));
  EXPECT_EQ(Entries(inst.Data() + "/jet-originales"), (std::set<std::string>{run.stamp}));
  EXPECT_EQ(Entries(Paths(inst.Home()).ModelsFolder()), (std::set<std::string>{"Base.mdb", "jet-originales"}));

  // A second run finds nothing to convert and changes nothing.
  const auto before_home = test::FolderContents(inst.Home());
  const auto before_data = test::FolderContents(inst.Data());
  auto again = jet::ImportInstallation({{Paths(inst.Home()).ModelsFolder(), "modelo"}, {inst.Data(), "base vieja"}});
  EXPECT_EQ(again.Count(jet::FileOutcome::kConverted), 0);
  EXPECT_TRUE(again.Complete());
  EXPECT_EQ(FileAt(again, inst.Model("Base.mdb")).why, "ya es una base de datos del motor");
  EXPECT_EQ(test::FolderContents(inst.Home()), before_home);
  EXPECT_EQ(test::FolderContents(inst.Data()), before_data);
}

TEST(InstallationImport, AFileThatFailsStaysInItsPlaceWithNothingBesideIt) {
  SKIP_WITHOUT_JET_FILES();
  Installation inst;
  // A Jet file cut short: its signature is there, its pages are not.
  const std::string whole = ReadBytes(JetFile("indexTestV2000.mdb"));
  test::WriteBytes(inst.Old("Cortada.mdb"), whole.substr(0, 4096 + 100));
  inst.Put("compIndexTestV2000.mdb", inst.Old("Buena.mdb"));
  const auto models_before = test::FolderContents(Paths(inst.Home()).ModelsFolder());

  auto run = jet::ImportInstallation({{Paths(inst.Home()).ModelsFolder(), "modelo"}, {inst.Data(), "base vieja"}});

  const auto& cut = FileAt(run, inst.Old("Cortada.mdb"));
  EXPECT_EQ(cut.outcome, jet::FileOutcome::kFailed);
  EXPECT_EQ(cut.error, err::kCannotOpen) << cut.why;
  EXPECT_NE(cut.why.find(inst.Old("Cortada.mdb")), std::string::npos) << cut.why;
  EXPECT_EQ(ReadBytes(inst.Old("Cortada.mdb")), whole.substr(0, 4096 + 100));
  // The next file went on.
  EXPECT_EQ(FileAt(run, inst.Old("Buena.mdb")).outcome, jet::FileOutcome::kConverted);
  EXPECT_FALSE(run.Complete());
  EXPECT_EQ(Entries(inst.Data()), (std::set<std::string>{"Buena.mdb", "Cortada.mdb", "jet-originales"}));
  EXPECT_EQ(Entries(inst.Data() + "/jet-originales/" + run.stamp), (std::set<std::string>{"Buena.mdb"}));
  // A folder with nothing to convert gets no folder of originals.
  EXPECT_EQ(test::FolderContents(Paths(inst.Home()).ModelsFolder()), models_before);
}

TEST(InstallationImport, AMissingFolderRefusesBeforeAnyFileIsTouched) {
  SKIP_WITHOUT_JET_FILES();
  Installation inst;
  inst.Put("indexTestV2000.mdb", inst.Model("Base.mdb"));
  const auto before = test::FolderContents(inst.Home());
  EXPECT_EQ(test::NumberOf([&] {
              jet::ImportInstallation({{Paths(inst.Home()).ModelsFolder(), "modelo"},
                                       {inst.Data() + "/no existe", "base vieja"}});
            }),
            err::kPathNotFound);
  EXPECT_EQ(test::FolderContents(inst.Home()), before);
}

TEST(CliInstallationImport, ReportsEachFileAndExitsByWhatHappened) {
  SKIP_WITHOUT_JET_FILES();
  Installation inst;
  inst.Put("indexTestV2000.mdb", inst.Model("Base.mdb"));
  inst.Put("queryTestV2000.mdb", inst.Old("Consultas.mdb"));  // some of its queries do not arrive
  test::RawExec(inst.Old("Motor.mdb"), "CREATE TABLE T (a INTEGER)");

  CliRun run = Cli({"import", "--home", inst.Home(), "--data", inst.Data(), "--json"});
  EXPECT_EQ(run.code, kExitJournal) << run.out << run.err;
  auto doc = nlohmann::json::parse(run.out);
  EXPECT_EQ(doc["complete"], false);
  EXPECT_EQ(doc["converted"], 2);
  EXPECT_EQ(doc["leftAlone"], 1);
  EXPECT_EQ(doc["failed"], 0);
  ASSERT_EQ(doc["files"].size(), 3u);
  for (const auto& f : doc["files"]) {
    if (f["path"] == inst.Old("Motor.mdb")) {
      EXPECT_EQ(f["outcome"], "leftAlone");
      continue;
    }
    EXPECT_EQ(f["outcome"], "converted") << f;
    EXPECT_EQ(f["import"]["output"], f["path"]);
    EXPECT_EQ(ReadBytes(f["original"].get<std::string>()),
              ReadBytes(JetFile(f["path"] == inst.Old("Consultas.mdb") ? "queryTestV2000.mdb" : "indexTestV2000.mdb")));
  }
  // A progress line per file, on the error stream.
  EXPECT_NE(run.err.find("[1/3] " + inst.Model("Base.mdb") + "\n"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("[3/3] " + inst.Old("Motor.mdb") + "\n"), std::string::npos) << run.err;

  // As text: one line per file, what did not arrive under its file.
  Installation text_inst;
  text_inst.Put("queryTestV2000.mdb", text_inst.Old("Consultas.mdb"));
  CliRun text = Cli({"import", "--home", text_inst.Home(), "--data", text_inst.Data()});
  EXPECT_EQ(text.code, kExitJournal);
  EXPECT_NE(text.out.find("convertida  '" + text_inst.Old("Consultas.mdb") + "' (base vieja, "),
            std::string::npos) << text.out;
  EXPECT_NE(text.out.find("\n    no llegó: consulta "), std::string::npos) << text.out;
  EXPECT_TRUE(text.out.ends_with("Importación incompleta: algo no llegó (arriba, con el motivo).\n")) << text.out;

  // Nothing to convert: done.
  CliRun nothing = Cli({"import", "--home", text_inst.Home(), "--data", text_inst.Data()});
  EXPECT_EQ(nothing.code, kExitOk) << nothing.out;
  EXPECT_NE(nothing.out.find("sin tocar   '" + text_inst.Old("Consultas.mdb") +
                             "' (base vieja): ya es una base de datos del motor\n"),
            std::string::npos) << nothing.out;
  EXPECT_TRUE(nothing.out.ends_with("Ninguna base es Jet: no había nada que convertir.\n")) << nothing.out;
}

TEST(CliInstallationImport, RefusesWhatCannotBeDoneAndArgumentsThatDoNotGoTogether) {
  SKIP_WITHOUT_JET_FILES();
  Installation inst;
  inst.Put("indexTestV2000.mdb", inst.Model("Base.mdb"));
  const auto before = HomeContents(inst.Home());

  CliRun missing = Cli({"import", "--home", inst.Home(), "--data", inst.Data() + "/no"});
  EXPECT_EQ(missing.code, kExitFailure);
  EXPECT_NE(missing.err.find("error 76"), std::string::npos) << missing.err;
  {
    // A transformation holds the installation.
    RunLock lock(inst.Home());
    CliRun busy = Cli({"import", "--home", inst.Home(), "--data", inst.Data()});
    EXPECT_EQ(busy.code, kExitFailure);
    EXPECT_NE(busy.err.find("error 3045"), std::string::npos) << busy.err;
  }
  EXPECT_EQ(HomeContents(inst.Home()), before);

  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"import", "--home", inst.Home(), JetFile("indexTestV2000.mdb"), inst.Old("x.mdb")},
        {"import", "--data", inst.Data(), JetFile("indexTestV2000.mdb")},
        {"import"},
        {"import", JetFile("indexTestV2000.mdb")}}) {
    CliRun usage = Cli(args);
    EXPECT_EQ(usage.code, kExitUsage) << args.size() << ": " << usage.err;
    EXPECT_NE(usage.err.find("Ayuda: brenquil-cli import --help"), std::string::npos) << usage.err;
  }
  EXPECT_EQ(HomeContents(inst.Home()), before);
  EXPECT_FALSE(fs::exists(inst.Old("x.mdb")));

  // The help tells both forms, with an example and the exit codes.
  CliRun help = Cli({"import", "--help"});
  EXPECT_EQ(help.code, kExitOk);
  std::string flat = help.out;
  std::replace(flat.begin(), flat.end(), '\n', ' ');
  for (const char* shown : {"brenquil-cli import --home /srv/brenquil --data /srv/bases", "jet-originales/",
                            "--home", "--data", "64 argumentos incorrectos"})
    EXPECT_NE(flat.find(shown), std::string::npos) << shown << ":\n" << help.out;
}

// The installation end to end: a transformation that meets the Jet files says
// how to convert them; after the import it brings the old databases up to
// their models, and a second one finds nothing to do.
TEST(CliInstallationImport, AJetInstallationIsTransformedOnceImported) {
  SKIP_WITHOUT_JET_FILES();
  Installation inst;
  // Base.mdb: the model has three tables with relations, the old database
  // (another Jet file) a table of its own only. Igual.mdb: the same file on
  // both sides. Nueva.mdb: a model without an old namesake.
  inst.Put("indexTestV2000.mdb", inst.Model("Base.mdb"));
  inst.Put("testUnicodeCompV2003.mdb", inst.Old("Base.mdb"));
  inst.Put("compIndexTestV2000.mdb", inst.Model("Igual.mdb"));
  inst.Put("compIndexTestV2000.mdb", inst.Old("Igual.mdb"));
  inst.Put("fixedNumericTestV2000.mdb", inst.Model("Nueva.mdb"));
  const std::string old_rows_before = ReadBytes(JetFile("testUnicodeCompV2003.mdb"));

  CliRun refused = Cli({"transform", "--quiet", "--home", inst.Home(), "--data", inst.Data()});
  EXPECT_EQ(refused.code, kExitJournal);
  EXPECT_NE(refused.err.find("«Importar bases Jet»"), std::string::npos) << refused.err;
  EXPECT_NE(refused.err.find("brenquil-cli import --home '" + inst.Home() + "' --data '" + inst.Data() + "'"),
            std::string::npos) << refused.err;
  EXPECT_EQ(ReadBytes(inst.Old("Base.mdb")), old_rows_before);

  CliRun import = Cli({"import", "--home", inst.Home(), "--data", inst.Data(), "--json"});
  ASSERT_EQ(import.code, kExitOk) << import.out << import.err;
  const std::string stamp = nlohmann::json::parse(import.out)["stamp"];
  const auto old_unicode = test::RawQuery(inst.Old("Base.mdb"), "SELECT * FROM \"Table\" ORDER BY rowid");

  CliRun transform = Cli({"transform", "--home", inst.Home(), "--data", inst.Data()});
  ASSERT_EQ(transform.code, kExitOk) << transform.out << transform.err;
  // The old database has the model's tables with their fields, and its own
  // table with its rows.
  for (const char* table : {"Table1", "Table2", "Table3"})
    EXPECT_EQ(test::RawColumns(inst.Old("Base.mdb"), table), test::RawColumns(inst.Model("Base.mdb"), table))
        << table;
  EXPECT_EQ(test::RawQuery(inst.Old("Base.mdb"), "SELECT * FROM \"Table\" ORDER BY rowid"), old_unicode);
  EXPECT_EQ(test::RawQuery(inst.Old("Base.mdb"), "SELECT count(*) FROM Table1").at(0).at(0), "0");
  // The model's relations, as the engine keeps them.
  const std::string relations = "SELECT Name, TableName, ForeignTable, Attributes FROM MSysRelations ORDER BY Name";
  EXPECT_FALSE(test::RawQuery(inst.Model("Base.mdb"), relations).empty());
  EXPECT_EQ(test::RawQuery(inst.Old("Base.mdb"), relations), test::RawQuery(inst.Model("Base.mdb"), relations));
  EXPECT_EQ(IntegrityOf(inst.Old("Base.mdb")), "ok");
  EXPECT_EQ(UserTables(inst.Old("Nueva.mdb")), UserTables(inst.Model("Nueva.mdb")));
  // The originals are the input files, byte for byte.
  const fs::path models = Paths(inst.Home()).ModelsFolder();
  EXPECT_EQ(ReadBytes((models / "jet-originales" / stamp / "Base.mdb").string()), ReadBytes(JetFile("indexTestV2000.mdb")));
  EXPECT_EQ(ReadBytes((models / "jet-originales" / stamp / "Igual.mdb").string()), ReadBytes(JetFile("compIndexTestV2000.mdb")));
  EXPECT_EQ(ReadBytes((models / "jet-originales" / stamp / "Nueva.mdb").string()), ReadBytes(JetFile("fixedNumericTestV2000.mdb")));
  EXPECT_EQ(ReadBytes(inst.Data() + "/jet-originales/" + stamp + "/Base.mdb"), old_rows_before);
  EXPECT_EQ(ReadBytes(inst.Data() + "/jet-originales/" + stamp + "/Igual.mdb"), ReadBytes(JetFile("compIndexTestV2000.mdb")));

  CliRun second = Cli({"transform", "--home", inst.Home(), "--data", inst.Data(), "--json", "-"});
  ASSERT_EQ(second.code, kExitOk) << second.out << second.err;
  auto report = nlohmann::json::parse(second.out);
  int pairs = 0;
  for (const auto& db : report["databases"]) {
    EXPECT_EQ(db["outcome"], "sin cambios") << db;
    ++pairs;
  }
  EXPECT_EQ(pairs, 3);
}

}  // namespace
}  // namespace brenquil
