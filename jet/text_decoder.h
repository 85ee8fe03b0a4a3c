// Jet text into UTF-8, fed in pieces so that a Memo of any size is decoded as
// its pages are read. Jet 4 text is UTF-16LE, surrogate pairs included (text
// outside the Basic Multilingual Plane), or Jet's "compressed Unicode": a
// value that begins FF FE switches between one byte per character and two at
// every 0x00 byte. Jet 3 text is in the file's Windows code page. Bytes that
// do not decode become U+FFFD, so nothing that arrives is dropped silently.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/utf8.h"

namespace brenquil::jet {

class TextDecoder {
 public:
  TextDecoder(bool jet3, int code_page);
  ~TextDecoder();
  TextDecoder(const TextDecoder&) = delete;
  TextDecoder& operator=(const TextDecoder&) = delete;

  // Starts a new value. `may_be_compressed`: a leading FF FE marks Jet's
  // compression (values; names never are).
  void Begin(bool may_be_compressed = true);
  // Appends the UTF-8 of the next bytes of the value to `out`.
  void Feed(const std::uint8_t* data, std::size_t size, std::string& out);
  // Ends the value: what is left undecoded becomes U+FFFD.
  void Finish(std::string& out);

  // A whole value at once.
  std::string Decode(const std::uint8_t* data, std::size_t size, bool may_be_compressed = true);

  // The number of U+FFFD the last value needed.
  std::size_t Replaced() const { return replaced_; }

 private:
  void Unit(std::uint16_t unit, std::string& out);
  void FeedCodePage(const std::uint8_t* data, std::size_t size, std::string& out);

  bool jet3_;
  void* iconv_ = nullptr;  // iconv_t from the code page to UTF-8 (Jet 3)
  // Jet 4 state.
  bool may_be_compressed_ = true;
  bool started_ = false;  // the first two bytes have been looked at
  std::uint8_t first_ = 0;
  bool have_first_ = false;
  bool compressed_ = false;  // the value uses compression
  bool one_byte_ = false;    // compression's current mode: one byte a character
  bool have_low_ = false;
  std::uint8_t low_ = 0;
  std::uint16_t high_surrogate_ = 0;
  // Jet 3: bytes of a character cut by the end of a piece.
  std::string carry_;
  std::size_t replaced_ = 0;
};

}  // namespace brenquil::jet
