#include "linux/compressed_drawing.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "imaging/header_facts.h"
#include "linux/open_file.h"

namespace {

// As much text as the SVG module is given of a plain drawing.
constexpr std::size_t MaxInflatedBytes = std::size_t{2} << 20;
// Empty deflate blocks inflate to nothing: the compressed bytes read are
// bounded too.
constexpr std::uint64_t MaxCompressedBytes = std::uint64_t{4} << 20;
constexpr std::size_t CompressedPieceBytes = 64 * 1024;
constexpr int GzipWindowBits = 15 + 16;  // a gzip header and trailer around deflate data

class TextBytes : public ByteSource {
 public:
  explicit TextBytes(const CompressedDrawing& drawingText) : drawing(drawingText) {}
  std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t size) override {
    return drawing.CopyAt(offset, static_cast<std::uint8_t*>(buffer), size);
  }
  std::uint64_t Size() const override { return drawing.text.size(); }

 private:
  const CompressedDrawing& drawing;
};

// Inflates into text until the stream ends, the text fills, the
// compressed bytes run out or are spent; true when the stream ended.
bool Inflate(int fd, std::vector<std::uint8_t>& text) {
  z_stream stream{};
  if (inflateInit2(&stream, GzipWindowBits) != Z_OK) return false;
  std::vector<std::uint8_t> piece(CompressedPieceBytes);
  text.resize(MaxInflatedBytes);
  stream.next_out = text.data();
  stream.avail_out = static_cast<uInt>(text.size());
  int status = Z_OK;
  for (std::uint64_t offset = 0; status == Z_OK && stream.avail_out != 0 && offset < MaxCompressedBytes;) {
    const std::size_t read = ReadFileAt(fd, offset, piece.data(), piece.size());
    if (read == 0) break;
    offset += read;
    stream.next_in = piece.data();
    stream.avail_in = static_cast<uInt>(read);
    while (status == Z_OK && stream.avail_in != 0 && stream.avail_out != 0) status = inflate(&stream, Z_NO_FLUSH);
  }
  text.resize(text.size() - stream.avail_out);
  inflateEnd(&stream);
  return status == Z_STREAM_END;
}

}  // namespace

std::size_t CompressedDrawing::CopyAt(std::uint64_t offset, std::uint8_t* out, std::size_t size) const {
  if (offset >= text.size()) return 0;
  const std::size_t copied = std::min<std::size_t>(size, text.size() - static_cast<std::size_t>(offset));
  std::memcpy(out, text.data() + offset, copied);
  return copied;
}

CompressedDrawing InflateDrawing(int fd) {
  CompressedDrawing drawing;
  std::uint8_t magic[2] = {};
  drawing.compressed = ReadFileAt(fd, 0, magic, sizeof magic) == sizeof magic && magic[0] == 0x1f && magic[1] == 0x8b;
  if (!drawing.compressed) return drawing;
  drawing.whole = Inflate(fd, drawing.text);
  TextBytes bytes(drawing);
  const HeaderFacts facts = ReadHeaderFacts(bytes);
  if (facts.format == ImageFormat::Svg) {
    drawing.width = facts.width;
    drawing.height = facts.height;
  }
  return drawing;
}
