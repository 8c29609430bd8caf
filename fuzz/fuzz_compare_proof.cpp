// libFuzzer target, differential: every "equal" the plugin gives must be
// one gdk-pixbuf agrees with. The fuzzed bytes are a file compared with a
// fixed partner of the same picture (photo.jpg for JPEGs, photo.png for
// the rest); the mutator changes the file's structures rather than its
// pixels: it adds, repeats, drops and alters PNG chunks, JPEG segments and
// GIF extension blocks, and leaves the rest to libFuzzer's own mutations.
// Whenever the plugin says equal, both files are decoded by gdk-pixbuf with
// their embedded orientation applied, and must show the same pixels in the
// same number of frames; else the run stops.
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "fuzz/input_file.h"
#include "plugin/exports.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t Be32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

void PutBe32(Bytes& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size) {
  std::uint32_t crc = 0xffffffffu;
  for (std::size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

// A structure of the file: where it starts and how long it is.
struct Piece {
  std::size_t start;
  std::size_t size;
};

// The chunks after IHDR up to and with IEND; none when the layout breaks.
std::vector<Piece> PngChunks(const Bytes& file) {
  std::vector<Piece> chunks;
  for (std::size_t at = 33; at + 12 <= file.size();) {
    const std::uint64_t size = std::uint64_t{12} + Be32(&file[at]);
    if (at + size > file.size()) break;
    chunks.push_back({at, static_cast<std::size_t>(size)});
    at += size;
  }
  return chunks;
}

Bytes PngChunk(const char* type, const Bytes& data) {
  Bytes chunk;
  PutBe32(chunk, static_cast<std::uint32_t>(data.size()));
  chunk.insert(chunk.end(), type, type + 4);
  chunk.insert(chunk.end(), data.begin(), data.end());
  PutBe32(chunk, Crc32(chunk.data() + 4, chunk.size() - 4));
  return chunk;
}

// Segments from SOI to the first SOS: marker, length and data.
std::vector<Piece> JpegSegments(const Bytes& file) {
  std::vector<Piece> segments;
  for (std::size_t at = 2; at + 4 <= file.size() && file[at] == 0xff;) {
    const std::size_t size = 2 + (std::size_t{file[at + 2]} << 8 | file[at + 3]);
    if (at + size > file.size()) break;
    segments.push_back({at, size});
    if (file[at + 1] == 0xda) break;
    at += size;
  }
  return segments;
}

// The kinds of structure a file may carry beside its picture.
const char* const PngTypes[] = {"tEXt", "zTXt", "iTXt", "tIME", "pHYs", "eXIf", "iCCP", "sRGB", "gAMA", "cHRM",
                                "cICP", "mDCv", "cLLi", "bKGD", "sBIT", "sPLT", "hIST", "oFFs", "vpAg", "prVt"};
const std::uint8_t JpegMarkers[] = {0xe0, 0xe1, 0xe2, 0xe3, 0xeb, 0xec, 0xed, 0xee, 0xef, 0xfe};
const char* const JpegIdentifiers[] = {"Exif\0\0", "http://ns.adobe.com/xap/1.0/", "ICC_PROFILE", "MPF",
                                       "Photoshop 3.0", "Ducky", "Adobe", "JFIF", "JFXX"};

// A short EXIF block (big-endian TIFF header, one directory) naming an
// orientation, as the mutator's most telling payload.
Bytes ExifWithOrientation(std::uint16_t orientation) {
  return {'M', 'M', 0, 42, 0, 0, 0, 8, 0, 1, 0x01, 0x12, 0, 3, 0, 0, 0, 1,
          static_cast<std::uint8_t>(orientation >> 8), static_cast<std::uint8_t>(orientation), 0, 0, 0, 0, 0, 0};
}

Bytes Payload(std::mt19937& random) {
  Bytes data;
  switch (random() % 3) {
    case 0: data = ExifWithOrientation(static_cast<std::uint16_t>(random() % 10)); break;
    case 1: data.assign(random() % 64, static_cast<std::uint8_t>(random())); break;
    default:
      for (std::size_t i = random() % 32; i > 0; --i) data.push_back(static_cast<std::uint8_t>(random()));
  }
  return data;
}

void MutatePng(Bytes& file, std::mt19937& random) {
  const std::vector<Piece> chunks = PngChunks(file);
  if (chunks.empty()) return;
  const Piece& chosen = chunks[random() % chunks.size()];
  const bool isImageData = std::memcmp(&file[chosen.start + 4], "IDAT", 4) == 0 ||
                           std::memcmp(&file[chosen.start + 4], "IEND", 4) == 0 ||
                           std::memcmp(&file[chosen.start + 4], "PLTE", 4) == 0;
  switch (random() % 4) {
    case 0: {  // a new chunk before the chosen one
      const Bytes chunk = PngChunk(PngTypes[random() % (sizeof PngTypes / sizeof *PngTypes)], Payload(random));
      file.insert(file.begin() + static_cast<long>(chosen.start), chunk.begin(), chunk.end());
      break;
    }
    case 1: {  // the chosen chunk once more, after itself
      const Bytes copy(file.begin() + static_cast<long>(chosen.start),
                       file.begin() + static_cast<long>(chosen.start + chosen.size));
      file.insert(file.begin() + static_cast<long>(chosen.start + chosen.size), copy.begin(), copy.end());
      break;
    }
    case 2:  // the chosen chunk dropped, unless the picture needs it
      if (!isImageData) {
        file.erase(file.begin() + static_cast<long>(chosen.start),
                   file.begin() + static_cast<long>(chosen.start + chosen.size));
      }
      break;
    default:  // a byte of its data changed, its CRC made good
      if (!isImageData && chosen.size > 12) {
        file[chosen.start + 8 + random() % (chosen.size - 12)] = static_cast<std::uint8_t>(random());
        const std::uint32_t crc = Crc32(&file[chosen.start + 4], chosen.size - 8);
        for (std::size_t i = 0; i < 4; ++i) {
          file[chosen.start + chosen.size - 4 + i] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
        }
      }
  }
}

void MutateJpeg(Bytes& file, std::mt19937& random) {
  const std::vector<Piece> segments = JpegSegments(file);
  if (segments.empty()) return;
  const Piece& chosen = segments[random() % segments.size()];
  if (random() % 2 == 0) {  // a new segment before the chosen one
    Bytes data;
    const char* identifier = JpegIdentifiers[random() % (sizeof JpegIdentifiers / sizeof *JpegIdentifiers)];
    data.insert(data.end(), identifier, identifier + std::strlen(identifier) + 1);
    if (std::strncmp(identifier, "Exif", 4) == 0) data.push_back(0);
    const Bytes payload = Payload(random);
    data.insert(data.end(), payload.begin(), payload.end());
    Bytes segment = {0xff, JpegMarkers[random() % sizeof JpegMarkers], static_cast<std::uint8_t>((data.size() + 2) >> 8),
                     static_cast<std::uint8_t>(data.size() + 2)};
    segment.insert(segment.end(), data.begin(), data.end());
    file.insert(file.begin() + static_cast<long>(chosen.start), segment.begin(), segment.end());
  } else if (file[chosen.start + 1] != 0xda) {  // the chosen segment once more
    const Bytes copy(file.begin() + static_cast<long>(chosen.start),
                     file.begin() + static_cast<long>(chosen.start + chosen.size));
    file.insert(file.begin() + static_cast<long>(chosen.start + chosen.size), copy.begin(), copy.end());
  }
}

// After the header and a global colour table: an extension block.
void MutateGif(Bytes& file, std::mt19937& random) {
  if (file.size() < 14) return;
  const std::size_t table = (file[10] & 0x80) != 0 ? std::size_t{3} << ((file[10] & 7) + 1) : 0;
  const std::size_t at = 13 + table;
  if (at > file.size()) return;
  const std::uint8_t labels[] = {0xf9, 0xfe, 0x01, 0xff};
  Bytes block = {'!', labels[random() % sizeof labels]};
  if (block[1] == 0xff) {
    const char* const names[] = {"NETSCAPE2.0", "ANIMEXTS1.0", "XMP DataXMP", "ICCRGBG1012"};
    const char* name = names[random() % 4];
    block.push_back(11);
    block.insert(block.end(), name, name + 11);
  }
  const Bytes payload = Payload(random);
  if (!payload.empty()) {
    block.push_back(static_cast<std::uint8_t>(payload.size()));
    block.insert(block.end(), payload.begin(), payload.end());
  }
  block.push_back(0);
  file.insert(file.begin() + static_cast<long>(at), block.begin(), block.end());
}

// The frames gdk-pixbuf shows, each with its orientation applied, as RGBA.
struct Decoded {
  bool ok = false;
  std::vector<std::vector<std::uint8_t>> frames;
  std::vector<std::pair<int, int>> sizes;
};

Decoded Decode(const std::string& path) {
  Decoded decoded;
  GdkPixbuf* loaded = gdk_pixbuf_new_from_file(path.c_str(), nullptr);
  if (loaded == nullptr) return decoded;
  GdkPixbuf* turned = gdk_pixbuf_apply_embedded_orientation(loaded);
  GdkPixbuf* rgba = gdk_pixbuf_add_alpha(turned, FALSE, 0, 0, 0);
  const int width = gdk_pixbuf_get_width(rgba);
  const int height = gdk_pixbuf_get_height(rgba);
  const int stride = gdk_pixbuf_get_rowstride(rgba);
  const guchar* pixels = gdk_pixbuf_read_pixels(rgba);
  std::vector<std::uint8_t> rows;
  for (int y = 0; y < height; ++y) rows.insert(rows.end(), pixels + y * stride, pixels + y * stride + 4 * width);
  decoded.frames.push_back(std::move(rows));
  decoded.sizes.push_back({width, height});
  g_object_unref(rgba);
  g_object_unref(turned);
  g_object_unref(loaded);
  GdkPixbufAnimation* animation = gdk_pixbuf_animation_new_from_file(path.c_str(), nullptr);
  if (animation != nullptr) {
    if (!gdk_pixbuf_animation_is_static_image(animation)) decoded.sizes.push_back({-1, -1});  // an animation
    g_object_unref(animation);
  }
  decoded.ok = true;
  return decoded;
}

// How many pairs ran and how many of them the plugin called equal, each
// confirmed: printed when the run ends.
struct Tally {
  unsigned long long pairs = 0;
  unsigned long long equal = 0;
  ~Tally() { std::fprintf(stderr, "compare proof: %llu pairs, %llu equal, all confirmed\n", pairs, equal); }
};
Tally tally;

}  // namespace

extern "C" std::size_t LLVMFuzzerMutate(std::uint8_t* data, std::size_t size, std::size_t maxSize);

extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size, std::size_t maxSize,
                                               unsigned seed) {
  std::mt19937 random(seed);
  if (random() % 4 == 0) return LLVMFuzzerMutate(data, size, maxSize);
  Bytes file(data, data + size);
  if (size >= 8 && std::memcmp(data, "\x89PNG", 4) == 0) {
    MutatePng(file, random);
  } else if (size >= 4 && data[0] == 0xff && data[1] == 0xd8) {
    MutateJpeg(file, random);
  } else if (size >= 6 && std::memcmp(data, "GIF8", 4) == 0) {
    MutateGif(file, random);
  } else {
    return LLVMFuzzerMutate(data, size, maxSize);
  }
  if (file.size() > maxSize) return size;
  std::memcpy(data, file.data(), file.size());
  return file.size();
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool started = (ContentSetDefaultParams(nullptr), true);
  (void)started;
  if (!WriteInput(data, size)) return 0;
  const bool jpeg = size >= 2 && data[0] == 0xff && data[1] == 0xd8;
  const std::string partner = std::string(PIXDIM_FIXTURES) + (jpeg ? "/photo.jpg" : "/photo.png");
  ++tally.pairs;
  if (ContentCompareFiles(nullptr, 10000, InputPath().c_str(), partner.c_str(), nullptr) != 1) return 0;
  ++tally.equal;
  const Decoded fuzzed = Decode(InputPath());
  const Decoded reference = Decode(partner);
  if (!fuzzed.ok || !reference.ok || fuzzed.sizes != reference.sizes || fuzzed.frames != reference.frames) {
    std::fprintf(stderr, "pixdim says equal, gdk-pixbuf shows %s\n",
                 fuzzed.ok ? "other pixels or another orientation" : "no picture");
    std::abort();
  }
  return 0;
}
