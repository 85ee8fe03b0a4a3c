// make_docs OUT_DIR: writes the manual page brenquil-cli.1 and the bash
// completion brenquil-cli into OUT_DIR, and brenquil.1 when the desktop
// program is built. Run by the build.
#include <cstdio>
#include <fstream>
#include <string>

#include "package/bash_completion.h"
#include "package/cli_manual.h"
#ifdef BRENQUIL_DESKTOP_MANUAL
#include "package/desktop_manual.h"
#endif

namespace {
bool Write(const std::string& path, const std::string& text) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << text;
  file.close();
  if (!file) std::fprintf(stderr, "make_docs: no se pudo escribir %s\n", path.c_str());
  return static_cast<bool>(file);
}
}  // namespace

int main(int argc, char** argv) {
  using namespace brenquil::package;
  if (argc != 2) {
    std::fprintf(stderr, "uso: make_docs CARPETA\n");
    return 64;
  }
  const std::string folder = argv[1];
  const CliTable table = BrenquilCliTable();
  bool written = Write(folder + "/brenquil-cli.1", CliManualPage(table)) &&
                 Write(folder + "/brenquil-cli", BashCompletion(table));
#ifdef BRENQUIL_DESKTOP_MANUAL
  written = written && Write(folder + "/brenquil.1", DesktopManualPage());
#endif
  return written ? 0 : 2;
}
