// Camera raw files: the size shown is the size of the developed picture, as
// the camera's own numbers give it, never that of the previews the files
// carry beside the sensor data. Each maker's kind of file has its rule:
//
// - DNG, and TIFF-built files of other makers (NEF, ARW, PEF) that carry
//   DNG's crop tags: the main raw image's DefaultCropSize (the directory,
//   IFD0 or one of its SubIFDs, whose NewSubfileType is 0), scaled by
//   DefaultScale; without it the ActiveArea, else the stored size. This is
//   what Adobe's DNG format defines as the final image and what raw
//   converters render. exiftool's ImageSize gives the stored size of that
//   directory, LibRaw's raw-identify the ActiveArea (scaled): both include
//   the margins the camera means to be cut off.
// - NEF, ARW, PEF without crop tags: the stored size of the main raw image
//   (a SubIFD or IFD0 of colour-filter samples), as exiftool gives it.
//   LibRaw trims further margins from tables of camera models, which no
//   reading of the file can know.
// - CR2 and CR3: the EXIF image size (PixelXDimension, PixelYDimension),
//   which Canon writes as its developed size and which exiftool's ImageSize
//   shows for CR2 (and LibRaw reaches through the sensor crop of Canon's
//   maker notes). For CR3 the EXIF directory lies in the CMT2 box.
// - ORF: IFD0's stored size, as exiftool gives it; the crop of Olympus's
//   maker notes is not read.
// - RW2: the sensor borders (right minus left, bottom minus top), as both
//   exiftool and LibRaw give it.
// - RAF: the RawImageCroppedSize record, as exiftool gives it; LibRaw gives
//   the RawImageSize record, which includes the margins. Files without the
//   cropped size show the RawImageSize.
//
// Orientation is left as for other formats: the stored size. A raw file's
// pixels are not decoded here: a comparison goes by its bytes.
#include <cstring>

#include "imaging/header_facts_formats.h"
#include "imaging/header_facts_raw.h"

