// What the genuine files do not hold, made in copies of them changed in one
// known place: an empty text beside Nulls, dates at the ends of Jet's years,
// text outside the Basic Multilingual Plane, an OLE Object larger than any
// page cache. libmdb's text API gets each of these wrong; the import must not.
#include <gtest/gtest.h>

#include <cstring>

#include "jet/jet_import.h"
#include "tests/jet/jet_files.h"
#include "tests/jet/sqlite_cells.h"
#include "tests/support/test_support.h"

namespace brenquil {
namespace {

using test::Cells;
using test::JetFile;
using test::OneCell;
using test::TempDir;

std::string Hex(const std::string& hex) {
  std::string bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return bytes;
}

std::string Double(double value) {
  std::string bytes(sizeof value, '\0');
  std::memcpy(bytes.data(), &value, sizeof value);
  return bytes;
}

// testV1997's Table1, its two rows as the page holds them: a Jet 3 row is its
// column count, the fixed values (C at 1, D at 2, E at 4, F at 8, G at 16, H
// at 24), the text values ('a' 'b'), their offsets backwards (B ends where the
// byte at 34 says) and the null mask.
const char kRowA[] =
    "0900000000000000000000000000000000000000003bdd400000000000000000616222212002ff00";
const char kRowB[] =
    "0902de005543de137b14ae47e1c87b400000000040a7da40b8880000000000006162636465666768696a6b6c6d6e6f"
    "7030272002ff01";

// Column E's definition in Table1's definition page: type 4 (Long) first.
const char kColumnE[] = "0404000200040001000904e4040303000400";

std::string Single(float value) {
  std::string bytes(sizeof value, '\0');
  std::memcpy(bytes.data(), &value, sizeof value);
  return bytes;
}

TEST(JetCopies, EmptyTextDatesAndSinglesTheFilesLack) {
  SKIP_WITHOUT_JET_FILES();
  TempDir dir;
  const std::string once = dir / "una.mdb", twice = dir / "dos.mdb", thrice = dir / "tres.mdb",
                    out = dir / "salida.db";
  std::string a = Hex(kRowA), b = Hex(kRowB), e = Hex(kColumnE);
  std::string a2 = a, b2 = b, e2 = e;
  a2[34] = 0x21;                         // B ends where it starts: '', its null bit still set
  a2.replace(16, 8, Double(-657434.0));  // 0100-01-01, Jet's first day
  b2.replace(16, 8, Double(2958465.0 + 43199.0 / 86400.0));  // 9999-12-31 11:59:59
  e2[0] = 0x06;  // E becomes a Single, its four bytes a float
  a2.replace(4, 4, Single(0.15f));
  b2.replace(4, 4, Single(-2.5e-7f));
  test::CopyWithPatch(JetFile("testV1997.mdb"), once, a, a2);
  test::CopyWithPatch(once, twice, b, b2);
  test::CopyWithPatch(twice, thrice, e, e2);
  // '' breaks B's AllowZeroLength off: the row arrives, the rule does not.
  jet::ImportReport report = jet::ImportJet(thrice, out);
  ASSERT_EQ(report.left_out.size(), 1u);
  EXPECT_EQ(report.left_out[0].name, "Table1.B");
  EXPECT_NE(report.left_out[0].reason.find("AllowZeroLength"), std::string::npos)
      << report.left_out[0].reason;
  auto rows = Cells(out, "SELECT A, B, typeof(B), G, E FROM Table1 ORDER BY A");
  ASSERT_EQ(rows.size(), 2u);
  // Single as Jet stores it, to its 7 significant digits: not 0.150000006.
  EXPECT_EQ(rows[0][4].type, SQLITE_FLOAT);
  EXPECT_EQ(rows[0][4].text, "0.15");
  EXPECT_EQ(rows[1][4].number, -2.5e-7);
  EXPECT_EQ(OneCell(out, "SELECT type FROM pragma_table_info('Table1') WHERE name = 'E'").text,
            "SINGLE");
  EXPECT_EQ(rows[0][0].text, "a");
  EXPECT_EQ(rows[0][2].text, "text");  // not null
  EXPECT_EQ(rows[0][1].text, "");
  EXPECT_EQ(rows[0][3].text, "0100-01-01 00:00:00");
  EXPECT_EQ(rows[1][3].text, "9999-12-31 11:59:59");
  EXPECT_EQ(OneCell(out, "PRAGMA integrity_check").text, "ok");
  // Nulls stay Null: the overflow file's empty columns.
  const std::string nulls = dir / "nulos.db";
  jet::ImportJet(JetFile("overflowTestV2000.mdb"), nulls);
  EXPECT_EQ(OneCell(nulls, "SELECT count(*) FROM Table1 WHERE data3 IS NULL").text, "2");
  EXPECT_EQ(OneCell(nulls, "SELECT count(*) FROM Table1 WHERE data3 = ''").text, "0");
}

TEST(JetCopies, AnIndexNotReadWholeIsNamedAndNeverMadeWithOtherFields) {
  SKIP_WITHOUT_JET_FILES();
  TempDir dir;
  const std::string copy = dir / "indice.mdb", out = dir / "indice.db";
  // delColTestV2000's index "id2": its real index's first key names column 2;
  // the copy names column 0x50, which the table does not have.
  test::CopyWithPatch(JetFile("delColTestV2000.mdb"), copy,
                      Hex("0000000083070000020001ffff16ffff00"),
                      Hex("0000000083070000500001ffff16ffff00"));
  jet::ImportReport report = jet::ImportJet(copy, out);
  ASSERT_EQ(report.left_out.size(), 1u);
  EXPECT_EQ(report.left_out[0].kind, "índice");
  EXPECT_EQ(report.left_out[0].name, "Table1.id2");
  EXPECT_NE(report.left_out[0].reason.find("no se pudo leer entera"), std::string::npos)
      << report.left_out[0].reason;
  EXPECT_EQ(OneCell(out, "SELECT group_concat(name) FROM pragma_index_list('Table1')").text,
            "Table1_id");
  EXPECT_EQ(OneCell(out, "SELECT count(*) FROM Table1").text, "2");
}

TEST(JetCopies, TextOutsideTheBasicPlaneArrivesWhole) {
  SKIP_WITHOUT_JET_FILES();
  TempDir dir;
  const std::string copy = dir / "emoji.mdb", out = dir / "emoji.db";
  // "漢字" (U+6F22 U+5B57) becomes U+1F600, the same four bytes in UTF-16:
  // a surrogate pair, which a UCS-2 reader turns into question marks.
  test::CopyWithPatch(JetFile("testUnicodeCompV2003.mdb"), copy, Hex("226f575b"), Hex("3dd800de"));
  jet::ImportJet(copy, out);
  EXPECT_EQ(OneCell(out, "SELECT Unicode FROM \"Table\" WHERE ID = 5").text,
            "\U0001F600仮名交じり文");
  EXPECT_EQ(OneCell(out, "SELECT length(Unicode) FROM \"Table\" WHERE ID = 5").text, "7");
}

TEST(JetCopies, LargeOleObjectArrivesWholeByteForByte) {
  SKIP_WITHOUT_JET_FILES();
  TempDir dir;
  const std::string copy = dir / "ole.mdb", out = dir / "ole.db";
  const int pages = 300;  // 1.2 MB: written in pieces, not bound whole
  test::CopyWithLongOle(copy, pages);
  jet::ImportReport report = jet::ImportJet(copy, out);
  EXPECT_TRUE(report.Complete());
  const long long length = test::LongOleLength(pages);
  EXPECT_EQ(OneCell(out, "SELECT length(RESERVED_BINARY_DATA) FROM MSP_PROJECTS").text,
            std::to_string(length));
  for (long long at : {0LL, 4075LL, 4076LL, 600000LL, length - 8}) {
    std::string expected;
    static const char kHex[] = "0123456789ABCDEF";
    for (long long i = at; i < at + 8; ++i) {
      expected += kHex[test::LongValueByte(i) >> 4];
      expected += kHex[test::LongValueByte(i) & 15];
    }
    EXPECT_EQ(OneCell(out, "SELECT hex(substr(RESERVED_BINARY_DATA, " + std::to_string(at + 1) +
                               ", 8)) FROM MSP_PROJECTS")
                  .text,
              expected)
        << "byte " << at;
  }
  EXPECT_EQ(OneCell(out, "PRAGMA integrity_check").text, "ok");
}

TEST(JetCopies, LongMemoArrivesWholeWhereLibmdbCutsIt) {
  SKIP_WITHOUT_JET_FILES();
  TempDir dir;
  const std::string copy = dir / "memo.mdb", out = dir / "memo.db";
  const int pages = 100;  // 407,600 bytes of UTF-16: 203,800 characters
  test::CopyWithLongValue(copy, pages, test::LongValueKind::kMemo);
  EXPECT_TRUE(jet::ImportJet(copy, out).Complete());
  const long long characters = test::LongOleLength(pages) / 2;
  EXPECT_EQ(OneCell(out, "SELECT length(PROJ_PROP_AUTHOR) FROM MSP_PROJECTS").text,
            std::to_string(characters));
  for (long long at : {0LL, 2037LL, 2038LL, characters - 7}) {
    std::u16string expected;
    for (long long k = at; k < at + 7; ++k) expected += test::LongMemoCharacter(k);
    std::string utf8;
    for (char16_t c : expected) {
      if (c < 0x80)
        utf8 += static_cast<char>(c);
      else if (c < 0x800)
        utf8 += {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
      else
        utf8 += {static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
                 static_cast<char>(0x80 | (c & 0x3F))};
    }
    EXPECT_EQ(OneCell(out, "SELECT substr(PROJ_PROP_AUTHOR, " + std::to_string(at + 1) +
                               ", 7) FROM MSP_PROJECTS")
                  .text,
              utf8)
        << "carácter " << at;
  }
  // libmdb's text API stops at its bind buffer (16 KiB): mdb-export is no witness here.
  if (test::HaveMdbExport()) {
    auto theirs = test::MdbExport(copy, "MSP_PROJECTS");
    ASSERT_EQ(theirs.size(), 1u);
    EXPECT_LT(theirs[0][2].value_or("").size(), static_cast<std::size_t>(characters));
  }
}

}  // namespace
}  // namespace brenquil
