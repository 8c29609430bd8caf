#pragma once
// The size the HEIF decoder shows for an image item once it has applied the
// item's transforms in the order its associations list them: a rotation by
// a quarter or three quarters of a turn swaps width and height, a mirror
// keeps them, a clean aperture ('clap') crops to the rectangle its
// fractions give, rounded and clamped as the decoder does.

#include <cstdint>

#include "imaging/header_facts_avif_boxes.h"

namespace avif {

struct ShownSize {
  bool known = false;  // false where decoding fails or its arithmetic cannot be followed
  std::uint32_t width = 0;
  std::uint32_t height = 0;
};

ShownSize ShownSizeOf(HeaderReader& reader, const Meta& meta, std::uint32_t item, std::uint32_t codedWidth,
                      std::uint32_t codedHeight);

}  // namespace avif
