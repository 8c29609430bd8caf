#include "imaging/decoder_list.h"

#include <new>

namespace Gdiplus {

DecoderList::DecoderList() {
  std::uint32_t reported = 0;
  std::uint32_t byteSize = 0;
  GdipGetImageDecodersSize(&reported, &byteSize);
  const std::uint64_t recordBytes = std::uint64_t{reported} * sizeof(ImageCodecInfo);
  if (reported == 0 || recordBytes > byteSize) return;
  // A size the library reports may be more than can be had: no throw.
  std::unique_ptr<ImageCodecInfo[]> filled(
      new (std::nothrow) ImageCodecInfo[(byteSize + sizeof(ImageCodecInfo) - 1) / sizeof(ImageCodecInfo)]);
  // The fill call gets exactly the reported size: one implementation refuses
  // any other.
  if (!filled || GdipGetImageDecoders(reported, byteSize, filled.get()) != Ok) return;
  buffer = std::move(filled);
  count = reported;
}

}  // namespace Gdiplus
