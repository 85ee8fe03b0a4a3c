#include "jet/text_decoder.h"

#include <iconv.h>

#include <cerrno>

namespace brenquil::jet {

namespace {
constexpr std::uint32_t kReplacement = 0xFFFD;
}

TextDecoder::TextDecoder(bool jet3, int code_page) : jet3_(jet3) {
  if (!jet3_) return;
  std::string name = "CP" + std::to_string(code_page);
  iconv_t cd = iconv_open("UTF-8", name.c_str());
  // A code page iconv does not know: the one Jet 3 files almost always use.
  if (cd == reinterpret_cast<iconv_t>(-1)) cd = iconv_open("UTF-8", "CP1252");
  if (cd != reinterpret_cast<iconv_t>(-1)) iconv_ = cd;
}

TextDecoder::~TextDecoder() {
  if (iconv_) iconv_close(static_cast<iconv_t>(iconv_));
}

void TextDecoder::Begin(bool may_be_compressed) {
  may_be_compressed_ = may_be_compressed;
  started_ = false;
  have_first_ = false;
  compressed_ = false;
  one_byte_ = false;
  have_low_ = false;
  high_surrogate_ = 0;
  carry_.clear();
  replaced_ = 0;
  if (iconv_) iconv(static_cast<iconv_t>(iconv_), nullptr, nullptr, nullptr, nullptr);
}

void TextDecoder::Unit(std::uint16_t unit, std::string& out) {
  if (high_surrogate_) {
    if (unit >= 0xDC00 && unit <= 0xDFFF) {
      AppendUtf8(0x10000 + ((static_cast<std::uint32_t>(high_surrogate_) - 0xD800) << 10) +
                     (unit - 0xDC00),
                 out);
      high_surrogate_ = 0;
      return;
    }
    AppendUtf8(kReplacement, out);
    ++replaced_;
    high_surrogate_ = 0;
  }
  if (unit >= 0xD800 && unit <= 0xDBFF) {
    high_surrogate_ = unit;
  } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
    AppendUtf8(kReplacement, out);
    ++replaced_;
  } else {
    AppendUtf8(unit, out);
  }
}

void TextDecoder::Feed(const std::uint8_t* data, std::size_t size, std::string& out) {
  if (jet3_) {
    FeedCodePage(data, size, out);
    return;
  }
  std::size_t i = 0;
  if (!started_) {
    // The compression mark is the value's first two bytes, which a piece may split.
    if (!have_first_ && i < size) {
      first_ = data[i++];
      have_first_ = true;
    }
    if (i >= size) return;
    started_ = true;
    if (may_be_compressed_ && first_ == 0xFF && data[i] == 0xFE) {
      compressed_ = true;
      one_byte_ = true;
      ++i;
    } else {
      low_ = first_;
      have_low_ = true;
    }
  }
  for (; i < size; ++i) {
    std::uint8_t b = data[i];
    if (compressed_ && !have_low_ && b == 0) {
      one_byte_ = !one_byte_;
      continue;
    }
    if (compressed_ && one_byte_) {
      Unit(b, out);
    } else if (!have_low_) {
      low_ = b;
      have_low_ = true;
    } else {
      Unit(static_cast<std::uint16_t>(low_ | (b << 8)), out);
      have_low_ = false;
    }
  }
}

void TextDecoder::FeedCodePage(const std::uint8_t* data, std::size_t size, std::string& out) {
  std::string input = carry_;
  input.append(reinterpret_cast<const char*>(data), size);
  carry_.clear();
  if (!iconv_) {
    // No converter at all: Latin-1, which keeps every byte.
    for (unsigned char c : input) AppendUtf8(c, out);
    return;
  }
  char* in = input.data();
  std::size_t in_left = input.size();
  char buffer[4096];
  while (in_left > 0) {
    char* o = buffer;
    std::size_t o_left = sizeof buffer;
    std::size_t rc = iconv(static_cast<iconv_t>(iconv_), &in, &in_left, &o, &o_left);
    out.append(buffer, static_cast<std::size_t>(o - buffer));
    if (rc != static_cast<std::size_t>(-1)) break;
    if (errno == E2BIG) continue;
    if (errno == EINVAL) {  // a character the next piece completes
      carry_.assign(in, in_left);
      break;
    }
    AppendUtf8(kReplacement, out);  // EILSEQ: a byte the code page does not define
    ++replaced_;
    ++in;
    --in_left;
  }
}

void TextDecoder::Finish(std::string& out) {
  if (jet3_) {
    for (std::size_t i = 0; i < carry_.size(); ++i) {
      AppendUtf8(kReplacement, out);
      ++replaced_;
    }
    carry_.clear();
    return;
  }
  if (!started_ && have_first_) {
    AppendUtf8(kReplacement, out);  // one byte of a two-byte character
    ++replaced_;
  }
  if (have_low_ || high_surrogate_) {
    AppendUtf8(kReplacement, out);
    ++replaced_;
  }
  have_low_ = false;
  high_surrogate_ = 0;
  have_first_ = false;
}

std::string TextDecoder::Decode(const std::uint8_t* data, std::size_t size,
                                bool may_be_compressed) {
  std::string out;
  out.reserve(jet3_ ? size + size / 4 : size);
  Begin(may_be_compressed);
  Feed(data, size, out);
  Finish(out);
  return out;
}

}  // namespace brenquil::jet
