// A run that meets a Jet file among the models or the old databases says so
// in its journal, with the window's button and the command that convert the
// installation; a file that is no database at all keeps the engine's own
// words. The Jet files here are only their first page's signature: the run
// never reads further.
#include "shell/jet_advice.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "shell/transformation.h"
#include "tests/support/installation_fixture.h"

namespace brenquil::test {
namespace {

// The first bytes of a Jet 4 file ("Standard Jet DB" at 4) or of an ACE one,
// and then a page of zeros.
std::string JetSignature(const char* engine = "Standard Jet DB") {
  std::string page(4096, '\0');
  page[0] = 0;
  page[1] = 1;
  page.replace(4, 15, engine);
  page[0x14] = 1;
  return page;
}

class JetAdvice : public ::testing::Test, public InstallationFixture {
 protected:
  // The command the journal must name for this installation.
  std::string Command() const {
    return "brenquil-cli import --home '" + Home() + "' --data '" + Data() + "'";
  }
  void ExpectJetAdvice(const JournalEntry& entry, const std::string& jet_path) {
    SCOPED_TRACE(FormatEntry(entry));
    EXPECT_EQ(entry.number, err::kUnrecognisedFormat);
    EXPECT_EQ(entry.text.rfind("'" + jet_path + "' es una base de datos Jet", 0), 0u);
    EXPECT_NE(entry.text.find("«Importar bases Jet»"), std::string::npos);
    EXPECT_NE(entry.text.find(Command()), std::string::npos);
    EXPECT_EQ(entry.text.find(ErrorDescription(err::kUnrecognisedFormat)), std::string::npos);
  }
};

TEST_F(JetAdvice, SignatureIsReadFromTheFirstBytesOnly) {
  const std::string path = OldPath("sig.mdb");
  WriteBytes(path, JetSignature());
  EXPECT_TRUE(LooksLikeJet(path));
  WriteBytes(path, JetSignature("Standard ACE DB"));
  EXPECT_TRUE(LooksLikeJet(path));
  WriteBytes(path, JetSignature("Standard Foo DB"));
  EXPECT_FALSE(LooksLikeJet(path));
  WriteBytes(path, JetSignature().substr(0, 20));  // cut before the page's first 32 bytes
  EXPECT_FALSE(LooksLikeJet(path));
  MakeDatabase(OldPath("motor.mdb"), {{"T", {{"a", dbLong}}}});
  EXPECT_FALSE(LooksLikeJet(OldPath("motor.mdb")));
  EXPECT_FALSE(LooksLikeJet(OldPath("no existe.mdb")));
}

TEST_F(JetAdvice, RunNamesTheJetModelTheJetOldDatabaseAndTheJetNewModel) {
  WriteBytes(ModelPath("ModeloJet.mdb"), JetSignature());
  Old("ModeloJet.mdb", {{"T", {{"a", dbLong}}}});
  Model("ViejaJet.mdb", {{"T", {{"a", dbLong}, {"b", dbLong}}}});
  WriteBytes(OldPath("ViejaJet.mdb"), JetSignature("Standard ACE DB"));
  WriteBytes(ModelPath("NuevaJet.mdb"), JetSignature());
  // Not a Jet file: the engine's own words stay.
  Model("Rota.mdb", {{"T", {{"a", dbLong}}}});
  WriteBytes(OldPath("Rota.mdb"), std::string(4096, 'x'));
  Window().Form_Activate();

  Window().Command13_Click();

  std::map<std::string, JournalEntry> by_old;
  for (const auto& e : Window().Journal.Entries()) by_old[e.old] = e;
  ASSERT_EQ(by_old.size(), 4u);
  ExpectJetAdvice(by_old.at(OldPath("ModeloJet.mdb")), ModelPath("ModeloJet.mdb"));
  EXPECT_TRUE(by_old.at(OldPath("ModeloJet.mdb")).text.ends_with("; no se hacen los demás pasos de esta base."));
  ExpectJetAdvice(by_old.at(OldPath("ViejaJet.mdb")), OldPath("ViejaJet.mdb"));
  ExpectJetAdvice(by_old.at(OldPath("NuevaJet.mdb")), ModelPath("NuevaJet.mdb"));
  EXPECT_EQ(by_old.at(OldPath("NuevaJet.mdb")).operation, "CopyNewDatabases");
  const auto& broken = by_old.at(OldPath("Rota.mdb"));
  EXPECT_EQ(broken.number, err::kUnrecognisedFormat);
  EXPECT_EQ(broken.text.rfind(ErrorDescription(err::kUnrecognisedFormat), 0), 0u) << broken.text;
  // Nothing was written over a Jet file, and no copy of the Jet model made.
  EXPECT_EQ(ReadBytes(ModelPath("ModeloJet.mdb")), JetSignature());
  EXPECT_EQ(ReadBytes(OldPath("ViejaJet.mdb")), JetSignature("Standard ACE DB"));
  EXPECT_FALSE(std::filesystem::exists(OldPath("NuevaJet.mdb")));
}

TEST_F(JetAdvice, OtherErrorsAndOtherFilesAreLeftAsTheyAre) {
  WriteBytes(OldPath("J.mdb"), JetSignature());
  const Error other = MakeError(err::kFileNotFound, "'" + OldPath("J.mdb") + "'");
  EXPECT_EQ(ExplainJetFile(other, {OldPath("J.mdb")}, "/h", "/d").Text(), other.Text());
  const Error generic = MakeError(err::kUnrecognisedFormat, "'" + OldPath("K.mdb") + "' no es una base de datos");
  WriteBytes(OldPath("K.mdb"), "texto");
  EXPECT_EQ(ExplainJetFile(generic, {OldPath("K.mdb")}, "/h", "/d").Text(), generic.Text());
  // Of two files, the one the error names; a quote in a folder is kept whole in the command.
  const Error named = MakeError(err::kUnrecognisedFormat, "'" + OldPath("J.mdb") + "' no es una base de datos");
  WriteBytes(OldPath("L.mdb"), JetSignature());
  const Error shown = ExplainJetFile(named, {OldPath("L.mdb"), OldPath("J.mdb")}, "/h'o", "/d");
  EXPECT_EQ(shown.Text().rfind("'" + OldPath("J.mdb") + "' es una base de datos Jet", 0), 0u) << shown.Text();
  EXPECT_NE(shown.Text().find("--home '/h'\\''o' --data '/d'"), std::string::npos) << shown.Text();
}

}  // namespace
}  // namespace brenquil::test
