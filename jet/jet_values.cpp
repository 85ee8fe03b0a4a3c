#include "jet/jet_values.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace brenquil::jet {

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date, and back (H. Hinnant's
// algorithms).
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

void CivilFromDays(long long z, long long& y, unsigned& m, unsigned& d) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  y = static_cast<long long>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y += m <= 2;
}

constexpr long long kMsPerDay = 86400000LL;

// Magnitude as decimal digits, then the point placed `scale` digits from the right.
std::string WithScale(std::string digits, int scale, bool negative) {
  if (scale > 0) {
    if (static_cast<int>(digits.size()) <= scale)
      digits.insert(0, static_cast<std::size_t>(scale) + 1 - digits.size(), '0');
    digits.insert(digits.size() - static_cast<std::size_t>(scale), 1, '.');
  }
  bool zero = digits.find_first_not_of("0.") == std::string::npos;
  if (negative && !zero) digits.insert(0, 1, '-');
  return digits;
}

std::string Digits(unsigned __int128 v) {
  if (v == 0) return "0";
  std::string s;
  while (v > 0) {
    s.insert(s.begin(), static_cast<char>('0' + static_cast<int>(v % 10)));
    v /= 10;
  }
  return s;
}

}  // namespace

std::optional<std::string> DateText(double days) {
  if (!std::isfinite(days) || std::fabs(days) > 3.0e6) return std::nullopt;
  double whole = std::trunc(days);
  long long day = static_cast<long long>(whole);
  long long ms = std::llround(std::fabs(days - whole) * static_cast<double>(kMsPerDay));
  if (ms >= kMsPerDay) {  // rounds up to the next calendar day
    ms -= kMsPerDay;
    day += 1;
  }
  static const long long kBase = DaysFromCivil(1899, 12, 30);
  long long y;
  unsigned m, d;
  CivilFromDays(kBase + day, y, m, d);
  if (y < 100 || y > 9999) return std::nullopt;
  char text[40];
  long long seconds = ms / 1000;
  int milli = static_cast<int>(ms % 1000);
  std::snprintf(text, sizeof text, "%04lld-%02u-%02u %02lld:%02lld:%02lld", y, m, d, seconds / 3600,
                (seconds / 60) % 60, seconds % 60);
  std::string out = text;
  if (milli != 0) {
    std::snprintf(text, sizeof text, ".%03d", milli);
    out += text;
  }
  return out;
}

std::string MoneyText(std::int64_t v) {
  bool negative = v < 0;
  unsigned __int128 magnitude = negative
                                    ? static_cast<unsigned __int128>(-(static_cast<__int128>(v)))
                                    : static_cast<unsigned __int128>(v);
  std::string text = WithScale(Digits(magnitude), 4, negative);
  // Currency always has four places: the zeros past the last digit say nothing.
  while (text.back() == '0') text.pop_back();
  if (text.back() == '.') text.pop_back();
  return text;
}

std::string DecimalText(const Bytes& bytes, int scale) {
  const bool negative = bytes.U8(0) != 0;
  unsigned __int128 magnitude = 0;
  for (int word = 0; word < 4; ++word)
    magnitude = (magnitude << 32) | bytes.U32(1 + 4 * static_cast<std::size_t>(word));
  return WithScale(Digits(magnitude), scale, negative);
}

std::string SingleText(float value) {
  char text[64];
  auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

std::string GuidText(const Bytes& b) {
  char text[64];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", b.U32(0),
                b.U16(4), b.U16(6), b.U8(8), b.U8(9), b.U8(10), b.U8(11), b.U8(12), b.U8(13),
                b.U8(14), b.U8(15));
  return text;
}

int SignificantDigits(const std::string& decimal) {
  std::string digits;
  for (char c : decimal)
    if (c >= '0' && c <= '9') digits += c;
  auto first = digits.find_first_not_of('0');
  if (first == std::string::npos) return 0;
  digits.erase(0, first);
  // Zeros after the point at the end are not significant; before it they are.
  if (decimal.find('.') != std::string::npos) {
    std::size_t fraction = decimal.size() - decimal.find('.') - 1;
    while (fraction > 0 && !digits.empty() && digits.back() == '0') {
      digits.pop_back();
      --fraction;
    }
  }
  return static_cast<int>(digits.size());
}

}  // namespace brenquil::jet
