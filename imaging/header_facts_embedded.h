#pragma once
// A picture stored inside another file (an icon's entry, a QuickTime
// image's data atom, an Apple icon's element), read as a file of its own
// through the outer file's reader, whose budget binds it too.

#include <cstdint>

#include "imaging/header_facts.h"
#include "imaging/header_reader.h"

class EmbeddedBytes : public ByteSource {
 public:
  EmbeddedBytes(HeaderReader& outerReader, std::uint64_t start, std::uint64_t size)
      : outer(outerReader), first(start), length(size) {}
  std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t wanted) override;
  std::uint64_t Size() const override;

 private:
  HeaderReader& outer;
  std::uint64_t first;
  std::uint64_t length;
};

// The facts of an embedded PNG, read by the PNG reader as far as the outer
// reader's reach.
HeaderFacts ReadEmbeddedPngFacts(HeaderReader& outer, std::uint64_t start, std::uint64_t size);
