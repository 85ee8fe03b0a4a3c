// Jet's stored numbers and dates as the values an SQLite column holds: dates
// as "YYYY-MM-DD HH:MM:SS" from the stored count of days (years 100 to 9999,
// to the millisecond), Single as the shortest decimal that is the same float
// (0.15 stays 0.15), Currency and Decimal exact as decimal text, GUIDs as
// {8-4-4-4-12}.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "jet/jet_format.h"

namespace brenquil::jet {

// "YYYY-MM-DD HH:MM:SS" (".mmm" when the time has milliseconds) for Jet's
// date number: days since 1899-12-30, the fraction the time of day (also for
// days before it, where -1.25 is 1899-12-29 06:00). nullopt outside the years
// Jet allows (100 to 9999) or for a number that is no date at all.
std::optional<std::string> DateText(double days);

// A Currency's eight bytes (ten-thousandths) as exact decimal text, the
// trailing zeros of the fraction left out: "-2341234.0345", "37".
std::string MoneyText(std::int64_t ten_thousandths);

// A Decimal's seventeen bytes (a sign byte, then a 96-bit magnitude in four
// little-endian words, most significant word first) with `scale` digits after
// the point, as exact decimal text with its scale ("-1234.0450", "0.00").
std::string DecimalText(const Bytes& bytes, int scale);

// The shortest decimal text that reads back as `value`'s float.
std::string SingleText(float value);

// A GUID's sixteen bytes as "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}": the first
// three groups little-endian, as Windows writes them.
std::string GuidText(const Bytes& bytes);

// The number of significant digits of decimal text ("0.0450" has 3):
// SQLite's numbers keep 15, so more cannot be stored exactly as a number.
int SignificantDigits(const std::string& decimal);

}  // namespace brenquil::jet
