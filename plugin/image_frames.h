#pragma once
// The images a file holds, as the imaging library lists them: for each
// dimension (pages, frames in time) the number of images along it.

#include <cstdint>
#include <vector>

#include "imaging/image.h"

struct FrameDimension {
  Gdiplus::Guid id;
  std::uint32_t count;
  bool operator==(const FrameDimension& other) const { return id == other.id && count == other.count; }
};

using FrameLayout = std::vector<FrameDimension>;

// False when the library cannot list the images, or lists more than the
// comparison takes on (then the bytes decide).
bool ReadFrameLayout(Gdiplus::Image& image, FrameLayout& layout);
