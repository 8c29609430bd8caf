#include "imaging/bytes_reason.h"

const char* BytesReasonText(BytesReason reason) {
  switch (reason) {
    case BytesReason::None: return "";
    case BytesReason::FormatNotChecked: return "is in a format whose structure pixdim does not check";
    case BytesReason::HeaderUnreadable: return "has a header pixdim cannot read";
    case BytesReason::VectorDrawing: return "is a vector drawing";
    case BytesReason::CutShort: return "ends before its structures do";
    case BytesReason::TrailingData: return "holds data after its end";
    case BytesReason::ReadBudgetSpent: return "holds more structures than pixdim reads through";
    case BytesReason::DeepSamples: return "has samples deeper than 8 bits";
    case BytesReason::ImagesNotShown: return "holds images a decoder does not show";
    case BytesReason::CmykInks: return "holds CMYK inks";
    case BytesReason::AlphaAltered: return "has alpha the decoder alters";
    case BytesReason::ImageDataCutShort: return "has image data that ends before the image does";
    case BytesReason::ScanLayoutNotFollowed: return "has scan data laid out in a way pixdim does not follow";
    case BytesReason::PaletteAmbiguous: return "has a palette that decoders read differently";
    case BytesReason::ExtraSamplesAmbiguous: return "has extra samples that decoders read differently";
    case BytesReason::UnknownChunk: return "holds a chunk pixdim does not know";
    case BytesReason::UnknownSegment: return "holds a segment pixdim does not know";
    case BytesReason::UnknownBlock: return "holds a block pixdim does not know";
    case BytesReason::UnknownTag: return "holds a tag pixdim does not know";
    case BytesReason::UnknownBox: return "holds a box pixdim does not know";
    case BytesReason::UnknownItemReference: return "holds an item reference pixdim does not know";
    case BytesReason::DuplicateStructure: return "holds a structure twice that it may hold once";
    case BytesReason::ColourConflict: return "describes its colours in two ways";
    case BytesReason::ColourUnreadable: return "has a colour description pixdim cannot read in full";
    case BytesReason::OrientationUnreadable: return "has an orientation pixdim cannot read in full";
    case BytesReason::TimingUnreadable: return "has animation timing pixdim cannot read in full";
    case BytesReason::ThumbnailUnreadable: return "has a thumbnail pixdim cannot read in full";
    case BytesReason::FrameBeyondCanvas: return "has a frame that reaches beyond its canvas";
    case BytesReason::ChunkOutOfPlace: return "holds a chunk where some decoders skip it and others read it";
    case BytesReason::ChunkChecksumWrong: return "holds a chunk whose checksum does not match";
    case BytesReason::StructuresDisagree: return "holds structures that disagree with its flags or with one another";
    case BytesReason::ProfileInOtherFile: return "names a colour profile kept in another file";
    case BytesReason::TextSamples: return "has samples written as text, which pixdim does not count";
    case BytesReason::EntriesOverlap: return "has images that share bytes";
    case BytesReason::OrientationConflict: return "describes its orientation in two ways";
    case BytesReason::UnknownItem: return "holds an item pixdim does not know";
    case BytesReason::CameraRaw: return "is a camera raw file, which pixdim does not decode";
    case BytesReason::JpegXl: return "is a JPEG XL file, which pixdim does not decode";
  }
  return "";
}
