#include "engine/number.h"

#include <cctype>
#include <charconv>

#include "engine/error.h"

namespace brenquil {

Number::Number(std::string_view text) : value_(0) {
  std::string_view t = text;
  while (!t.empty() && std::isspace(static_cast<unsigned char>(t.front()))) t.remove_prefix(1);
  while (!t.empty() && std::isspace(static_cast<unsigned char>(t.back()))) t.remove_suffix(1);
  if (!t.empty() && t.front() == '+') t.remove_prefix(1);
  long value = 0;
  auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), value);
  if (t.empty() || ec != std::errc() || end != t.data() + t.size())
    throw MakeError(err::kConversion, "'" + std::string(text) + "' no es un número");
  value_ = value;
}

}  // namespace brenquil
