// Which folder is the installation when a program is not given one: the
// environment, the build tree, the user's data folder; and when an
// installation counts as not yet made.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/error.h"
#include "shell/installation.h"
#include "shell/paths.h"
#include "tests/support/test_support.h"

namespace brenquil {
namespace {

using test::TempDir;

struct HomeCase {
  const char* what;
  HomeLookup lookup;
  std::string folder;
  HomeSource source;
};

TEST(HomeRule, ChoosesInOrderOptionEnvironmentBuildTreeUserData) {
  // A program installed in /usr/bin, run by a user whose home is /home/ana.
  const HomeLookup installed{"", "", "/usr/bin", "/src/brenquil/build", "", "/home/ana"};
  auto with = [&](auto change) {
    HomeLookup lookup = installed;
    change(lookup);
    return lookup;
  };
  const HomeCase cases[] = {
      {"installed, nothing set", installed, "/home/ana/.local/share/brenquil",
       HomeSource::kUserData},
      {"XDG_DATA_HOME", with([](HomeLookup& l) { l.xdg_data_home = "/datos/xdg"; }),
       "/datos/xdg/brenquil", HomeSource::kUserData},
      {"XDG_DATA_HOME with a final slash", with([](HomeLookup& l) { l.xdg_data_home = "/x/"; }),
       "/x/brenquil", HomeSource::kUserData},
      {"a relative XDG_DATA_HOME is ignored",
       with([](HomeLookup& l) { l.xdg_data_home = "datos"; }), "/home/ana/.local/share/brenquil",
       HomeSource::kUserData},
      {"BRENQUIL_HOME", with([](HomeLookup& l) { l.environment = "/srv/bases"; }), "/srv/bases",
       HomeSource::kEnvironment},
      {"--home before BRENQUIL_HOME", with([](HomeLookup& l) {
         l.option = "/opcion";
         l.environment = "/srv/bases";
       }),
       "/opcion", HomeSource::kOption},
      {"run from its build tree",
       with([](HomeLookup& l) { l.program_folder = "/src/brenquil/build/cli"; }),
       "/src/brenquil/build/cli", HomeSource::kBuildTree},
      {"run from the build folder itself",
       with([](HomeLookup& l) { l.program_folder = "/src/brenquil/build"; }), "/src/brenquil/build",
       HomeSource::kBuildTree},
      {"a folder whose name only begins like the build tree's",
       with([](HomeLookup& l) { l.program_folder = "/src/brenquil/build-old/cli"; }),
       "/home/ana/.local/share/brenquil", HomeSource::kUserData},
      {"a build tree named with a final slash", with([](HomeLookup& l) {
         l.build_tree = "/src/brenquil/build/";
         l.program_folder = "/src/brenquil/build/gui";
       }),
       "/src/brenquil/build/gui", HomeSource::kBuildTree},
      {"BRENQUIL_HOME before the build tree", with([](HomeLookup& l) {
         l.program_folder = "/src/brenquil/build/cli";
         l.environment = "/srv/bases";
       }),
       "/srv/bases", HomeSource::kEnvironment},
      {"no build tree known", with([](HomeLookup& l) { l.build_tree.clear(); }),
       "/home/ana/.local/share/brenquil", HomeSource::kUserData},
  };
  for (const auto& c : cases) {
    HomeChoice choice = ChooseHome(c.lookup);
    EXPECT_EQ(choice.folder, c.folder) << c.what;
    EXPECT_EQ(choice.source, c.source) << c.what;
  }
}

TEST(HomeRule, WithoutAnyUserFolderItSaysHowToGiveOne) {
  const HomeLookup lookup{"", "", "/usr/bin", "", "", ""};
  try {
    ChooseHome(lookup);
    FAIL() << "no error";
  } catch (const Error& error) {
    EXPECT_EQ(error.Number(), err::kPathNotFound);
    EXPECT_NE(error.Text().find("BRENQUIL_HOME"), std::string::npos) << error.Text();
  }
}

// The tests run from the build tree, as the programs do before installing.
TEST(HomeRule, TheRunningProgramKnowsItsBuildTreeAndTheEnvironment) {
  TempDir chosen;
  {
    test::ScopedEnvironment unset("BRENQUIL_HOME", std::nullopt);
    HomeChoice choice = ChooseHome("");
    EXPECT_EQ(choice.source, HomeSource::kBuildTree);
    EXPECT_EQ(choice.folder, ProgramFolder());
  }
  test::ScopedEnvironment set("BRENQUIL_HOME", chosen.Path());
  EXPECT_EQ(ChooseHome("").folder, chosen.Path());
  EXPECT_EQ(ChooseHome("/dada").folder, "/dada");
}

TEST(HomeRule, AnInstallationIsAbsentOnlyWithoutAnyCatalogue) {
  TempDir home;
  EXPECT_TRUE(InstallationAbsent(home / "sin-hacer"));
  EXPECT_TRUE(InstallationAbsent(home.Path()));
  SetupInstallation(home.Path());
  EXPECT_FALSE(InstallationAbsent(home.Path()));
  // A damaged installation is not remade as if it were new.
  std::filesystem::remove(Paths(home.Path()).IndexCatalog());
  std::filesystem::remove(Paths(home.Path()).QueryCatalog());
  EXPECT_FALSE(InstallationAbsent(home.Path()));
}

TEST(HomeRule, TheRuleTextNamesEveryPlaceAndFitsATerminal) {
  const std::string text = HomeRuleText();
  for (const char* part : {"--home", "BRENQUIL_HOME", "XDG_DATA_HOME", "~/.local/share/brenquil",
                           "brenquil-cli setup"})
    EXPECT_NE(text.find(part), std::string::npos) << part;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    // Columns, not bytes: a UTF-8 continuation byte takes none.
    size_t columns = 0;
    for (size_t i = start; i < end; ++i) columns += (text[i] & 0xC0) != 0x80;
    EXPECT_LE(columns, 80u) << text.substr(start, end - start);
    start = end + 1;
  }
}

}  // namespace
}  // namespace brenquil
