// The one failure of jet/'s readers: the file's pages contradict each other
// (a pointer out of the file, a row past its page, a value longer than its
// chain). The import turns it into error 3049 naming the file; nothing in
// jet/ lets it escape unnamed.
#pragma once

#include <stdexcept>
#include <string>

namespace brenquil::jet {

class JetDamage : public std::runtime_error {
 public:
  explicit JetDamage(const std::string& what) : std::runtime_error(what) {}
};

}  // namespace brenquil::jet
