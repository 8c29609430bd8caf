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
  std::uint32_t images = 0;
  for (std::uint32_t i = 0; i < dimensions; ++i) {
    std::uint32_t count = 0;
    if (image.ReadFrameCount(ids[i], count) != Gdiplus::Ok || count == 0 || count > MostImages - images) {
      return false;
    }
    images += count;
    layout.push_back({ids[i], count});
  }
  return true;
}

std::uint32_t ImageCount(const FrameLayout& layout) {
  std::uint32_t images = 0;
  for (const FrameDimension& dimension : layout) images += dimension.count;
  return images;
}

bool SelectImage(Gdiplus::Image& image, const FrameLayout& layout, std::uint32_t position) {
  for (const FrameDimension& dimension : layout) {
    if (position < dimension.count) return image.SelectActiveFrame(dimension.id, position) == Gdiplus::Ok;
    position -= dimension.count;
  }
  return false;
}