namespace {

using raw::Directory;
using raw::Entry;
using raw::TiffStructure;

constexpr std::uint16_t TiffMagic = 42;
constexpr std::uint16_t OrfMagic = 0x4f52;     // "RO"
constexpr std::uint16_t OrfSMagic = 0x5352;    // "RS", some Olympus models
constexpr std::uint16_t Rw2Magic = 0x0055;
constexpr std::uint64_t Cr2MarkOffset = 8;     // "CR" and the major version 2
constexpr std::uint8_t Cr2Major = 2;
constexpr std::uint32_t MaxSubDirectories = 16;
constexpr std::uint32_t FullResolution = 0;    // NewSubfileType of the main image
constexpr std::uint32_t ColourFilterArray = 32803;
constexpr std::uint32_t LinearRaw = 34892;

enum class RawKind { None, Dng, Cr2, Maker, Orf, Rw2 };

std::uint16_t Magic(const std::uint8_t* head) { return head[0] == 'M' ? Be16(head + 2) : Le16(head + 2); }

// A directory that holds the camera's sensor data at full resolution.
bool IsMainRawImage(TiffStructure& tiff, const Directory& directory, bool dng) {
  std::uint32_t kind = FullResolution;
  const Entry& subfile = directory.Get(raw::NewSubfileType);
  if (subfile.present && !tiff.Single(subfile, kind)) return false;
  if (kind != FullResolution) return false;
  if (dng) return true;
  std::uint32_t photometric = 0;
  return tiff.Single(directory.Get(raw::PhotometricInterpretation), photometric) &&
         (photometric == ColourFilterArray || photometric == LinearRaw);
}

// IFD0 when it holds the main raw image, else the first of its SubIFDs
// that does; readable false when none does.
Directory MainRawImage(TiffStructure& tiff, const Directory& first, bool dng) {
  if (IsMainRawImage(tiff, first, dng)) return first;
  const Entry& subIfds = first.Get(raw::SubIfds);
  for (std::uint32_t i = 0; i < subIfds.count && i < MaxSubDirectories; ++i) {
    std::uint32_t offset = 0;
    if (!tiff.Number(subIfds, i, offset)) continue;
    const Directory sub = tiff.ReadDirectory(offset);
    if (sub.readable && IsMainRawImage(tiff, sub, dng)) return sub;
  }
  return Directory{};
}

// What a TIFF structure holds of a raw file: its kind, IFD0 and, for DNG
// and other makers' files, the main raw image's directory.
struct TiffRaw {
  RawKind kind = RawKind::None;
  Directory first;
  Directory image;
};

TiffRaw FindTiffRaw(HeaderReader& reader, TiffStructure& tiff) {
  TiffRaw found;
  std::uint8_t head[11];
  if (!tiff.Valid() || !reader.Read(0, head, sizeof head)) return found;
  const std::uint16_t magic = Magic(head);
  const bool cr2 = magic == TiffMagic && head[Cr2MarkOffset] == 'C' && head[Cr2MarkOffset + 1] == 'R' &&
                   head[Cr2MarkOffset + 2] == Cr2Major;
  if (magic == OrfMagic || magic == OrfSMagic) found.kind = RawKind::Orf;
  if (magic == Rw2Magic && head[0] == 'I') found.kind = RawKind::Rw2;
  if (cr2) found.kind = RawKind::Cr2;
  found.first = tiff.ReadDirectory(tiff.FirstDirectory());
  if (magic != TiffMagic || cr2 || !found.first.readable) return found;
  const bool dng = found.first.Get(raw::DngVersion).present;
  // A maker's raw file: a camera's name and sensor data.
  if (!dng && !found.first.Get(raw::Make).present) return found;
  found.image = MainRawImage(tiff, found.first, dng);
  if (dng) found.kind = RawKind::Dng;
  if (!dng && found.image.readable) found.kind = RawKind::Maker;
  return found;
}

bool Positive(std::uint32_t width, std::uint32_t height) { return width != 0 && height != 0; }

// The rule of DNG and of other TIFF-built files: the default crop, scaled;
// else the active area; else the stored size.
bool CroppedRawSize(TiffStructure& tiff, const Directory& image, std::uint32_t& width, std::uint32_t& height) {
  std::uint32_t storedWidth = 0;
  std::uint32_t storedHeight = 0;
  if (!tiff.Single(image.Get(raw::ImageWidth), storedWidth) || !tiff.Single(image.Get(raw::ImageLength), storedHeight)) {
    return false;
  }
  width = storedWidth;
  height = storedHeight;
  const Entry& area = image.Get(raw::ActiveArea);
  if (area.present) {
    std::uint32_t top = 0, left = 0, bottom = 0, right = 0;
    if (area.count != 4 || !tiff.Number(area, 0, top) || !tiff.Number(area, 1, left) ||
        !tiff.Number(area, 2, bottom) || !tiff.Number(area, 3, right) || bottom <= top || right <= left ||
        bottom > storedHeight || right > storedWidth) {
      return false;
    }
    width = right - left;
    height = bottom - top;
  }
  const Entry& crop = image.Get(raw::DefaultCropSize);
  if (crop.present) {
    std::uint32_t cropWidth = 0;
    std::uint32_t cropHeight = 0;
    if (crop.count != 2 || !tiff.Number(crop, 0, cropWidth) || !tiff.Number(crop, 1, cropHeight) ||
        cropWidth > width || cropHeight > height) {
      return false;
    }
    width = cropWidth;
    height = cropHeight;
  }
  const Entry& scale = image.Get(raw::DefaultScale);
  if (scale.present) {
    std::uint32_t xNumerator = 0, xDenominator = 0, yNumerator = 0, yDenominator = 0;
    if (scale.count != 2 || !tiff.Rational(scale, 0, xNumerator, xDenominator) ||
        !tiff.Rational(scale, 1, yNumerator, yDenominator)) {
      return false;
    }
    const std::uint64_t scaledWidth = (std::uint64_t{width} * xNumerator + xDenominator / 2) / xDenominator;
    const std::uint64_t scaledHeight = (std::uint64_t{height} * yNumerator + yDenominator / 2) / yDenominator;
    if (scaledWidth > UINT32_MAX || scaledHeight > UINT32_MAX) return false;
    width = static_cast<std::uint32_t>(scaledWidth);
    height = static_cast<std::uint32_t>(scaledHeight);
  }
  return Positive(width, height);
}

// The EXIF image size of the TIFF structure's EXIF directory.
bool ExifImageSize(TiffStructure& tiff, const Directory& exif, std::uint32_t& width, std::uint32_t& height) {
  return tiff.Single(exif.Get(raw::PixelXDimension), width) && tiff.Single(exif.Get(raw::PixelYDimension), height) &&
         Positive(width, height);
}

bool Rw2Size(TiffStructure& tiff, const Directory& first, std::uint32_t& width, std::uint32_t& height) {
  std::uint32_t top = 0, left = 0, bottom = 0, right = 0;
  if (!tiff.Single(first.Get(raw::SensorTopBorder), top) || !tiff.Single(first.Get(raw::SensorLeftBorder), left) ||
      !tiff.Single(first.Get(raw::SensorBottomBorder), bottom) ||
      !tiff.Single(first.Get(raw::SensorRightBorder), right) || bottom <= top || right <= left) {
    return false;
  }
  std::uint32_t sensorWidth = right;
  std::uint32_t sensorHeight = bottom;
  const Entry& sensorW = first.Get(raw::SensorWidth);
  const Entry& sensorH = first.Get(raw::SensorHeight);
  if ((sensorW.present && !tiff.Single(sensorW, sensorWidth)) || (sensorH.present && !tiff.Single(sensorH, sensorHeight)) ||
      right > sensorWidth || bottom > sensorHeight) {
    return false;
  }
  width = right - left;
  height = bottom - top;
  return true;
}

bool TiffRawSize(TiffStructure& tiff, const TiffRaw& found, std::uint32_t& width, std::uint32_t& height) {
  switch (found.kind) {
    case RawKind::Dng:
    case RawKind::Maker: return found.image.readable && CroppedRawSize(tiff, found.image, width, height);
    case RawKind::Cr2: {
      std::uint32_t exif = 0;
      return tiff.Single(found.first.Get(raw::ExifIfd), exif) &&
             ExifImageSize(tiff, tiff.ReadDirectory(exif), width, height);
    }
    case RawKind::Orf:
      return tiff.Single(found.first.Get(raw::ImageWidth), width) &&
             tiff.Single(found.first.Get(raw::ImageLength), height) && Positive(width, height);
    case RawKind::Rw2: return Rw2Size(tiff, found.first, width, height);
    case RawKind::None: break;
  }
  return false;
}

HeaderFacts RawFacts(bool sized, std::uint32_t width, std::uint32_t height) {
  HeaderFacts facts = Unsettled(ImageFormat::CameraRaw);
  facts.bytesReason = BytesReason::CameraRaw;
  if (sized) {
    facts.width = width;
    facts.height = height;
  }
  return facts;
}

}  // namespace

bool ReadCameraRawTiffFacts(HeaderReader& reader, HeaderFacts& facts) {
  TiffStructure tiff(reader, 0, reader.FileSize());
  const TiffRaw found = FindTiffRaw(reader, tiff);
  if (found.kind == RawKind::None) return false;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  const bool sized = TiffRawSize(tiff, found, width, height);
  facts = RawFacts(sized, width, height);
  return true;
}

HeaderFacts ReadCameraRawFacts(HeaderReader& reader) {
  HeaderFacts facts;
  if (ReadCameraRawTiffFacts(reader, facts)) return facts;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  const bool sized = raw::RafSize(reader, width, height) || raw::Cr3Size(reader, width, height);
  return RawFacts(sized, width, height);
}
