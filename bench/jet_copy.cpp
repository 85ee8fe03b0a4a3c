// brenquil-bench-jetcopy OUT --ole-mib N | --memo-mib N: a copy of the genuine
// test2V2000.mdb whose OLE Object (or Memo) value is N MiB long, in a chain of
// long-value pages appended to the file, for measuring what the import's
// memory does with long values. No Jet file can be written here otherwise.
#include <CLI/CLI.hpp>
#include <cstdio>

#include "tests/jet/jet_files.h"

int main(int argc, char** argv) {
  CLI::App app{"Copia de test2V2000.mdb con un valor largo de N MiB"};
  std::string out;
  double ole = 0, memo = 0;
  app.add_option("OUT", out)->required();
  app.add_option("--ole-mib", ole, "MiB del objeto OLE");
  app.add_option("--memo-mib", memo, "MiB (en UTF-16) del Memo");
  CLI11_PARSE(app, argc, argv);
  if ((ole > 0) == (memo > 0)) {
    std::fprintf(stderr, "brenquil-bench-jetcopy: --ole-mib o --memo-mib, uno de los dos\n");
    return 2;
  }
  if (!brenquil::test::HaveJetFiles()) {
    std::fprintf(stderr, "brenquil-bench-jetcopy: no existe %s\n",
                 brenquil::test::JetFolder().c_str());
    return 2;
  }
  const double mib = ole > 0 ? ole : memo;
  const int pages = static_cast<int>(mib * 1024 * 1024 / 4076) + 1;
  brenquil::test::CopyWithLongValue(
      out, pages,
      ole > 0 ? brenquil::test::LongValueKind::kOle : brenquil::test::LongValueKind::kMemo);
  std::printf("%lld\n", brenquil::test::LongOleLength(pages));
  return 0;
}
