#pragma once
// Why only identical bytes can prove a file equal to another. A file's
// pixels prove it equal only when everything it holds is accounted for:
// the picture data, every structure that can change what a viewer shows
// (read completely), and otherwise only structures known to be inert. The
// first thing a reader finds that it cannot account for names the reason.

#include <cstdint>

enum class BytesReason : std::uint8_t {
  None,
  // Whole files.
  FormatNotChecked,
  HeaderUnreadable,
  VectorDrawing,
  CutShort,
  TrailingData,
  ReadBudgetSpent,
  // Pixels a decode does not carry whole.
  DeepSamples,
  ImagesNotShown,
  CmykInks,
  AlphaAltered,
  ImageDataCutShort,
  ScanLayoutNotFollowed,
  PaletteAmbiguous,
  ExtraSamplesAmbiguous,
  TextSamples,
  // Structures not accounted for.
  UnknownChunk,
  UnknownSegment,
  UnknownBlock,
  UnknownTag,
  UnknownBox,
  UnknownItem,
  UnknownItemReference,
  DuplicateStructure,
  StructuresDisagree,
  ChunkOutOfPlace,
  ChunkChecksumWrong,
  EntriesOverlap,
  // Instructions for showing the pixels that cannot be read completely or
  // say two things.
  ColourConflict,
  ColourUnreadable,
  ProfileInOtherFile,
  OrientationConflict,
  OrientationUnreadable,
  TimingUnreadable,
  ThumbnailUnreadable,
  FrameBeyondCanvas,
  // Formats no platform decoder here reads: their sizes come from the
  // header alone.
  CameraRaw,
  JpegXl,
};

// The reason as the end of a sentence that starts with the file's name:
// "has samples deeper than 8 bits".
const char* BytesReasonText(BytesReason reason);
