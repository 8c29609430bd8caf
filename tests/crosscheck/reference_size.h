#pragma once
// What the platform's imaging library shows for a file, for the size
// cross-check, and which of the header reader's sizes it holds to it. Each
// platform's file implements this.

#include <cstdint>
#include <string>

#include "imaging/header_facts.h"

struct Size {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
};
inline bool operator==(const Size& a, const Size& b) { return a.width == b.width && a.height == b.height; }

struct Reference {
  Size size;
  bool decoded = false;  // the library read the image itself
  std::string failure;   // why it did not
};

// Named once, before the first file: the library's own start-up.
void StartReferenceLibrary();
Reference ReferenceSize(const std::string& file);

// Whether the plugin shows the header's size for the format, whatever the
// library reads.
bool HeaderShown(ImageFormat format);
// Whether a size the header settles must equal the reference.
bool HeaderHeldToReference(ImageFormat format, const Reference& reference);
