#pragma once
// The images a file holds, as the imaging library lists them: for each
// dimension (pages, frames in time) the number of images along it. The
// images of a file form one sequence, dimension after dimension; what the
// library calls a dimension says nothing about the pictures (it lists a
// GIF's one image along time, a PNG's along pages).

#include <cstdint>
#include <vector>

#include "imaging/image.h"

struct FrameDimension {
  Gdiplus::Guid id;
  std::uint32_t count;
};

using FrameLayout = std::vector<FrameDimension>;

// False when the library cannot list the images, or lists more than the
// comparison takes on (then the bytes decide).
bool ReadFrameLayout(Gdiplus::Image& image, FrameLayout& layout);

// How many images the sequence holds.
std::uint32_t ImageCount(const FrameLayout& layout);

// Makes the image at this place of the sequence the one read.
bool SelectImage(Gdiplus::Image& image, const FrameLayout& layout, std::uint32_t position);
