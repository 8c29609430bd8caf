#include "imaging/decoder_list.h"

namespace Gdiplus {

DecoderList::DecoderList() {
  std::uint32_t reported = 0;
  std::uint32_t byteSize = 0;
  GdipGetImageDecodersSize(&reported, &byteSize);
  const std::uint64_t recordBytes = std::uint64_t{reported} * sizeof(ImageCodecInfo);
  if (reported == 0 || recordBytes > byteSize) return;
  // The fill call gets exactly the reported size: one implementation refuses
  // any other.
  buffer.Reset(std::malloc(byteSize));
  if (!buffer) return;
  auto* filled = static_cast<ImageCodecInfo*>(buffer.Get());
  if (GdipGetImageDecoders(reported, byteSize, filled) != Ok) return;
  records = filled;
  count = reported;
}

}  // namespace Gdiplus
