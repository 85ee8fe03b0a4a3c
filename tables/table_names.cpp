#include "tables/table_names.h"

#include <cctype>
#include <cstdint>

#include "engine/utf8.h"

namespace brenquil {

namespace {

// Simple upper-case mapping of one code point, for the letters that table
// names of this program's users hold: ASCII, Latin-1 and Latin Extended-A.
// Letters without a one-character capital (ß, ĸ, ŉ) stay as they are.
char32_t UpperCodePoint(char32_t c) {
  if (c >= U'a' && c <= U'z') return c - 0x20;
  if (c < 0xE0) return c;
  if (c <= 0xFE) return c == 0xF7 ? c : c - 0x20;  // à..þ, but not ÷
  if (c == 0xFF) return 0x178;                      // ÿ -> Ÿ
  if (c < 0x100 || c > 0x17F) return c;
  if (c == 0x131) return U'I';  // dotless ı
  if (c == 0x17F) return U'S';  // long ſ
  if (c == 0x130 || c == 0x138 || c == 0x149 || c == 0x178) return c;
  // Capital and small letters alternate: the capital at even code points
  // before U+0138 and from U+014A to U+0177, at odd ones in between and after.
  bool capital_even = c < 0x138 || (c >= 0x14A && c <= 0x177);
  bool even = c % 2 == 0;
  if (even != capital_even) return c - 1;
  return c;
}

// Decodes one UTF-8 sequence at `pos`; returns its length, or 0 when the
// bytes there are not a valid, shortest-form sequence.
size_t Decode(std::string_view s, size_t pos, char32_t& out) {
  auto byte = [&](size_t i) { return static_cast<std::uint8_t>(s[i]); };
  std::uint8_t lead = byte(pos);
  size_t length;
  char32_t value;
  if (lead < 0x80) {
    out = lead;
    return 1;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2;
    value = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3;
    value = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4;
    value = lead & 0x07;
  } else {
    return 0;
  }
  if (pos + length > s.size()) return 0;
  for (size_t i = 1; i < length; ++i) {
    std::uint8_t next = byte(pos + i);
    if ((next & 0xC0) != 0x80) return 0;
    value = (value << 6) | (next & 0x3F);
  }
  static constexpr char32_t kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (value < kShortest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
    return 0;
  out = value;
  return length;
}

}  // namespace

bool IsSystemObject(std::string_view name) { return name.substr(0, 4) == "MSys"; }

std::string UpperCase(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t pos = 0;
  while (pos < text.size()) {
    char32_t c;
    size_t length = Decode(text, pos, c);
    if (length == 0) {
      out += text[pos++];
      continue;
    }
    char32_t upper = UpperCodePoint(c);
    if (upper == c)
      out.append(text.substr(pos, length));
    else
      AppendUtf8(upper, out);
    pos += length;
  }
  return out;
}

namespace {

// The bytes of UpperCase(text), one at a time, without building the text.
class UpperBytes {
 public:
  explicit UpperBytes(std::string_view text) : text_(text) {}
  // False at the end.
  bool Next(char& out) {
    if (next_ == buffered_) {
      if (pos_ >= text_.size()) return false;
      next_ = buffered_ = 0;
      char32_t c;
      size_t length = Decode(text_, pos_, c);
      if (length == 0) {
        buffer_[buffered_++] = text_[pos_++];
      } else {
        char32_t upper = UpperCodePoint(c);
        if (upper == c) {
          for (size_t i = 0; i < length; ++i) buffer_[buffered_++] = text_[pos_ + i];
        } else {
          std::string encoded;
          AppendUtf8(upper, encoded);
          for (char e : encoded) buffer_[buffered_++] = e;
        }
        pos_ += length;
      }
    }
    out = buffer_[next_++];
    return true;
  }

 private:
  std::string_view text_;
  size_t pos_ = 0;
  char buffer_[4] = {};
  size_t buffered_ = 0, next_ = 0;
};

}  // namespace

bool SameTableName(std::string_view a, std::string_view b) {
  // Compared as UpperCase(a) == UpperCase(b), byte by byte as the upper-case
  // texts come: a list searched name by name allocates nothing. ASCII letters
  // are their own characters in both texts; from the first other byte on, the
  // rest is decoded.
  size_t i = 0;
  while (i < a.size() && i < b.size()) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 0x80 || y >= 0x80) break;
    if (x != y && (x >= 'a' && x <= 'z' ? x - 0x20 : x) != (y >= 'a' && y <= 'z' ? y - 0x20 : y)) return false;
    ++i;
  }
  if (i == a.size() || i == b.size()) return a.size() == b.size();
  UpperBytes x(a.substr(i)), y(b.substr(i));
  char cx = 0, cy = 0;
  for (;;) {
    bool more_x = x.Next(cx), more_y = y.Next(cy);
    if (more_x != more_y) return false;
    if (!more_x) return true;
    if (cx != cy) return false;
  }
}

std::string SqlNameKey(std::string_view name) {
  std::string key(name);
  for (auto& c : key)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return key;
}

bool SameSqlName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i] &&
        std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

std::string QuoteIdentifier(std::string_view name) {
  std::string out = "\"";
  for (char c : name) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

}  // namespace brenquil
