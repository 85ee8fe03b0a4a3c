// A number argument of the object model's factories: callers pass a number or
// its decimal text ("10", " -3"); text that is not a whole number is an error.
#pragma once

#include <string>
#include <string_view>

namespace brenquil {

class Number {
 public:
  Number(long value) : value_(value) {}  // NOLINT: implicit by design
  Number(int value) : value_(value) {}   // NOLINT
  Number(std::string_view text);         // NOLINT; throws Error 3421
  Number(const std::string& text) : Number(std::string_view(text)) {}  // NOLINT
  Number(const char* text) : Number(std::string_view(text)) {}         // NOLINT
  long Value() const { return value_; }

 private:
  long value_;
};

}  // namespace brenquil
