// libFuzzer target: arbitrary bytes as a file for the header reader, read
// from memory. Beyond the sanitizers, it stops on answers that contradict
// each other and on reading past the reader's budget.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "imaging/header_facts.h"
#include "imaging/header_reader.h"

namespace {

constexpr int MaxReads = HeaderReader::MaxFetches;
constexpr std::size_t MaxBytesRead = HeaderReader::MaxFetchedBytes;

class FuzzedFile : public ByteSource {
 public:
  FuzzedFile(const std::uint8_t* data, std::size_t size) : bytes(data), length(size) {}
  std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t size) override {
    ++reads;
    bytesRead += size;
    if (offset >= length) return 0;
    const std::size_t copied = std::min(size, static_cast<std::size_t>(length - offset));
    std::memcpy(buffer, bytes + offset, copied);
    return copied;
  }
  std::uint64_t Size() const override { return length; }
  int reads = 0;
  std::size_t bytesRead = 0;

 private:
  const std::uint8_t* bytes;
  std::size_t length;
};

bool Consistent(const HeaderFacts& facts) {
  const bool sizeWhole = (facts.width == 0) == (facts.height == 0);
  const bool unknownSaysNothing =
      facts.format != ImageFormat::Unknown ||
      (facts.width == 0 && facts.largestImagePixels == 0 && facts.moreThanOneImage == Answer::DecoderTells &&
       facts.deeperThan8Bits == Answer::DecoderTells);
  return sizeWhole && unknownSaysNothing;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedFile file(data, size);
  const HeaderFacts facts = ReadHeaderFacts(file);
  if (!Consistent(facts) || file.reads > MaxReads || file.bytesRead > MaxBytesRead) std::abort();
  // A comparison's reading walks image data and profiles as well, on a
  // budget of its own.
  FuzzedFile again(data, size);
  const HeaderFacts compared = ReadHeaderFacts(again, Reach::Comparison);
  if (compared.width != facts.width || compared.height != facts.height) std::abort();
  return 0;
}
