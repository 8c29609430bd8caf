#pragma once
// GDI+'s installed decoders, listed afresh on construction. The records and
// the strings they point to live in one buffer that this object owns. When
// the buffer cannot be allocated or the library cannot fill it, the list is
// empty and no record is ever read.

#include <cstdint>
#include <memory>

#include "imaging/flat_api.h"

namespace Gdiplus {

class DecoderList {
 public:
  DecoderList();
  DecoderList(const DecoderList&) = delete;
  DecoderList& operator=(const DecoderList&) = delete;

  std::uint32_t Count() const { return count; }
  const ImageCodecInfo& operator[](std::uint32_t index) const { return buffer[index]; }

 private:
  // Records, then their strings: whole records, so the buffer is aligned
  // for them.
  std::unique_ptr<ImageCodecInfo[]> buffer;
  std::uint32_t count = 0;
};

}  // namespace Gdiplus
