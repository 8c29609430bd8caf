#pragma once
// What several formats store alike about how their pixels are to be shown:
// an EXIF block's orientation and an ICC profile's colour description, and
// the digest that stands for a description or an animation's timing.

#include <cstddef>
#include <cstdint>

#include "imaging/bytes_reason.h"
#include "imaging/header_reader.h"

// FNV-1a over the bytes and values fed to it.
class Digest {
 public:
  Digest& Bytes(const std::uint8_t* bytes, std::size_t size);
  Digest& Value(std::uint64_t value);
  // Never 0, which stands for sRGB and for a still image.
  std::uint64_t Get() const { return hash == 0 ? 1 : hash; }

 private:
  std::uint64_t hash = 0xcbf29ce484222325u;
};

// What an EXIF block says about showing its image.
struct Exif {
  std::uint8_t orientation = 1;  // 1 to 8
  // A digest of the thumbnail's bytes; 0 for none.
  std::uint64_t thumbnail = 0;
  // Why the block cannot be read completely: OrientationUnreadable or
  // ThumbnailUnreadable; None when it can.
  BytesReason reason = BytesReason::None;
};

// Reads the EXIF block (a TIFF header, the image's directory and the
// thumbnail's) of size bytes at offset. The image's directory must lie
// inside the block, within the entry cap, and name the orientation at most
// once, as one short of 1 to 8. For a comparison the thumbnail's directory
// is read too: its JPEG bytes must lie inside the block.
Exif ReadExif(HeaderReader& reader, std::uint64_t offset, std::uint64_t size);

// The colour description of the ICC profile of size bytes at offset: 0
// when it is sRGB (its colorant and tone curve tags are those of a known
// sRGB profile, or its colorants, white and every point of its three tone
// curves are sRGB's within tolerances), else a digest of its bytes. False
// when the profile cannot be read.
bool IccProfileColour(HeaderReader& reader, std::uint64_t offset, std::uint64_t size, std::uint64_t& colour);

// Adds size bytes at offset to digest; false when they cannot be read.
bool DigestBytes(HeaderReader& reader, std::uint64_t offset, std::uint64_t size, Digest& digest);

// The EXIF orientation (1 to 8) that the HEIF transforms come to: a
// rotation anticlockwise by quarter turns, then a mirror about the
// vertical (axis 0) or horizontal (axis 1) axis, as often as they come.
class HeifTransform {
 public:
  void Rotate(unsigned quarterTurnsAnticlockwise);
  void Mirror(unsigned axis);
  std::uint8_t Orientation() const;

 private:
  // Stored as: mirror left to right first when mirrored, then turn
  // clockwise by quarterTurns.
  bool mirrored = false;
  unsigned quarterTurns = 0;
};
