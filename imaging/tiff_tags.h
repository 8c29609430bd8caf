#pragma once
// The TIFF tags the readers look at, by the numbers TIFF, EXIF, DNG and the
// camera makers give them, and the field types of their entries: one table
// for the TIFF reader, the camera raw reader and the EXIF reader.

#include <cstdint>

namespace tiff {

enum Tag : std::uint16_t {
  // Panasonic's sensor size and the borders of its developed area (RW2).
  SensorWidth = 2,
  SensorHeight = 3,
  SensorTopBorder = 4,
  SensorLeftBorder = 5,
  SensorBottomBorder = 6,
  SensorRightBorder = 7,
  NewSubfileType = 254,
  ImageWidth = 256,
  ImageLength = 257,
  BitsPerSample = 258,
  Compression = 259,
  PhotometricInterpretation = 262,
  FillOrder = 266,
  Make = 271,
  StripOffsets = 273,
  Orientation = 274,
  SamplesPerPixel = 277,
  RowsPerStrip = 278,
  StripByteCounts = 279,
  PlanarConfig = 284,
  TransferFunction = 301,
  WhitePoint = 318,
  PrimaryChromaticities = 319,
  ColorMap = 320,
  TileWidth = 322,
  TileLength = 323,
  TileOffsets = 324,
  TileByteCounts = 325,
  SubIfds = 330,
  InkSet = 332,
  ExtraSamples = 338,
  SampleFormat = 339,
  // An EXIF thumbnail's JPEG bytes: where they start, how many.
  JpegInterchangeFormat = 513,
  JpegInterchangeFormatLength = 514,
  ExifIfd = 34665,
  IccProfile = 34675,
  PixelXDimension = 40962,
  PixelYDimension = 40963,
  DngVersion = 50706,
  DefaultScale = 50718,
  DefaultCropSize = 50720,
  ActiveArea = 50829,
};

// The field types of a directory entry the readers take.
constexpr std::uint16_t ShortType = 3;
constexpr std::uint16_t LongType = 4;
constexpr std::uint16_t RationalType = 5;
constexpr std::uint16_t IfdType = 13;

}  // namespace tiff
