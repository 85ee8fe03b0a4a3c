// The query step as "Lista de Consultas" runs it, and "Iguala Consultas"
// pressed on its own.
#include <gtest/gtest.h>

#include "engine/error.h"
#include "tests/queries/query_fixture.h"

namespace brenquil::test {
namespace {

std::vector<std::string> Names(const Queries& queries) {
  std::vector<std::string> out;
  for (auto& q : queries) out.push_back(q.first);
  return out;
}

TEST_F(QueryStepTest, ModelWithoutUserQueriesEmptiesTheOld) {
  struct Case {
    const char* what;
    Queries model_queries;
  };
  const Case cases[] = {
      {"no queries", {}},
      {"system queries only", {{"MSysConsulta", "SELECT Id FROM Articulos"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir case_dir;
    const std::string case_model = case_dir / "m.mdb", case_old = case_dir / "v.mdb";
    MakeArticulos(case_model);
    MakeArticulos(case_old);
    AddQueries(case_model, c.model_queries);
    AddQueries(case_old, {{"Baratos", "SELECT * FROM Articulos WHERE Precio < 2"},
                          {"Caros", "SELECT * FROM Articulos WHERE Precio > 10"}});
    Window().Text3.SetText(case_model);
    Window().Text4.SetText(case_old);

    ASSERT_FALSE(Window().Press(24));

    EXPECT_TRUE(Catalogue().empty());
    EXPECT_EQ(Window().List11[1].Items(), (std::vector<std::string>{"Baratos", "Caros"}));
    EXPECT_TRUE(QueriesOf(case_old).empty());
    EXPECT_EQ(Window().Report.For(case_old, case_model).queries_deleted,
              (std::vector<std::string>{"Baratos", "Caros"}));
    EXPECT_TRUE(Window().Report.For(case_old, case_model).queries_created.empty());
  }
  EXPECT_TRUE(Window().Journal.Empty());
}

TEST_F(QueryStepTest, LineBreaksKeepTheQueryMeaning) {
  struct Case {
    const char* name;
    const char* sql;
    Rows expected;
  };
  const Case cases[] = {
      {"Varios", "SELECT Id, Nombre\r\nFROM Articulos\r\nWHERE Precio > 1 ORDER BY Id",
       {{"2", "tornillo"}, {"3", "martillo"}, {"4", "sierra"}}},
      // On one line the comment would swallow the condition.
      {"Comentario", "SELECT Id FROM Articulos -- solo los baratos\nWHERE Precio < 2 ORDER BY Id",
       {{"1"}, {"2"}}},
      // Joined, the literal would no longer equal its two lines.
      {"Literal", "SELECT Id FROM Articulos WHERE 'linea\r\notra' = 'linea' || char(13, 10) ||"
                  " 'otra' AND Precio > 10 ORDER BY Id",
       {{"3"}, {"4"}}},
      {"Texto", "SELECT 'uno\ndos' AS t", {{"uno\ndos"}}},
  };
  Queries queries;
  for (const Case& c : cases) queries.emplace_back(c.name, c.sql);
  AddQueries(model, queries);

  ASSERT_FALSE(Window().Press(24));

  EXPECT_EQ(Catalogue(), (Rows{{cases[0].name, cases[0].sql}, {cases[1].name, cases[1].sql},
                               {cases[2].name, cases[2].sql}, {cases[3].name, cases[3].sql}}));
  EXPECT_EQ(QueriesOf(old), queries);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // Run by another SQLite program as the view it is, and by the engine.
    const std::string run = std::string("SELECT * FROM \"") + c.name + "\"";
    EXPECT_EQ(RawQuery(model, run), c.expected);
    EXPECT_EQ(RawQuery(old, run), c.expected);
    auto rows = DBEngine::Instance().OpenDatabase(old)->OpenRecordset(c.name);
    rows->MoveLast();
    EXPECT_EQ(rows->RecordCount(), static_cast<long>(c.expected.size()));
  }
  EXPECT_TRUE(Window().Journal.Empty());
}

TEST_F(QueryStepTest, RefusedTextIsJournaledByNameAndTheOthersAreCreated) {
  FillCatalogue({{"Primera", "SELECT Id FROM Articulos"},
                 {"Rota", "SELEC nada de nada"},
                 {"Tercera", "SELECT Nombre FROM Articulos"}});

  ASSERT_FALSE(Window().Press(23));

  ASSERT_EQ(Window().Journal.Entries().size(), 1u);
  const JournalEntry& entry = Window().Journal.Entries()[0];
  EXPECT_EQ(entry.operation, "Command23_Click");
  EXPECT_EQ(entry.number, err::kInvalidSql);
  EXPECT_EQ(entry.text.rfind("Consulta 'Rota' no creada: " +
                                 std::string(ErrorDescription(err::kInvalidSql)),
                             0),
            0u)
      << entry.text;
  EXPECT_EQ(Names(QueriesOf(old)), (std::vector<std::string>{"Primera", "Tercera"}));
  EXPECT_EQ(Window().Bar6.Max(), 3.0f);
  EXPECT_EQ(Window().Bar6.Value(), 3.0f);
}

TEST_F(QueryStepTest, NameStillInTheOldIsJournaledOnceAndKeepsItsText) {
  // The query before it was created; a refused row must not offer it again.
  AddQueries(old, {{"Segunda", "SELECT Precio FROM Articulos"}});
  FillCatalogue({{"Primera", "SELECT Id FROM Articulos"},
                 {"Segunda", "SELECT Nombre FROM Articulos"},
                 {"Tercera", "SELECT Id, Nombre FROM Articulos"}});

  ASSERT_FALSE(Window().Press(23));

  ASSERT_EQ(Window().Journal.Entries().size(), 1u);
  const JournalEntry& entry = Window().Journal.Entries()[0];
  EXPECT_EQ(entry.number, err::kObjectExists);
  EXPECT_EQ(entry.text.rfind("Consulta 'Segunda' no creada: " +
                                 std::string(ErrorDescription(err::kObjectExists)),
                             0),
            0u)
      << entry.text;
  EXPECT_EQ(QueriesOf(old), (Queries{{"Segunda", "SELECT Precio FROM Articulos"},
                                     {"Primera", "SELECT Id FROM Articulos"},
                                     {"Tercera", "SELECT Id, Nombre FROM Articulos"}}));
  EXPECT_EQ(Window().Report.For(old, model).queries_created,
            (std::vector<std::string>{"Primera", "Tercera"}));
}

TEST_F(QueryStepTest, FourRowsEndBar6AtFourOfFour) {
  AddQueries(model, {{"A", "SELECT Id FROM Articulos"},
                     {"B", "SELECT Nombre FROM Articulos"},
                     {"C", "SELECT Precio FROM Articulos"},
                     {"D", "SELECT Id, Precio FROM Articulos"}});
  Window().Bar6.SetValue(50);
  const long refreshes = Window().Frame13.Refreshes();

  ASSERT_FALSE(Window().Press(24));

  EXPECT_EQ(Window().Bar6.Max(), 4.0f);
  EXPECT_EQ(Window().Bar6.Value(), 4.0f);
  // Once after the reset and once per row.
  EXPECT_EQ(Window().Frame13.Refreshes() - refreshes, 5);
  EXPECT_EQ(Names(QueriesOf(old)), (std::vector<std::string>{"A", "B", "C", "D"}));
  EXPECT_TRUE(Window().Data5.Recordset().Eof());
}

TEST_F(QueryStepTest, ModelThatDoesNotOpenLeavesCatalogueEmptyAndListsUntouched) {
  FillCatalogue({{"Vieja", "SELECT Id FROM Articulos"}});
  for (int element : {0, 1, 3}) Window().List11[element].AddItem("antes " + std::to_string(element));
  const std::string missing = Dir() / "no-existe.mdb";
  Window().Text3.SetText(missing);

  std::optional<Error> error = Window().Press(24);

  ASSERT_TRUE(error);
  EXPECT_EQ(error->Number(), err::kFileNotFound);
  EXPECT_EQ(error->Text().rfind(ErrorDescription(err::kFileNotFound), 0), 0u) << error->Text();
  EXPECT_NE(error->Text().find(missing), std::string::npos) << error->Text();
  ASSERT_EQ(Window().Journal.Entries().size(), 1u);
  EXPECT_EQ(Window().Journal.Entries()[0].operation, "Command24_Click");
  EXPECT_EQ(Window().Journal.Entries()[0].number, err::kFileNotFound);
  EXPECT_TRUE(Catalogue().empty());
  for (int element : {0, 1, 3})
    EXPECT_EQ(Window().List11[element].Items(),
              std::vector<std::string>{"antes " + std::to_string(element)});
}

TEST_F(QueryStepTest, SecondRunChangesNothing) {
  const Queries queries = {{"Baratos", "SELECT * FROM Articulos\nWHERE Precio < 2"},
                           {"Nombres", "SELECT Nombre FROM Articulos"}};
  AddQueries(model, queries);
  AddQueries(old, {{"Sobra", "SELECT Id FROM Articulos"}});
  ASSERT_FALSE(Window().Press(24));
  const Rows catalogue = Catalogue();
  ASSERT_EQ(QueriesOf(old), queries);

  ASSERT_FALSE(Window().Press(24));

  EXPECT_EQ(Catalogue(), catalogue);
  EXPECT_EQ(QueriesOf(old), queries);
  EXPECT_EQ(Window().List11[1].Items(), (std::vector<std::string>{"Baratos", "Nombres"}));
  EXPECT_TRUE(Window().Journal.Empty());
}

TEST_F(QueryStepTest, EmptyQueryTextIsRecordedEmptyAndArrivesEmpty) {
  AddQueries(model, {{"Vacia", ""}, {"Llena", "SELECT Id FROM Articulos"}});

  ASSERT_FALSE(Window().Press(24));

  EXPECT_EQ(Catalogue(), (Rows{{"Vacia", ""}, {"Llena", "SELECT Id FROM Articulos"}}));
  EXPECT_EQ(QueriesOf(old), (Queries{{"Vacia", ""}, {"Llena", "SELECT Id FROM Articulos"}}));
  EXPECT_TRUE(Window().Journal.Empty());
}

TEST_F(QueryStepTest, OldDatabaseThatDoesNotOpenJournalsEveryStatementAndRunsTheBar) {
  const std::string missing = Dir() / "no-existe.mdb";
  Window().Text4.SetText(missing);
  Window().List11[1].AddItem("Listada");
  FillCatalogue({{"A", "SELECT Id FROM Articulos"}, {"B", "SELECT Nombre FROM Articulos"}});

  ASSERT_FALSE(Window().Press(23));

  const auto& entries = Window().Journal.Entries();
  std::vector<int> numbers;
  for (auto& e : entries) numbers.push_back(e.number);
  EXPECT_EQ(numbers, (std::vector<int>{err::kFileNotFound, err::kObjectNotSet,
                                       err::kFileNotFound, err::kObjectNotSet,
                                       err::kObjectNotSet}));
  ASSERT_EQ(entries.size(), 5u);
  EXPECT_EQ(entries[1].text.rfind("Consulta 'Listada' no borrada: ", 0), 0u) << entries[1].text;
  EXPECT_EQ(entries[3].text.rfind("Consulta 'A' no creada: ", 0), 0u) << entries[3].text;
  EXPECT_EQ(entries[4].text.rfind("Consulta 'B' no creada: ", 0), 0u) << entries[4].text;
  EXPECT_EQ(Window().Bar6.Max(), 2.0f);
  EXPECT_EQ(Window().Bar6.Value(), 2.0f);
}

TEST_F(QueryStepTest, UnreadableCatalogueEndsEqualisationAfterTheDeletions) {
  AddQueries(old, {{"Sobra", "SELECT Id FROM Articulos"}});
  Window().List11[1].AddItem("Sobra");
  Window().Data5.Close();
  Window().Bar6.SetMax(9);

  ASSERT_FALSE(Window().Press(23));

  ASSERT_EQ(Window().Journal.Entries().size(), 1u);
  EXPECT_EQ(Window().Journal.Entries()[0].number, err::kObjectNotSet);
  EXPECT_EQ(Window().Journal.Entries()[0].text,
            std::string(ErrorDescription(err::kObjectNotSet)) +
                " Data1 no tiene conjunto de registros");
  EXPECT_TRUE(QueriesOf(old).empty());
  EXPECT_EQ(Window().Bar6.Max(), 9.0f);
}

}  // namespace
}  // namespace brenquil::test
