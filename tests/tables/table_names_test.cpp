#include "tables/table_names.h"

#include <gtest/gtest.h>

namespace brenquil {
namespace {

TEST(TableNames, UpperCaseMapsLatinLettersOneToOne) {
  struct Case {
    const char* in;
    const char* out;
  };
  const Case cases[] = {
      {"año", "AÑO"},
      {"AÑO", "AÑO"},
      {"líneas de pedido", "LÍNEAS DE PEDIDO"},
      {"çàéîõüýþ", "ÇÀÉÎÕÜÝÞ"},
      {"ÿ", "Ÿ"},                    // Latin-1 small, Latin Extended-A capital
      {"āĉďęğĥįĳķ", "ĀĈĎĘĞĤĮĲĶ"},    // capitals at even code points
      {"ĺļľŀłńņň", "ĹĻĽĿŁŃŅŇ"},      // capitals at odd code points
      {"ŋōőœŕšťůűųŵŷ", "ŊŌŐŒŔŠŤŮŰŲŴŶ"},
      {"źżž", "ŹŻŽ"},
      {"ıſ", "IS"},
      {"ß÷µĸŉ", "ß÷µĸŉ"},            // no one-letter capital: kept
      {"Ω日本", "Ω日本"},             // outside the mapped blocks
      {"a\xff" "b\xc3", "A\xff" "B\xc3"},  // bytes that are not UTF-8 pass through
  };
  for (const auto& c : cases) EXPECT_EQ(UpperCase(c.in), c.out) << c.in;
}

TEST(TableNames, SameTableNameIgnoresCaseOnly) {
  EXPECT_TRUE(SameTableName("Año", "AÑO"));
  EXPECT_TRUE(SameTableName("Líneas", "lÍNEAS"));
  EXPECT_FALSE(SameTableName("Año", "Ano"));
  EXPECT_FALSE(SameTableName("Año ", "Año"));
  // Whatever the texts, the same answer as comparing their upper-case forms:
  // letters whose capital is longer or shorter, bytes that are not UTF-8.
  const std::string texts[] = {"", "a", "A", "ı", "I", "ſ", "S", "ÿ", "Ÿ", "ß", "SS", "\xC3", "\xC3\xB1",
                               "Ñ", "\xFF" "a", "\xFF" "A", "año\xC3", "AÑO\xC3", "ĸ", "Ŀ", "ŀ", "Ǆ", "ǆ"};
  for (const auto& a : texts)
    for (const auto& b : texts)
      EXPECT_EQ(SameTableName(a, b), UpperCase(a) == UpperCase(b)) << "'" << a << "' '" << b << "'";
}

TEST(TableNames, SystemObjectsBeginExactlyWithMSys) {
  EXPECT_TRUE(IsSystemObject("MSysObjects"));
  EXPECT_TRUE(IsSystemObject("MSys"));
  EXPECT_FALSE(IsSystemObject("msysObjects"));
  EXPECT_FALSE(IsSystemObject("MSYSObjects"));
  EXPECT_FALSE(IsSystemObject("MSy"));
  EXPECT_FALSE(IsSystemObject(" MSysX"));
}

TEST(TableNames, QuoteIdentifierDoublesInnerQuotes) {
  EXPECT_EQ(QuoteIdentifier("Pedidos"), "\"Pedidos\"");
  EXPECT_EQ(QuoteIdentifier("Mis \"datos\" O'Brien"), "\"Mis \"\"datos\"\" O'Brien\"");
  EXPECT_EQ(QuoteIdentifier(""), "\"\"");
}

}  // namespace
}  // namespace brenquil
