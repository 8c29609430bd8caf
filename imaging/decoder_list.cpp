#include "imaging/decoder_list.h"

#include <cstdlib>

namespace Gdiplus {

DecoderList::DecoderList() {
  std::uint32_t reported = 0;
  std::uint32_t byteSize = 0;
  GdipGetImageDecodersSize(&reported, &byteSize);
  const std::uint64_t recordBytes = std::uint64_t{reported} * sizeof(ImageCodecInfo);
  if (reported == 0 || recordBytes > byteSize) return;
  // The fill call gets exactly the reported size: one implementation refuses
  // any other.
  buffer = std::malloc(byteSize);
  if (buffer == nullptr) return;
  auto* filled = static_cast<ImageCodecInfo*>(buffer);
  if (GdipGetImageDecoders(reported, byteSize, filled) != Ok) return;
  records = filled;
  count = reported;
}

DecoderList::~DecoderList() { std::free(buffer); }

}  // namespace Gdiplus
