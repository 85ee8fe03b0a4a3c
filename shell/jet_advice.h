// A genuine Jet file met where the engine wants one of its own databases:
// the signature check (the first bytes only: shell/ does without the Jet
// reader) and the journal's text that says how to convert the installation.
#pragma once

#include <string>
#include <vector>

#include "engine/error.h"

namespace brenquil {

// The window's button and the command that convert an installation's Jet files.
inline constexpr const char* kImportJetButton = "Importar bases Jet";

// True when `path` begins as a Jet or ACE database: a definition page of an
// engine calling itself "Standard Jet DB" or "Standard ACE DB" (bytes 4 to
// 18). Never throws.
bool LooksLikeJet(const std::string& path);

// `error` as the journal should show it. When it is the engine's "not a
// database" (3343, with its generic text) and one of `paths` is a Jet file
// (the one the text names first), the same number with a text that names
// the file, says it is a Jet file and how to convert the installation: the
// button and `brenquil-cli import --home HOME --data DATA`. Otherwise
// `error` itself.
Error ExplainJetFile(const Error& error, const std::vector<std::string>& paths,
                     const std::string& home, const std::string& data);

}  // namespace brenquil
