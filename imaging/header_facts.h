#pragma once
// What an image file's own header says about the images it holds, read
// with a few small reads and without decoding a pixel. The imaging library
// cannot always tell this without decoding the whole file (or at all): it
// serves the sizes of the columns on Linux, the memory check before a
// comparison decodes anything, the sizes of formats the imaging library
// does not read (on Windows), and the images a decoder would not show
// (animation frames, icon entries, pages) or samples it narrows to 8 bits.

#include <cstddef>
#include <cstdint>

#include "imaging/bytes_reason.h"
#include "imaging/coded_picture.h"

// Random access to the bytes of an open file.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Copies up to size bytes from offset into buffer and returns how many it
  // copied: fewer only at the end of the file or on a read error.
  virtual std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t size) = 0;
  virtual std::uint64_t Size() const = 0;
};

// Heif is the box format of both AVIF and HEIC pictures.
enum class ImageFormat {
  Unknown, Png, Jpeg, Gif, Bmp, Tiff, Ico, Cur, Pnm, WebP, Heif, QuickTime, Icns, Svg, CameraRaw, JpegXl
};

// Whether a file holds something: proven not (No); not ruled out, where
// the decoder would not report it itself (NotRuledOut, which leaves the
// pair to its bytes); or left to the decoder, which tells (GIF frames,
// for example).
enum class Answer { No, NotRuledOut, DecoderTells };

// The instructions a file gives for showing its pixels.
struct Presentation {
  // The EXIF orientation, 1 to 8; 1 without one.
  std::uint8_t orientation = 1;
  // A digest of the colour description; 0 for sRGB under any of its names
  // (no description, an sRGB chunk or ICC profile, sRGB's gamma or
  // primaries).
  std::uint64_t colour = 0;
  // A digest of an animation's frame delays and loop count; 0 for a still
  // image.
  std::uint64_t timing = 0;
  // A digest of the pictures a file carries beside its image (an EXIF
  // thumbnail, which file managers show in its place); 0 for none.
  std::uint64_t thumbnail = 0;

  bool operator==(const Presentation& other) const {
    return orientation == other.orientation && colour == other.colour && timing == other.timing &&
           thumbnail == other.thumbnail;
  }
};

struct HeaderFacts {
  ImageFormat format = ImageFormat::Unknown;
  // The size the format's decoder reports for the image it shows; both 0
  // when the header does not settle it.
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  // A structure the header needs before the image data runs past the end
  // of the file (so far read in PNG files): no decoder shows a picture, but
  // one may first allocate all the structure claims (a text chunk of 2 GiB).
  bool headerCutShort = false;
  // The largest image anywhere in the file, in pixels; 0 when not known.
  std::uint64_t largestImagePixels = 0;
  Answer moreThanOneImage = Answer::DecoderTells;
  Answer deeperThan8Bits = Answer::DecoderTells;
  // Decoding delivers every row once, final, top row first.
  bool rowsInOrder = false;
  // How a viewer is told to show the pixels: two files show the same
  // picture only when these agree as well as their pixels.
  Presentation presentation;
  // Why the decoded pixels and the presentation do not account for all
  // the file holds (CMYK inks, vector drawings, a chunk the reader does not
  // know, ...): only identical bytes prove such files equal.
  BytesReason bytesReason = BytesReason::None;
  // Where the coded picture lies, read for a comparison of PNG and JPEG
  // files whose decode and presentation account for everything else; empty
  // for other files.
  CodedPicture coded;
};

// Why a comparison of the file's pixels proves nothing, with the facts the
// compare checks first: images the decoder would not show and samples it
// would narrow. None when its pixels may prove it equal.
BytesReason BytesReasonOf(const HeaderFacts& facts);

// What the facts are for, which decides how far the reader reads. Sizes
// need the header only. A comparison of coded pictures also needs the
// presentation (ICC profiles are read whole), every structure accounted
// for, facts that lie among the image data (an animation's delays, where a
// JPEG's scan data ends) and where the coded picture lies. A comparison of
// decoded pixels also needs to know that the decode carries every pixel
// the file codes (a JPEG's scan walked block by block); the same coded
// bytes decode alike either way.
enum class Reach { Sizes, CodedPicture, Comparison };

HeaderFacts ReadHeaderFacts(ByteSource& source, Reach reach = Reach::Sizes);

// Whether the format's reader finds where the coded picture lies.
bool FindsCodedPicture(ImageFormat format);
