#include "imaging/header_facts_embedded.h"

#include <algorithm>

#include "imaging/header_facts_formats.h"

std::size_t EmbeddedBytes::ReadAt(std::uint64_t offset, void* buffer, std::size_t wanted) {
  if (offset >= length) return 0;
  const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(wanted, length - offset));
  return outer.ReadUpTo(first + offset, static_cast<std::uint8_t*>(buffer), count);
}

std::uint64_t EmbeddedBytes::Size() const {
  return std::min<std::uint64_t>(length, outer.FileSize() > first ? outer.FileSize() - first : 0);
}

HeaderFacts ReadEmbeddedPngFacts(HeaderReader& outer, std::uint64_t start, std::uint64_t size) {
  EmbeddedBytes bytes(outer, start, size);
  HeaderReader png(bytes, outer.ForComparison() ? Reach::Comparison : Reach::Sizes);
  return ReadPngFacts(png);
}
