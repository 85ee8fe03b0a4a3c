// SQLite's and the system's messages said in Spanish, SQLite's own words kept
// in parentheses: the table of known messages, a message it does not know,
// and a refusal met through the engine.
#include "engine/foreign_messages.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "engine/dbengine.h"
#include "engine/error.h"
#include "tests/support/test_support.h"

namespace brenquil {
namespace {

TEST(ForeignMessages, SqlitesMessagesAreSaidInSpanishWithTheOriginalKept) {
  struct Case {
    const char* sqlite;
    const char* spanish;
  };
  const Case cases[] = {
      {"no such table: Pedidos", "no existe la tabla Pedidos"},
      {"no such column: a.b", "no existe la columna a.b"},
      {"table \"T\" already exists", "ya existe la tabla \"T\""},
      {"index i already exists", "ya existe el índice i"},
      {"duplicate column name: Nota", "la columna Nota está repetida"},
      {"UNIQUE constraint failed: t.codigo", "se repite un valor que debe ser único en t.codigo"},
      {"NOT NULL constraint failed: t.fecha", "falta un valor obligatorio en t.fecha"},
      {"FOREIGN KEY constraint failed", "una fila no tiene la fila relacionada que exige la relación"},
      {"near \"FORM\": syntax error", "error de sintaxis cerca de \"FORM\""},
      {"attempt to write a readonly database", "la base de datos es de sólo lectura"},
      {"database is locked", "la base de datos está bloqueada por otro proceso"},
      {"file is not a database", "el archivo no es una base de datos"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(SpanishSqliteMessage(c.sqlite), std::string(c.spanish) + " (" + c.sqlite + ")") << c.sqlite;
  // Words that only begin a known message, and a message nobody knows, stay.
  for (const char* kept : {"table t is locked", "index out of range", "something else"})
    EXPECT_EQ(SpanishSqliteMessage(kept), kept);
  EXPECT_EQ(SpanishErrno(EACCES), "permiso denegado");
  EXPECT_EQ(SpanishErrno(ENOSPC), "no queda espacio en el disco");
  EXPECT_EQ(SpanishErrno(12345), "error del sistema 12345");
}

TEST(ForeignMessages, AQueryOnAMissingTableIsRefusedInSpanish) {
  test::TempDir dir;
  auto db = DBEngine::Instance().CreateDatabase(dir / "q.mdb");
  try {
    db->QueryDefs().Append(db->CreateQueryDef("Mala", "SELECT * FROM NoHay"));
    ADD_FAILURE() << "a query on a missing table was stored";
  } catch (const Error& error) {
    EXPECT_EQ(error.Number(), err::kInvalidSql);
    EXPECT_NE(error.Text().find("no existe la tabla NoHay (no such table: NoHay)"), std::string::npos)
        << error.Text();
  }
  db->Close();
  DBEngine::Instance().CloseIdle();
}

}  // namespace
}  // namespace brenquil
