// A Memo or OLE Object value, read in pieces of at most a page: the field in
// the row is a 12-byte header (length and where the value is) followed by the
// value itself when it fits in the row, or points to one row of a long-value
// page or to a chain of them. Reading piece by piece keeps memory flat
// whatever the size of the value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "jet/jet_file.h"

namespace brenquil::jet {

class LongValue {
 public:
  // `field`: the field's bytes in its row. JetDamage when they are not a
  // long value's header.
  LongValue(JetFile& file, Bytes field);

  // The value's length in bytes.
  std::uint32_t Length() const { return length_; }
  // Calls `piece` with the value's bytes in order, in pieces that together
  // are exactly Length() bytes. JetDamage when the chain ends early, loops
  // or leaves the file.
  void Read(const std::function<void(const std::uint8_t*, std::size_t)>& piece) const;

 private:
  JetFile& file_;
  Bytes field_;
  std::uint32_t length_ = 0;
  std::uint8_t kind_ = 0;
};

}  // namespace brenquil::jet
