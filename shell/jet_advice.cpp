#include "shell/jet_advice.h"

#include <cstring>
#include <filesystem>
#include <fstream>

namespace brenquil {

namespace {

std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace

bool LooksLikeJet(const std::string& path) {
  unsigned char header[0x20] = {};
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return false;  // a named pipe would wait for a writer
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  in.read(reinterpret_cast<char*>(header), sizeof header);
  return in.gcount() == sizeof header && header[0] == 0 &&
         (std::memcmp(header + 4, "Standard Jet DB", 15) == 0 ||
          std::memcmp(header + 4, "Standard ACE DB", 15) == 0);
}

Error ExplainJetFile(const Error& error, const std::vector<std::string>& paths,
                     const std::string& home, const std::string& data) {
  if (error.Number() != err::kUnrecognisedFormat ||
      error.Text().rfind(ErrorDescription(err::kUnrecognisedFormat), 0) != 0)
    return error;
  const std::string* jet = nullptr;
  for (const auto& path : paths) {
    if (path.empty() || !LooksLikeJet(path)) continue;
    if (error.Text().find("'" + path + "'") != std::string::npos) {
      jet = &path;
      break;
    }
    if (!jet) jet = &path;
  }
  if (!jet) return error;
  return Error(err::kUnrecognisedFormat,
               "'" + *jet + "' es una base de datos Jet (Access), que el motor no abre: conviértala con "
               "el botón «" + kImportJetButton + "» o con brenquil-cli import --home " +
                   ShellQuoted(home) + " --data " + ShellQuoted(data) +
                   " (cada original se guarda intacto en jet-originales/)");
}

}  // namespace brenquil
