#include "shell/transformation.h"

#include <gtest/gtest.h>

#include "tests/support/installation_fixture.h"

namespace brenquil::test {
namespace {

using Names = std::vector<std::string>;

class Transformation : public ::testing::Test, public InstallationFixture {
 protected:
  // Lists the models and the data folder as the window's activation does.
  void Activate() { Window().Form_Activate(); }
  Names Schema(const std::string& path) {
    Names sql;
    for (auto& row : RawQuery(path, "SELECT name || ': ' || sql FROM sqlite_master ORDER BY name"))
      sql.push_back(row[0]);
    return sql;
  }
  // The declarations and the engine's description of the fields: what a
  // copied database must share with its model.
  Names Content(const std::string& path) {
    Names content = Schema(path);
    for (auto& row : RawQuery(path, "SELECT * FROM MSysFields ORDER BY TableName, FieldName"))
      for (auto& value : row) content.push_back(value);
    return content;
  }
  std::vector<std::string> Operations() {
    std::vector<std::string> out;
    for (const auto& e : Window().Journal.Entries()) out.push_back(e.operation);
    return out;
  }
};

TEST_F(Transformation, BringsEveryPairUpToItsModelAndCopiesTheNewModels) {
  Model("Clientes.mdb", {{"Clientes", {{"Id", dbLong}, {"Nombre", dbText, 50}, {"Notas", dbMemo}}},
                         {"Pedidos", {{"Id", dbLong}, {"Fecha", dbDate}}}});
  Model("Nueva.mdb", {{"T", {{"a", dbLong}}}});
  Old("Clientes.mdb", {{"Clientes", {{"Id", dbLong}, {"Nombre", dbText, 50}}}});
  Old("Sin modelo.mdb", {{"X", {{"x", dbLong}}}});
  RawExec(OldPath("Clientes.mdb"), "INSERT INTO Clientes VALUES (1, 'Ana'), (2, 'Íñigo')");
  auto untouched = Schema(OldPath("Sin modelo.mdb"));
  Activate();
  auto& w = Window();
  std::vector<int> pointers;
  w.OnMousePointer([&](int p) { pointers.push_back(p); });
  Names captions;
  w.Label4.Subscribe([&] { captions.push_back(w.Label4.Caption()); });

  w.Command13_Click();

  EXPECT_TRUE(w.Journal.Empty()) << FormatEntry(w.Journal.Entries().at(0));
  EXPECT_EQ(pointers, (std::vector<int>{kPointerHourglass, kPointerDefault}));
  EXPECT_EQ(captions, (Names{"", "Clientes.mdb", "Nueva.mdb", "Añadiendo bases de datos nuevas",
                             "Proceso Terminado"}));
  EXPECT_EQ(w.Bar1.Max(), 2);
  EXPECT_EQ(w.Bar1.Value(), 2);
  EXPECT_EQ(w.Text3.Text(), ModelPath("Clientes.mdb"));
  EXPECT_EQ(w.Text4.Text(), OldPath("Clientes.mdb"));

  EXPECT_EQ(RawTables(OldPath("Clientes.mdb")), (Names{"Clientes", "Pedidos"}));
  EXPECT_EQ(RawColumns(OldPath("Clientes.mdb"), "Clientes"), (Names{"Id", "Nombre", "Notas"}));
  EXPECT_EQ(RawColumns(OldPath("Clientes.mdb"), "Pedidos"), (Names{"Id", "Fecha"}));
  EXPECT_EQ(RawQuery(OldPath("Clientes.mdb"), "SELECT Id, Nombre, Notas FROM Clientes"),
            (std::vector<Names>{{"1", "Ana", "NULL"}, {"2", "Íñigo", "NULL"}}));
  EXPECT_EQ(Schema(OldPath("Sin modelo.mdb")), untouched);
  EXPECT_EQ(Content(OldPath("Nueva.mdb")), Content(ModelPath("Nueva.mdb")));

  ASSERT_EQ(w.Report.Databases().size(), 1u);
  const auto& changes = w.Report.Databases()[0];
  EXPECT_EQ(changes.old, OldPath("Clientes.mdb"));
  EXPECT_EQ(changes.tables_created, (Names{"Pedidos"}));
  EXPECT_EQ(changes.fields_added,
            (std::vector<std::pair<std::string, Names>>{{"Clientes", {"Notas"}}}));
  EXPECT_EQ(w.Report.NewDatabases(), (Names{OldPath("Nueva.mdb")}));

  // A second run, with the copied database now listed, changes nothing.
  auto schema = Schema(OldPath("Clientes.mdb"));
  auto copied = Schema(OldPath("Nueva.mdb"));
  w.Dir1.SetPath(Data());
  w.Command13_Click();
  EXPECT_TRUE(w.Journal.Empty()) << FormatEntry(w.Journal.Entries().at(0));
  EXPECT_EQ(Schema(OldPath("Clientes.mdb")), schema);
  EXPECT_EQ(Schema(OldPath("Nueva.mdb")), copied);
  EXPECT_EQ(w.Report.Databases().size(), 2u);  // Nueva.mdb is a pair now, with no changes
  EXPECT_EQ(w.Report.Databases()[0].tables_created, (Names{"Pedidos"}));
  EXPECT_TRUE(w.Report.Databases()[1].tables_created.empty());
  EXPECT_EQ(w.Report.NewDatabases().size(), 1u);
}

TEST_F(Transformation, APlanIsReportedOnItsOwnAndTheRunAfterItNeverShowsWhatItSaid) {
  Model("Clientes.mdb", {{"Clientes", {{"Id", dbLong}, {"Notas", dbMemo}}}});
  Old("Clientes.mdb", {{"Clientes", {{"Id", dbLong}}}});
  Activate();
  auto& w = Window();
  using Added = std::vector<std::pair<std::string, Names>>;
  w.Journal.Add(JournalEntry{"Dir1_Change", "", Data(), err::kPathNotFound, "anterior"});

  EXPECT_FALSE(w.Preview());
  EXPECT_TRUE(w.Report.Plan());
  EXPECT_TRUE(w.Journal.Empty()) << FormatEntry(w.Journal.Entries().at(0));
  ASSERT_EQ(w.Report.Databases().size(), 1u);
  EXPECT_EQ(w.Report.Databases()[0].fields_added, (Added{{"Clientes", {"Notas"}}}));
  EXPECT_EQ(RawColumns(OldPath("Clientes.mdb"), "Clientes"), (Names{"Id"}));

  EXPECT_FALSE(w.Press(13));
  EXPECT_FALSE(w.Report.Plan());
  ASSERT_EQ(w.Report.Databases().size(), 1u);
  EXPECT_EQ(w.Report.Databases()[0].fields_added, (Added{{"Clientes", {"Notas"}}}))
      << "the plan's field came along";
  EXPECT_EQ(RawColumns(OldPath("Clientes.mdb"), "Clientes"), (Names{"Id", "Notas"}));
  EXPECT_TRUE(w.Journal.Empty()) << FormatEntry(w.Journal.Entries().at(0));
}

TEST_F(Transformation, PairThatCannotBeListedIsSkippedAndTheRunGoesOn) {
  // The second model does not open, so no step may work on the lists the
  // first pair left behind.
  Model("A.mdb", {{"T", {{"a", dbLong}, {"b", dbLong}}}});
  WriteBytes(ModelPath("B.mdb"), std::string(4096, 'x'));
  Model("C.mdb", {{"T", {{"a", dbLong}, {"c", dbLong}}}});
  for (const char* name : {"A.mdb", "B.mdb", "C.mdb"}) Old(name, {{"T", {{"a", dbLong}}}});
  Activate();
  auto& w = Window();
  w.Command13_Click();

  EXPECT_EQ(RawColumns(OldPath("A.mdb"), "T"), (Names{"a", "b"}));
  EXPECT_EQ(RawColumns(OldPath("B.mdb"), "T"), (Names{"a"}));
  EXPECT_EQ(RawColumns(OldPath("C.mdb"), "T"), (Names{"a", "c"}));
  // One cause, one line: the listing's error says that the pair's other
  // steps were not run.
  ASSERT_EQ(Operations(), (Names{"Command6_Click"}));
  const auto& failure = w.Journal.Entries()[0];
  EXPECT_EQ(failure.model, ModelPath("B.mdb"));
  EXPECT_EQ(failure.old, OldPath("B.mdb"));
  EXPECT_EQ(failure.number, err::kUnrecognisedFormat);
  EXPECT_EQ(failure.text,
            MakeError(err::kUnrecognisedFormat, "'" + ModelPath("B.mdb") + "' no es una base de datos")
                    .Text() +
                "; no se hacen los demás pasos de esta base.");
  EXPECT_EQ(w.Label4.Caption(), "Proceso Terminado");
  EXPECT_EQ(w.MousePointer(), kPointerDefault);
}

TEST_F(Transformation, ModelWhoseNameIsTakenIsNotCopiedAndDuplicatesCopyOnce) {
  Model("Personal.mdb", {{"P", {{"p", dbLong}}}});
  Model("Oculta.mdb", {{"O", {{"o", dbLong}}}});
  Model("Nueva.mdb", {{"N", {{"n", dbLong}}}});
  Old("personal.mdb", {{"Mía", {{"m", dbLong}}}});
  Old(".Oculta.mdb", {{"Mía", {{"m", dbLong}}}});
  auto mine = ReadBytes(OldPath("personal.mdb"));
  Activate();
  Activate();  // the models are listed twice
  auto& w = Window();
  w.Command13_Click();

  EXPECT_EQ(w.List8.Items(), (Names{"Nueva.mdb", "Oculta.mdb", "Personal.mdb", "Nueva.mdb",
                                    "Oculta.mdb", "Personal.mdb"}));
  EXPECT_EQ(ReadBytes(OldPath("personal.mdb")), mine);
  EXPECT_FALSE(std::filesystem::exists(OldPath("Personal.mdb")));
  EXPECT_FALSE(std::filesystem::exists(OldPath("Oculta.mdb")));
  EXPECT_EQ(Content(OldPath("Nueva.mdb")), Content(ModelPath("Nueva.mdb")));
  EXPECT_EQ(w.Report.NewDatabases(), (Names{OldPath("Nueva.mdb")}));
  ASSERT_EQ(w.Journal.Entries().size(), 2u);
  const char* refused[] = {"Oculta.mdb", "Personal.mdb"};
  for (int i = 0; i < 2; ++i) {
    const auto& entry = w.Journal.Entries()[static_cast<size_t>(i)];
    EXPECT_EQ(entry.operation, "CopyNewDatabases");
    EXPECT_EQ(entry.model, ModelPath(refused[i]));
    EXPECT_EQ(entry.old, OldPath(refused[i]));
    EXPECT_EQ(entry.number, err::kFileAlreadyExists);
    EXPECT_EQ(entry.text, MakeError(err::kFileAlreadyExists, "'" + std::string(refused[i]) + "' ya existe en " +
                                            Data() + " (en otras mayúsculas u oculto); no "
                                                     "se copia el modelo.")
                              .Text());
  }
}

TEST_F(Transformation, EmptyOldListLeavesBar1AndDataFolderAtARootJoinsOnce) {
  Model("a.mdb", {{"T", {{"a", dbLong}}}});
  auto& w = Window();
  // Without a data folder the copy would land wherever the program runs:
  // the run is refused before it starts.
  try {
    w.Command13_Click();
    ADD_FAILURE() << "a run without a data folder";
  } catch (const Error& error) {
    EXPECT_EQ(error.Number(), err::kPathNotFound);
  }
  EXPECT_FALSE(std::filesystem::exists("a.mdb"));
  EXPECT_EQ(w.Label4.Caption(), "");

  // An empty data folder: nothing listed, the model is still copied.
  w.List7.AddItem("a.mdb");
  w.Dir1.SetPath(Data());
  w.Command13_Click();
  EXPECT_EQ(w.Bar1.Max(), 100);
  EXPECT_EQ(w.Bar1.Value(), 0);
  EXPECT_EQ(w.Label4.Caption(), "Proceso Terminado");
  EXPECT_TRUE(std::filesystem::exists(OldPath("a.mdb")));

  // At the root the old path gets no doubled separator; the file is missing,
  // so the pair ends at its listing and nothing is written there.
  w.Dir1.SetPath("/");
  w.List6.Clear();
  w.List6.AddItem("brenquil-sin-base.mdb");
  w.List7.Clear();
  w.List7.AddItem("brenquil-sin-base.mdb");
  Model("brenquil-sin-base.mdb", {{"T", {{"a", dbLong}}}});
  w.Journal.Clear();
  w.Command13_Click();
  EXPECT_EQ(w.Text4.Text(), "/brenquil-sin-base.mdb");
  EXPECT_FALSE(std::filesystem::exists("/brenquil-sin-base.mdb"));
  ASSERT_EQ(Operations(), (Names{"Command6_Click"}));
  EXPECT_EQ(w.Journal.Entries()[0].number, err::kFileNotFound);
  EXPECT_EQ(w.Journal.Entries()[0].text,
            MakeError(err::kFileNotFound, "'/brenquil-sin-base.mdb'").Text() +
                "; no se hacen los demás pasos de esta base.");
}

TEST_F(Transformation, AStopIsHonouredBetweenDatabasesAndNamesWhatWasNotReached) {
  for (const char* name : {"a.mdb", "b.mdb", "c.mdb"}) {
    Model(name, {{"T", {{"x", dbLong}, {"y", dbLong}}}});
    Old(name, {{"T", {{"x", dbLong}}}});
  }
  Model("nueva.mdb", {{"N", {{"n", dbLong}}}});
  Activate();
  auto& w = Window();
  // Asked while the first pair's steps run: that pair is finished.
  w.Label4.Subscribe([&] {
    if (w.Label4.Caption() == "a.mdb") w.RequestStop();
  });

  w.Command13_Click();

  EXPECT_EQ(RawColumns(OldPath("a.mdb"), "T"), (Names{"x", "y"}));
  EXPECT_EQ(RawColumns(OldPath("b.mdb"), "T"), (Names{"x"}));
  EXPECT_EQ(RawColumns(OldPath("c.mdb"), "T"), (Names{"x"}));
  EXPECT_FALSE(std::filesystem::exists(OldPath("nueva.mdb")));
  EXPECT_TRUE(w.Report.Stopped());
  EXPECT_EQ(w.Report.NotReachedDatabases(),
            (Names{OldPath("b.mdb"), OldPath("c.mdb"), OldPath("nueva.mdb")}));
  EXPECT_EQ(w.Label4.Caption(), kStatusStopped);
  EXPECT_EQ(w.Bar1.Value(), 1);
  EXPECT_TRUE(w.Journal.Empty()) << FormatEntry(w.Journal.Entries().at(0));
  EXPECT_EQ(w.MousePointer(), kPointerDefault);
}

TEST_F(Transformation, OldListThatShrinksDuringTheRunStillEndsWithTheClosingStatus) {
  for (const char* name : {"a.mdb", "b.mdb"}) {
    Model(name, {{"T", {{"x", dbLong}, {"y", dbLong}}}});
    Old(name, {{"T", {{"x", dbLong}}}});
  }
  Activate();
  auto& w = Window();
  // A front end re-reads the folder while the run repaints, and b.mdb is gone
  // from the list before the driver selects it.
  bool changed = false;
  w.Frame13.Subscribe([&] {
    if (changed || w.List6.ListCount() < 2) return;
    changed = true;
    w.List6.RemoveItem(1);
  });

  w.Command13_Click();

  EXPECT_TRUE(changed);
  EXPECT_EQ(w.Label4.Caption(), "Proceso Terminado");
  EXPECT_EQ(w.MousePointer(), kPointerDefault);
  EXPECT_EQ(w.Bar1.Value(), 2) << "the loop still walks the count it read";
  EXPECT_EQ(RawColumns(OldPath("a.mdb"), "T"), (Names{"x", "y"}));
  EXPECT_EQ(RawColumns(OldPath("b.mdb"), "T"), (Names{"x"})) << "an entry no longer listed is passed over";
  ASSERT_FALSE(w.Journal.Empty());
  const auto& skipped = w.Journal.Entries()[0];
  EXPECT_EQ(skipped.operation, "Command13_Click");
  EXPECT_EQ(skipped.number, err::kInvalidPropertyIndex);
}

}  // namespace
}  // namespace brenquil::test
