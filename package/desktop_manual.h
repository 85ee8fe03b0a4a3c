// The manual page brenquil(1), in Spanish, made from the desktop program's own
// --help text (its usage line and options), its exit codes and the
// installation rule.
#pragma once

#include <string>
#include <vector>

#include "package/manual_sections.h"

namespace brenquil::package {

std::vector<ManualExample> DesktopManualExamples(const std::string& demo_folder);

std::string DesktopManualPage();

}  // namespace brenquil::package
