#include "plugin/image_frames.h"

namespace {
constexpr std::uint32_t MostDimensions = 4;
constexpr std::uint32_t MostImages = 4096;
}  // namespace

bool ReadFrameLayout(Gdiplus::Image& image, FrameLayout& layout) {
  std::uint32_t dimensions = 0;
  if (image.ReadFrameDimensionsCount(dimensions) != Gdiplus::Ok || dimensions == 0 ||
      dimensions > MostDimensions) {
    return false;
  }
  Gdiplus::Guid ids[MostDimensions] = {};
  if (image.ReadFrameDimensions(ids, dimensions) != Gdiplus::Ok) return false;
  layout.clear();
  for (std::uint32_t i = 0; i < dimensions; ++i) {
    std::uint32_t count = 0;
    if (image.ReadFrameCount(ids[i], count) != Gdiplus::Ok || count == 0 || count > MostImages) {
      return false;
    }
    layout.push_back({ids[i], count});
  }
  return true;
}
