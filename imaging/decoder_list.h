#pragma once
// The imaging library's installed decoders, listed afresh on construction.
// The records and the strings they point to live in one buffer that this
// object owns. When the buffer cannot be allocated or the library cannot
// fill it, the list is empty and no record is ever read.

#include <cstdint>
#include <cstdlib>

#include "imaging/flat_api.h"
#include "plugin/unique_handle.h"

namespace Gdiplus {

class DecoderList {
 public:
  DecoderList();
  DecoderList(const DecoderList&) = delete;
  DecoderList& operator=(const DecoderList&) = delete;

  std::uint32_t Count() const { return count; }
  const ImageCodecInfo& operator[](std::uint32_t index) const { return records[index]; }

 private:
  UniqueHandle<void*, std::free> buffer;
  const ImageCodecInfo* records = nullptr;
  std::uint32_t count = 0;
};

}  // namespace Gdiplus
