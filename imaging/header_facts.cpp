// Names the format from the file's first bytes, lets that format's reader
// read the header, and keeps the size only when the imaging library's
// content sniffing (shared-mime-info's signatures) would pick the same
// format's decoder for those bytes.
#include "imaging/header_facts.h"

#include <cstring>

#include "imaging/header_facts_formats.h"

namespace {

constexpr std::size_t SniffBytes = 264;

bool Starts(const std::uint8_t* bytes, std::size_t size, const char* prefix, std::size_t length) {
  return size >= length && std::memcmp(bytes, prefix, length) == 0;
}
bool Holds(const std::uint8_t* bytes, std::size_t size, std::size_t at, const char* text, std::size_t length) {
  return size >= at + length && std::memcmp(bytes + at, text, length) == 0;
}

bool IsBlank(std::uint8_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r'; }

// An 'ftyp' box naming AVIF as its major brand, or naming 'mif1' with AVIF
// among the first compatible brands.
bool IsAvif(const std::uint8_t* bytes, std::size_t size) {
  if (Holds(bytes, size, 4, "ftypavif", 8) || Holds(bytes, size, 4, "ftypavis", 8)) return true;
  return Holds(bytes, size, 4, "ftypmif1", 8) &&
         (Holds(bytes, size, 16, "avif", 4) || Holds(bytes, size, 20, "avif", 4) || Holds(bytes, size, 24, "avif", 4));
}

// HEIC files: the same container, read by the same reader.
bool IsHeic(const std::uint8_t* bytes, std::size_t size) {
  if (Holds(bytes, size, 4, "ftypheic", 8) || Holds(bytes, size, 4, "ftypheix", 8)) return true;
  return Holds(bytes, size, 4, "ftypmif1", 8) &&
         (Holds(bytes, size, 16, "heic", 4) || Holds(bytes, size, 20, "heic", 4) || Holds(bytes, size, 24, "heic", 4));
}

// Camera raw files with signatures of their own: Olympus (a TIFF header
// of another magic), Panasonic (likewise), Fujifilm, Canon's CR3 boxes.
bool IsCameraRaw(const std::uint8_t* bytes, std::size_t size) {
  return Starts(bytes, size, "IIRO", 4) || Starts(bytes, size, "IIRS", 4) || Starts(bytes, size, "MMOR", 4) ||
         Starts(bytes, size, "IIU\0", 4) || Starts(bytes, size, "FUJIFILMCCD-RAW ", 16) ||
         Holds(bytes, size, 4, "ftypcrx ", 8);
}

// A JPEG XL codestream, or the container's signature box.
bool IsJpegXl(const std::uint8_t* bytes, std::size_t size) {
  return Starts(bytes, size, "\xff\x0a", 2) || Starts(bytes, size, "\0\0\0\x0cJXL \r\n\x87\n", 12);
}

ImageFormat FormatBySignature(const std::uint8_t* bytes, std::size_t size) {
  if (Starts(bytes, size, "\x89PNG", 4)) return ImageFormat::Png;
  if (Starts(bytes, size, "\xff\xd8", 2)) return ImageFormat::Jpeg;
  if (Starts(bytes, size, "GIF8", 4)) return ImageFormat::Gif;
  if (Starts(bytes, size, "BM", 2)) return ImageFormat::Bmp;
  if (Starts(bytes, size, "II*\0", 4) || Starts(bytes, size, "MM\0*", 4) || Starts(bytes, size, "II+\0", 4) ||
      Starts(bytes, size, "MM\0+", 4)) {
    return ImageFormat::Tiff;
  }
  if (Starts(bytes, size, "\0\0\1\0", 4)) return ImageFormat::Ico;
  if (Starts(bytes, size, "\0\0\2\0", 4)) return ImageFormat::Cur;
  if (size >= 3 && bytes[0] == 'P' && bytes[1] >= '1' && bytes[1] <= '6' && IsBlank(bytes[2])) {
    return ImageFormat::Pnm;
  }
  if (Starts(bytes, size, "RIFF", 4) && Holds(bytes, size, 8, "WEBP", 4)) return ImageFormat::WebP;
  if (IsAvif(bytes, size) || IsHeic(bytes, size)) return ImageFormat::Heif;
  if (IsCameraRaw(bytes, size)) return ImageFormat::CameraRaw;
  if (IsJpegXl(bytes, size)) return ImageFormat::JpegXl;
  if (Holds(bytes, size, 4, "idsc", 4) || Holds(bytes, size, 4, "idat", 4)) return ImageFormat::QuickTime;
  if (Starts(bytes, size, "icns", 4)) return ImageFormat::Icns;
  return ImageFormat::Unknown;
}

// Whether the sniffing's own signature of the format matches: it is
// narrower than the format for BMP (reserved bytes zero, or a common info
// header size), icons (fewer than 256 entries), PNM (one of four blanks)
// and TIFF (no BigTIFF).
bool SniffingKnowsFormat(const std::uint8_t* bytes, std::size_t size, ImageFormat format) {
  switch (format) {
    case ImageFormat::Bmp:
      return size >= 15 &&
             ((bytes[6] == 0 && bytes[7] == 0) || bytes[14] == 12 || bytes[14] == 40 || bytes[14] == 64);
    case ImageFormat::Tiff: return bytes[2] != '+' && bytes[3] != '+';
    case ImageFormat::Ico:
    case ImageFormat::Cur: return size >= 6 && bytes[5] == 0;
    case ImageFormat::Pnm: return bytes[2] == '\n' || bytes[2] == ' ' || bytes[2] == '\t' || bytes[2] == '\r';
    default: return true;
  }
}

// Other types whose signatures the sniffing ranks first and that real
// images of a format can carry: SunOS fonts, TeX font metrics (a BMP file
// size), Targa (a cursor's data size), Kodak raw files (TIFF inside).
bool ClaimedByOtherType(const std::uint8_t* bytes, std::size_t size, ImageFormat format) {
  if (Holds(bytes, size, 8, "\x13z+", 3)) return true;
  switch (format) {
    case ImageFormat::Bmp: return Holds(bytes, size, 2, "\0\x11", 2) || Holds(bytes, size, 2, "\0\x12", 2);
    case ImageFormat::Cur:
      return size > 16 && (bytes[16] == 8 || bytes[16] == 16 || bytes[16] == 24 || bytes[16] == 32);
    case ImageFormat::Tiff: return Holds(bytes, size, 242, "EASTMAN KODAK COMPANY", 21);
    default: return false;
  }
}

// Drawings the imaging library renders at one size: SVG (a text file of
// markup, its first character after blanks a '<'), SVGZ (gzip), EMF (a
// header record naming " EMF") and WMF (placeable or plain). Their pixels
// lose whatever a larger rendering would show.
bool IsMarkup(const std::uint8_t* bytes, std::size_t size) {
  std::size_t first = Starts(bytes, size, "\xef\xbb\xbf", 3) ? 3 : 0;  // a UTF-8 byte order mark
  while (first < size && IsBlank(bytes[first])) ++first;
  return first < size && bytes[first] == '<';
}
bool IsVectorDrawing(const std::uint8_t* bytes, std::size_t size) {
  if (IsMarkup(bytes, size)) return true;
  return Starts(bytes, size, "\x1f\x8b", 2) || (Starts(bytes, size, "\1\0\0\0", 4) && Holds(bytes, size, 40, " EMF", 4)) ||
         Starts(bytes, size, "\xd7\xcd\xc6\x9a", 4) || Starts(bytes, size, "\1\0\x09\0", 4) ||
         Starts(bytes, size, "\2\0\x09\0", 4);
}

HeaderFacts ReadFormat(HeaderReader& reader, ImageFormat format) {
  switch (format) {
    case ImageFormat::Png: return ReadPngFacts(reader);
    case ImageFormat::Jpeg: return ReadJpegFacts(reader);
    case ImageFormat::Gif: return ReadGifFacts(reader);
    case ImageFormat::Bmp: return ReadBmpFacts(reader);
    case ImageFormat::Tiff: {
      // Raw files built on TIFF are told apart by their tags.
      HeaderFacts raw;
      return ReadCameraRawTiffFacts(reader, raw) ? raw : ReadTiffFacts(reader);
    }
    case ImageFormat::Ico:
    case ImageFormat::Cur: return ReadIconFacts(reader, format);
    case ImageFormat::Pnm: return ReadPnmFacts(reader);
    case ImageFormat::WebP: return ReadWebPFacts(reader);
    case ImageFormat::Heif: return ReadAvifFacts(reader);
    case ImageFormat::CameraRaw: return ReadCameraRawFacts(reader);
    case ImageFormat::JpegXl: return ReadJpegXlFacts(reader);
    case ImageFormat::QuickTime: return ReadQuickTimeFacts(reader);
    case ImageFormat::Icns: return ReadIcnsFacts(reader);
    case ImageFormat::Svg:  // named by its reader, after the signatures
    case ImageFormat::Unknown: break;
  }
  return HeaderFacts{};
}

}  // namespace

HeaderFacts ReadHeaderFacts(ByteSource& source, Reach reach) {
  HeaderReader reader(source, reach);
  std::uint8_t start[SniffBytes];
  const std::size_t size = reader.ReadUpTo(0, start, sizeof start);
  ImageFormat format = FormatBySignature(start, size);
  HeaderFacts facts = ReadFormat(reader, format);
  if (facts.format == ImageFormat::CameraRaw) format = ImageFormat::CameraRaw;
  // The AVIF reader settles AV1 images only.
  if (IsHeic(start, size)) SettleHeicSize(reader, facts);
  if (format == ImageFormat::Unknown && IsMarkup(start, size)) {
    facts = ReadSvgFacts(reader);
  } else if (format == ImageFormat::Unknown) {
    facts.bytesReason = IsVectorDrawing(start, size) ? BytesReason::VectorDrawing : BytesReason::FormatNotChecked;
  }
  // A file the sniffing does not give this format's decoder is decoded by
  // whatever its name or other signature selects: its size stays open.
  if (!SniffingKnowsFormat(start, size, format) || ClaimedByOtherType(start, size, format)) {
    facts.width = 0;
    facts.height = 0;
  }
  // The coded picture stands for the pixels only of a file its format's
  // decoder reads whole, with nothing else left unaccounted for.
  if (BytesReasonOf(facts) != BytesReason::None || facts.width == 0 || facts.height == 0) facts.coded.Drop();
  return facts;
}

bool FindsCodedPicture(ImageFormat format) { return format == ImageFormat::Png || format == ImageFormat::Jpeg; }

BytesReason BytesReasonOf(const HeaderFacts& facts) {
  if (facts.bytesReason != BytesReason::None) return facts.bytesReason;
  if (facts.deeperThan8Bits == Answer::NotRuledOut) return BytesReason::DeepSamples;
  if (facts.moreThanOneImage == Answer::NotRuledOut) return BytesReason::ImagesNotShown;
  return BytesReason::None;
}
