// Jet's stored numbers, dates and text as the import stores them, and its
// DefaultValue and ValidationRule expressions in SQLite, case by case.
#include <gtest/gtest.h>

#include <strings.h>

#include <cmath>
#include <cstring>
#include <map>
#include <tuple>

#include "jet/jet_expressions.h"
#include "jet/jet_values.h"
#include "jet/text_decoder.h"

namespace brenquil::jet {
namespace {

TEST(JetValues, DatesFromTheStoredNumberOfDays) {
  const std::vector<std::pair<double, const char*>> cases = {
      {0.0, "1899-12-30 00:00:00"},
      {1.5, "1899-12-31 12:00:00"},
      {-1.25, "1899-12-29 06:00:00"},  // before the base day the fraction still counts forward
      {-0.5, "1899-12-30 12:00:00"},
      {36526.0, "2000-01-01 00:00:00"},
      {-657434.0, "0100-01-01 00:00:00"},
      {2958465.0 + 86399.0 / 86400.0, "9999-12-31 23:59:59"},
      {1.0 / 86400.0 / 2.0, "1899-12-30 00:00:00.500"},
      {0.99999999999, "1899-12-31 00:00:00"},  // rounds up into the next day
      {-2.0 + 0.99999999999, "1899-12-29 00:00:00"},
  };
  for (const auto& [days, text] : cases) {
    auto got = DateText(days);
    ASSERT_TRUE(got) << days;
    EXPECT_EQ(*got, text) << days;
  }
  for (double outside : {-657435.0, 2958466.0, 1e300, std::nan("")})
    EXPECT_FALSE(DateText(outside)) << outside;
}

TEST(JetValues, NumbersKeepWhatJetStored) {
  EXPECT_EQ(SingleText(0.15f), "0.15");
  EXPECT_EQ(SingleText(1.0f), "1");
  EXPECT_EQ(SingleText(-3.4028235e38f), "-3.4028235e+38");
  EXPECT_EQ(MoneyText(-23412340345LL), "-2341234.0345");
  EXPECT_EQ(MoneyText(370000), "37");
  EXPECT_EQ(MoneyText(1), "0.0001");
  EXPECT_EQ(MoneyText(INT64_MIN), "-922337203685477.5808");
  // Decimal: a sign byte, then four little-endian words, most significant first.
  unsigned char decimal[17] = {0x80, 0, 0, 0, 0,    0,    0, 0, 0,
                               0,    0, 0, 0, 0x51, 0x30, 0, 0};  // 12369, negative
  EXPECT_EQ(DecimalText(Bytes(decimal, 17), 4), "-1.2369");
  EXPECT_EQ(DecimalText(Bytes(decimal, 17), 0), "-12369");
  unsigned char big[17] = {0, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};  // 2^96
  EXPECT_EQ(DecimalText(Bytes(big, 17), 2), "792281625142643375935439503.36");
  unsigned char zero[17] = {0x80};
  EXPECT_EQ(DecimalText(Bytes(zero, 17), 2), "0.00");  // no "-0"
  EXPECT_EQ(SignificantDigits("0.0450"), 2);           // 0.045: the last zero adds nothing
  EXPECT_EQ(SignificantDigits("-922337203685477.5808"), 19);
  EXPECT_EQ(SignificantDigits("1000"), 4);
  unsigned char guid[16] = {0x01, 0x9F, 0xA5, 0x32, 0x34, 0xAA, 0x29, 0x3E,
                            0x45, 0x3F, 0x45, 0x23, 0x45, 0x3C, 0xD2, 0xE6};
  EXPECT_EQ(GuidText(Bytes(guid, 16)), "{32A59F01-AA34-3E29-453F-4523453CD2E6}");
}

std::string Utf16(const std::u16string& s) {
  std::string bytes;
  for (char16_t c : s) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  return bytes;
}

TEST(JetValues, TextDecodesWholeOrInPieces) {
  TextDecoder jet4(false, 1252);
  const std::vector<std::pair<std::string, std::string>> cases = {
      {Utf16(u"Año"), "Año"},
      {Utf16(u"\U0001F600!"), "\U0001F600!"},
      {Utf16(u"\xD83D!"), "\xEF\xBF\xBD!"},  // a lone surrogate
      // Compressed: FF FE, then one byte a character, 00 switching to two.
      {std::string("\xFF\xFEjet\x00\x1F\x04\x00!", 10), "jetП!"},
      {std::string("\xFF\xFE", 2), ""},
  };
  for (const auto& [bytes, text] : cases) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    EXPECT_EQ(jet4.Decode(data, bytes.size()), text);
    // A piece may end anywhere, the compression mark and a surrogate pair included.
    for (std::size_t cut = 0; cut <= bytes.size(); ++cut) {
      std::string out;
      jet4.Begin();
      jet4.Feed(data, cut, out);
      jet4.Feed(data + cut, bytes.size() - cut, out);
      jet4.Finish(out);
      EXPECT_EQ(out, text) << "cortado en " << cut;
    }
  }
  TextDecoder jet3(true, 1252);
  std::string latin("Caf\xE9 \x80", 6);
  EXPECT_EQ(jet3.Decode(reinterpret_cast<const std::uint8_t*>(latin.data()), latin.size()),
            "Café €");
}

TEST(JetExpressions, DefaultsTranslateOnlyWhereSQLiteMeansTheSame) {
  const std::vector<std::tuple<const char*, const char*, const char*>> cases = {
      {"0", "number", "0"},
      {"=-1.5", "number", "-1.5"},
      {"\"abc\"", "text", "'abc'"},
      {"'O''Brien'", "text", "'O''Brien'"},
      {"0", "text", "'0'"},
      {"Yes", "boolean", "1"},
      {"No", "boolean", "0"},
      {"-1", "boolean", "1"},
      {"True", "number", "-1"},
      {"#1/2/2003#", "date", "'2003-01-02 00:00:00'"},
      {"=Now()", "date", "(datetime('now', 'localtime'))"},
      {"Date ( )", "date", "(date('now', 'localtime') || ' 00:00:00')"},
      {"Null", "text", "NULL"},
  };
  for (const auto& [jet, kind, sql] : cases) {
    ExpressionTranslation t = TranslateDefault(jet, kind);
    EXPECT_EQ(t.sql, sql) << jet << " (" << kind << "): " << t.reason;
  }
  for (const auto& [jet, kind] :
       std::vector<std::pair<const char*, const char*>>{{"Date()+1", "date"},
                                                        {"\"abc\"", "number"},
                                                        {"UCase(\"a\")", "text"},
                                                        {"#1/2/2003#", "text"},
                                                        {"5", "date"}}) {
    ExpressionTranslation t = TranslateDefault(jet, kind);
    EXPECT_FALSE(t.ok()) << jet << " -> " << t.sql;
    EXPECT_FALSE(t.reason.empty()) << jet;
  }
  EXPECT_NE(TranslateDefault("GenGUID()", "guid").sql.find("randomblob"), std::string::npos);
}

TEST(JetExpressions, RulesTranslateOnlyWhereSQLiteMeansTheSame) {
  ExpressionContext context;
  context.field = [](const std::string& name) -> std::optional<ExpressionContext::Field> {
    static const std::map<std::string, std::string> kinds = {{"Cantidad", "number"},
                                                             {"Nombre", "text"},
                                                             {"Alta", "date"},
                                                             {"Activo", "boolean"},
                                                             {"Foto", "other"}};
    for (const auto& [n, k] : kinds)
      if (n.size() == name.size() && strcasecmp(n.c_str(), name.c_str()) == 0)
        return ExpressionContext::Field{n, k};
    return std::nullopt;
  };
  const std::vector<std::tuple<const char*, const char*, const char*>> cases = {
      {">0", "Cantidad", "\"Cantidad\" > 0"},
      {">=0 And <=100", "Cantidad", "\"Cantidad\" >= 0 AND \"Cantidad\" <= 100"},
      {"Between 1 And 10", "Cantidad", "\"Cantidad\" BETWEEN 1 AND 10"},
      {"Is Null Or >0", "Cantidad", "\"Cantidad\" IS NULL OR \"Cantidad\" > 0"},
      {"Not Null", "Nombre", "\"Nombre\" IS NOT NULL"},
      {"<>\"\"", "Nombre", "\"Nombre\" COLLATE NOCASE <> ''"},
      {"In (\"a\",\"B\")", "Nombre", "\"Nombre\" COLLATE NOCASE IN ('a', 'B')"},
      {"Like \"A*_?\"", "Nombre", "\"Nombre\" LIKE 'A%\\__' ESCAPE '\\'"},
      {">=#1/1/2000#", "Alta", "\"Alta\" >= '2000-01-01 00:00:00'"},
      {"=True", "Activo", "\"Activo\" = 1"},
      {"Not (<0)", "Cantidad", "NOT ((\"Cantidad\" < 0))"},
      {"[Cantidad] > 0 And [alta] Is Not Null", "", "\"Cantidad\" > 0 AND \"Alta\" IS NOT NULL"},
  };
  for (const auto& [jet, field, sql] : cases) {
    ExpressionTranslation t = TranslateRule(jet, field, context);
    EXPECT_EQ(t.sql, sql) << jet << ": " << t.reason;
  }
  const std::vector<std::pair<const char*, const char*>> refused = {
      {">0", ""},                         // a table's rule names its fields
      {"<>\"Ñu\"", "Nombre"},             // NOCASE folds ASCII letters only
      {"[Cantidad]*2 < 10", "Cantidad"},  // arithmetic: Jet's / is not SQLite's
      {">5", "Alta"},                     // a date against a number
      {"Like \"[A-C]*\"", "Nombre"},      // Jet's character lists
      {"[Nombre] <> [Nombre]", ""},       // text of fields against each other
      {"Len([Nombre]) > 2", "Nombre"},    // functions
      {"Is Not Null", "Foto"},            // an OLE Object
      {"[Nada] > 0", ""},                 // no such field
  };
  for (const auto& [jet, field] : refused) {
    ExpressionTranslation t = TranslateRule(jet, field, context);
    EXPECT_FALSE(t.ok()) << jet << " -> " << t.sql;
    EXPECT_FALSE(t.reason.empty()) << jet;
  }
  EXPECT_EQ(JetDateLiteral("12/31/99 3:04:05 PM"), "1999-12-31 15:04:05");
  EXPECT_EQ(JetDateLiteral("2024-02-29"), "2024-02-29 00:00:00");
  EXPECT_FALSE(JetDateLiteral("2023-02-29"));
  EXPECT_FALSE(JetDateLiteral("13/1/2000"));
}

}  // namespace
}  // namespace brenquil::jet
