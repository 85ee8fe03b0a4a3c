// What the Jet tests share: the genuine Jet files of ../shared/jet (the tests
// that need them skip, saying so, when the folder is absent), what mdb-export
// prints for a table, and copies of genuine files changed in one known place
// (made in a temporary folder, never beside the originals) for the cases the
// files themselves do not hold. No GoogleTest here: the benchmark uses it too.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace brenquil::test {

// The folder of genuine Jet files, and whether it is there.
std::string JetFolder();
bool HaveJetFiles();
// Every .mdb file of the folder, by full path, sorted.
std::vector<std::string> JetFiles();
std::string JetFile(const std::string& name);

#define SKIP_WITHOUT_JET_FILES()                                   \
  do {                                                             \
    if (!::brenquil::test::HaveJetFiles())                         \
      GTEST_SKIP() << "sin los archivos Jet de prueba: no existe " \
                   << ::brenquil::test::JetFolder();               \
  } while (0)

// mdb-export's rows of `table` (header left out): NULL and the empty text
// both come as nullopt (mdb-export cannot tell them apart), dates as
// "YYYY-MM-DD HH:MM:SS", binary values as upper-case hex. Empty when
// mdb-export is not installed (HaveMdbExport).
bool HaveMdbExport();
std::vector<std::vector<std::optional<std::string>>> MdbExport(const std::string& file,
                                                               const std::string& table);
// mdb-tables' user tables of `file`.
std::vector<std::string> MdbTables(const std::string& file);

// A copy of `source` at `target` with `replace` written over every
// occurrence of `find` (a row may have an old copy on a page no table uses);
// std::runtime_error when there is none.
void CopyWithPatch(const std::string& source, const std::string& target, const std::string& find,
                   const std::string& replace);
// A copy of test2V2000.mdb whose OLE Object value (MSP_PROJECTS.
// RESERVED_BINARY_DATA) or Memo value (PROJ_PROP_AUTHOR) is replaced by a
// chain of `pages` long-value pages appended to the file: byte i of the OLE
// value is LongValueByte(i); character k of the Memo is
// LongMemoCharacter(k), stored as UTF-16. Also made by the benchmark, for
// values of hundreds of MiB.
enum class LongValueKind { kOle, kMemo };
void CopyWithLongValue(const std::string& target, int pages, LongValueKind kind);
inline void CopyWithLongOle(const std::string& target, int pages) {
  CopyWithLongValue(target, pages, LongValueKind::kOle);
}
inline unsigned char LongValueByte(long long i) {
  return static_cast<unsigned char>((i * 7 + i / 4093) & 0xFF);
}
// "Jet ñ€ " over and over: ASCII, Latin-1 and beyond it.
inline char16_t LongMemoCharacter(long long k) { return u"Jet \u00F1\u20AC "[k % 7]; }
// The length of the value in bytes: each appended page holds 4076 of them.
inline long long LongOleLength(int pages) { return 4076LL * pages; }

}  // namespace brenquil::test
