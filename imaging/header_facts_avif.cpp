// AVIF: an ISO base media file decoded by the HEIF decoder, which shows the
// primary item, rotated, mirrored and cropped as its properties say, at the
// size its AV1 data decodes to. The size is settled for an AV1 primary
// item that is not a grid, its 'ispe' and 'av1C' properties agreeing with
// its AV1 sequence header, and every item's data inside the file; its
// transforms turn and crop that size as the decoder does. The 'meta' box lists every item; an image sequence ('avis',
// 'moov') or more than one top-level image holds images the decoder does
// not show.
#include <algorithm>
#include <cstring>
#include <iterator>
#include <memory>

#include "imaging/header_facts_av1.h"

#include "imaging/header_facts_avif_boxes.h"
#include "imaging/header_facts_avif_transforms.h"
#include "imaging/header_facts_formats.h"
#include "imaging/header_facts_presentation.h"

using avif::Box;
using avif::Item;
using avif::Meta;
using avif::Property;

namespace {

constexpr int MaxBrands = 32;
constexpr std::uint32_t MaxSide = 32768;  // the HEIF decoder's limit
constexpr std::uint64_t HevcDepthAt = 17;  // in 'hvcC': the luma depth less 8, in the low 3 bits
// nclx values that show as sRGB: BT.709 primaries or unspecified ones,
// sRGB's transfer or an unspecified one.
constexpr std::uint16_t Bt709Primaries = 1;
constexpr std::uint16_t SrgbTransfer = 13;
constexpr std::uint16_t Unspecified = 2;
// The names an 'auxC' property gives an alpha plane, which the decoder
// folds into the pixels it shows.
constexpr const char* AlphaAuxiliaries[] = {"urn:mpeg:mpegB:cicp:systems:auxiliary:alpha",
                                           "urn:mpeg:hevc:2015:auxid:1"};
constexpr std::size_t MaxAuxiliaryName = 64;
// An Exif item's data starts with the 4-byte offset of its TIFF header.
constexpr std::uint64_t ExifOffsetBytes = 4;

// Top-level boxes after 'ftyp' that are accounted for: the 'meta' box,
// media data, padding, and an image sequence's 'moov', whose frames count
// as images the decoder does not show.
constexpr std::uint32_t TopLevelBoxes[] = {FourCC("meta"), FourCC("mdat"), FourCC("free"), FourCC("skip"), FourCC("moov")};

// Item types accounted for: AV1 and HEVC images, grids of them, and Exif
// and XMP metadata (a 'mime' item of XMP's content type).
constexpr std::uint32_t KnownItemTypes[] = {FourCC("av01"), FourCC("hvc1"), FourCC("grid"), FourCC("Exif")};

BytesReason First(BytesReason found, BytesReason next) { return found != BytesReason::None ? found : next; }

Av1Format FormatOfConfiguration(const Property& av1C) {
  const unsigned profile = av1C.codecFlags[0] >> 5;
  const std::uint8_t flags = av1C.codecFlags[1];
  return {profile, Av1Depth(profile, (flags & 0x40) != 0, (flags & 0x20) != 0), (flags & 0x10) != 0};
}

// Any item but metadata (EXIF, XMP and other MIME data, a URI): a picture
// of some kind.
bool IsPictureItem(const Item& item) {
  return item.type != FourCC("Exif") && item.type != FourCC("mime") && item.type != FourCC("uri ");
}

// A tile of a grid, an alpha or depth plane, or a thumbnail. An image
// derived by any other item ('dimg' from an overlay, say) is still an
// image of its own: the decoder shows only the primary item.
bool IsPartOfAnotherImage(const Meta& meta, std::uint32_t id) {
  for (int i = 0; i < meta.referenceCount; ++i) {
    const avif::Reference& reference = meta.references[i];
    const Item* from = meta.FindItem(reference.from);
    const bool tileOfGrid = reference.type == FourCC("dimg") && reference.to == id && from != nullptr &&
                            from->type == FourCC("grid");
    if (tileOfGrid ||
        ((reference.type == FourCC("auxl") || reference.type == FourCC("thmb")) && reference.from == id)) {
      return true;
    }
  }
  return false;
}

struct ImageSummary {
  int topLevel = 0;
  bool deep = false;
  std::uint64_t largestPixels = 0;
  bool largestKnown = true;
};

// The luma depth of an HEVC item; 0 when it cannot be read.
unsigned HevcDepth(HeaderReader& reader, const Property& hvcC) {
  std::uint8_t depth = 0;
  if (hvcC.box.end - hvcC.box.start <= HevcDepthAt || !reader.Read(hvcC.box.start + HevcDepthAt, &depth, 1)) return 0;
  return 8u + (depth & 7u);
}

ImageSummary SummarizeImages(HeaderReader& reader, const Meta& meta) {
  ImageSummary summary;
  for (int i = 0; i < meta.itemCount; ++i) {
    const Item& item = meta.items[i];
    if (!IsPictureItem(item)) continue;
    if (!item.hidden && !IsPartOfAnotherImage(meta, item.id)) ++summary.topLevel;
    // Only AV1 and HEVC items tell their depth here.
    const bool hevc = item.type == FourCC("hvc1");
    if (item.type != FourCC("av01") && item.type != FourCC("grid") && !hevc) summary.deep = true;
    std::uint64_t pixels = 0;
    bool hevcDepthKnown = false;
    avif::ForEachProperty(meta, item.id, [&](const Property& property) {
      if (property.type == FourCC("ispe") && pixels == 0) pixels = std::uint64_t{property.width} * property.height;
      summary.deep = summary.deep || (property.type == FourCC("av1C") && FormatOfConfiguration(property).depth > 8);
      if (hevc && property.type == FourCC("hvcC")) {
        const unsigned depth = HevcDepth(reader, property);
        hevcDepthKnown = depth != 0;
        summary.deep = summary.deep || depth != 8;
      }
    });
    summary.deep = summary.deep || (hevc && !hevcDepthKnown);
    summary.largestKnown = summary.largestKnown && pixels != 0;
    summary.largestPixels = std::max(summary.largestPixels, pixels);
  }
  return summary;
}

struct PrimarySize {
  bool settled = false;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  Av1Format format;  // as its 'av1C' property gives it
};

// The decoder reads the properties of every item of the image types it
// knows, and fails on one without any or with a missing one.
bool ImagePropertiesValid(const Meta& meta) {
  if (meta.propertyIndexMax > static_cast<std::uint32_t>(meta.propertyCount)) return false;
  for (int i = 0; i < meta.itemCount; ++i) {
    const std::uint32_t id = meta.items[i].id;
    const bool associated = std::any_of(meta.associations, meta.associations + meta.associationCount,
                                        [id](const avif::Association& association) { return association.item == id; });
    if (IsPictureItem(meta.items[i]) && !associated) return false;
  }
  return true;
}

PrimarySize SizeOfPrimary(const Meta& meta) {
  PrimarySize size;
  const bool structureComplete = meta.pictureHandler && meta.hasPrimary && meta.hasLocations &&
                                 meta.hasItemInfo && meta.hasProperties && meta.hasAssociations &&
                                 meta.complete && ImagePropertiesValid(meta);
  const Item* primary = meta.FindItem(meta.primary);
  if (!structureComplete || primary == nullptr || primary->hidden || primary->type != FourCC("av01")) return size;
  const avif::ItemShape shape = avif::ReadItemShape(meta, primary->id, FourCC("av1C"));
  if (shape.configuration != nullptr) size.format = FormatOfConfiguration(*shape.configuration);
  if (shape.size != nullptr) {
    size.width = shape.size->width;
    size.height = shape.size->height;
  }
  size.settled = shape.configuration != nullptr && shape.size != nullptr && size.width >= 1 &&
                 size.width <= MaxSide && size.height >= 1 && size.height <= MaxSide;
  return size;
}

struct FileType {
  bool decoderBrand = false;  // a brand the HEIF decoder reads
  bool sequence = false;
};

FileType ReadFileType(HeaderReader& reader, const Box& box) {
  FileType fileType;
  std::uint8_t brand[4];
  if (box.end - box.start < 8 || !reader.Read(box.start, brand, 4)) return fileType;
  fileType.sequence = Be32(brand) == FourCC("avis");
  const std::uint64_t brands = std::min<std::uint64_t>((box.end - box.start - 8) / 4, MaxBrands);
  for (std::uint64_t i = 0; i < brands; ++i) {
    if (!reader.Read(box.start + 8 + 4 * i, brand, 4)) break;
    const std::uint32_t compatible = Be32(brand);
    fileType.sequence = fileType.sequence || compatible == FourCC("avis");
    fileType.decoderBrand = fileType.decoderBrand || compatible == FourCC("avif") ||
                            compatible == FourCC("mif1") || compatible == FourCC("heic") ||
                            compatible == FourCC("heix");
  }
  return fileType;
}

// What the 'colr' properties of the primary item say together.
struct ColourDescriptions {
  Digest digest;
  bool other = false;  // one that is not sRGB's
  int nclx = 0;
  int profiles = 0;
  bool nclxSpecified = false;  // primaries or transfer not left unspecified
};

// Adds a 'colr' property's description to colour, to the digest unless it
// is sRGB's; false when it cannot be read. Profiles are read for a
// comparison only.
bool NoteColour(HeaderReader& reader, const Property& colr, ColourDescriptions& colour) {
  std::uint8_t bytes[10];
  const Box& box = colr.box;
  if (box.end - box.start < 4 || !reader.Read(box.start, bytes, 4)) return false;
  const std::uint32_t kind = Be32(bytes);
  if (kind == FourCC("nclx")) {
    if (box.end - box.start < sizeof bytes || !reader.Read(box.start, bytes, sizeof bytes)) return false;
    const std::uint16_t primaries = Be16(bytes + 4);
    const std::uint16_t transfer = Be16(bytes + 6);
    ++colour.nclx;
    colour.nclxSpecified = colour.nclxSpecified || primaries != Unspecified || transfer != Unspecified;
    if ((primaries == Bt709Primaries || primaries == Unspecified) &&
        (transfer == SrgbTransfer || transfer == Unspecified)) {
      return true;
    }
    colour.digest.Value(kind).Value(primaries).Value(transfer);
    colour.other = true;
    return true;
  }
  ++colour.profiles;
  if (!reader.ForComparison()) return true;
  std::uint64_t profile = 0;
  if (!IccProfileColour(reader, box.start + 4, box.end - box.start - 4, profile)) return false;
  if (profile != 0) {
    colour.digest.Value(profile);
    colour.other = true;
  }
  return true;
}

// Two descriptions of one kind, or a profile beside given primaries or
// transfer where either is not sRGB's: viewers that read one or the other
// show different colours.
bool Conflicting(const ColourDescriptions& colour) {
  return colour.nclx > 1 || colour.profiles > 1 || (colour.profiles == 1 && colour.nclxSpecified && colour.other);
}

// The primary item's transforms and colour description, in the order of
// its properties; why they do not account for what a viewer shows.
BytesReason NotePresentation(HeaderReader& reader, const Meta& meta, Presentation& shown) {
  HeifTransform transform;
  ColourDescriptions colour;
  bool readable = true;
  avif::ForEachProperty(meta, meta.primary, [&](const Property& property) {
    std::uint8_t value = 0;
    const bool transformProperty = property.type == FourCC("irot") || property.type == FourCC("imir");
    if (transformProperty) {
      if (property.box.end == property.box.start || !reader.Read(property.box.start, &value, 1)) {
        readable = false;
      } else if (property.type == FourCC("irot")) {
        transform.Rotate(value & 3u);
      } else {
        transform.Mirror(value & 1u);
      }
    }
    if (property.type == FourCC("colr")) readable = readable && NoteColour(reader, property, colour);
  });
  shown.orientation = transform.Orientation();
  shown.colour = colour.other ? colour.digest.Get() : 0;
  if (!readable) return BytesReason::ColourUnreadable;
  return Conflicting(colour) ? BytesReason::ColourConflict : BytesReason::None;
}

// Whether an item's 'auxC' property names an alpha plane.
bool IsAlphaAuxiliary(HeaderReader& reader, const Meta& meta, std::uint32_t item) {
  bool alpha = false;
  avif::ForEachProperty(meta, item, [&](const Property& property) {
    if (property.type != FourCC("auxC")) return;
    // Version and flags, then the name and its terminator.
    char name[MaxAuxiliaryName] = {};
    const auto length = static_cast<std::size_t>(
        std::min<std::uint64_t>(property.box.end - property.box.start, MaxAuxiliaryName + 4));
    if (length <= 4 || !reader.Read(property.box.start + 4, reinterpret_cast<std::uint8_t*>(name), length - 4)) return;
    for (const char* known : AlphaAuxiliaries) {
      alpha = alpha || std::memcmp(name, known, std::strlen(known) + 1) == 0;
    }
  });
  return alpha;
}

// Why an item reference is not accounted for: the tiles of a grid, a
// thumbnail (counted among the images), an alpha plane and the description
// an Exif or XMP item gives are. Another auxiliary image (depth, say) is
// one the decoder does not show.
BytesReason ReferenceReason(HeaderReader& reader, const Meta& meta, const avif::Reference& reference) {
  const Item* from = meta.FindItem(reference.from);
  const std::uint32_t fromType = from != nullptr ? from->type : 0;
  switch (reference.type) {
    case FourCC("dimg"): return fromType == FourCC("grid") ? BytesReason::None : BytesReason::UnknownItemReference;
    case FourCC("thmb"): return BytesReason::None;
    case FourCC("cdsc"):
      return fromType == FourCC("Exif") || (from != nullptr && from->xmp) ? BytesReason::None
                                                                        : BytesReason::UnknownItemReference;
    case FourCC("auxl"):
      return IsAlphaAuxiliary(reader, meta, reference.from) ? BytesReason::None : BytesReason::ImagesNotShown;
    default: return BytesReason::UnknownItemReference;
  }
}

BytesReason ItemsReason(const Meta& meta) {
  for (int i = 0; i < meta.itemCount; ++i) {
    const Item& item = meta.items[i];
    if (!item.xmp && std::find(std::begin(KnownItemTypes), std::end(KnownItemTypes), item.type) == std::end(KnownItemTypes)) {
      return BytesReason::UnknownItem;
    }
  }
  return BytesReason::None;
}

BytesReason ReferencesReason(HeaderReader& reader, const Meta& meta) {
  BytesReason reason = BytesReason::None;
  for (int i = 0; i < meta.referenceCount && reason == BytesReason::None; ++i) {
    reason = ReferenceReason(reader, meta, meta.references[i]);
  }
  return reason;
}

// The EXIF block of an Exif item; OrientationUnreadable when its data
// does not lie in the file in one piece.
Exif ReadExifItem(HeaderReader& reader, const Meta& meta, std::uint32_t item) {
  Exif unreadable;
  unreadable.reason = BytesReason::OrientationUnreadable;
  const avif::ItemData data = avif::LocateItems(reader, meta.locations, item);
  std::uint8_t offset[ExifOffsetBytes];
  if (!data.located || data.primaryExtents != 1 || data.primaryFirstLength <= ExifOffsetBytes ||
      !reader.Read(data.primaryStart, offset, ExifOffsetBytes)) {
    return unreadable;
  }
  const std::uint64_t header = ExifOffsetBytes + Be32(offset);
  if (header >= data.primaryFirstLength) return unreadable;
  return ReadExif(reader, data.primaryStart + header, data.primaryFirstLength - header);
}

// The decoder turns the image by its transforms alone; a viewer that reads
// an Exif item's orientation instead turns it another way when they
// disagree. The item's thumbnail is shown like any file's. Exif items are
// read for a comparison only.
BytesReason ExifReason(HeaderReader& reader, const Meta& meta, Presentation& shown) {
  if (!reader.ForComparison()) return BytesReason::None;
  for (int i = 0; i < meta.itemCount; ++i) {
    if (meta.items[i].type != FourCC("Exif")) continue;
    const Exif exif = ReadExifItem(reader, meta, meta.items[i].id);
    if (exif.reason != BytesReason::None) return exif.reason;
    if (exif.orientation != 1 && exif.orientation != shown.orientation) return BytesReason::OrientationConflict;
    if (shown.thumbnail != 0 && exif.thumbnail != shown.thumbnail) return BytesReason::DuplicateStructure;
    shown.thumbnail = exif.thumbnail;
  }
  return BytesReason::None;
}

// Why the bytes past the last top-level box read are not accounted for.
BytesReason EndReason(HeaderReader& reader, std::uint64_t offset, int boxes) {
  if (offset > reader.FileSize()) return BytesReason::CutShort;
  if (offset == reader.FileSize()) return BytesReason::None;
  return boxes == avif::MaxChildren ? BytesReason::ReadBudgetSpent : BytesReason::TrailingData;
}

}  // namespace

HeaderFacts ReadAvifFacts(HeaderReader& reader) {
  HeaderFacts facts = Unsettled(ImageFormat::Heif);
  Box fileTypeBox;
  if (!avif::ReadBox(reader, 0, UINT64_MAX, fileTypeBox) || fileTypeBox.type != FourCC("ftyp")) return facts;
  FileType fileType = ReadFileType(reader, fileTypeBox);
  // On the heap: the reader runs on a thread of the host.
  const std::unique_ptr<Meta> parsed = std::make_unique<Meta>();
  Meta& meta = *parsed;
  bool metaRead = false;
  BytesReason topLevel = BytesReason::None;
  BytesReason metaReason = BytesReason::None;
  std::uint64_t offset = fileTypeBox.end;
  int boxes = 0;
  for (; boxes < avif::MaxChildren && offset < reader.FileSize(); ++boxes) {
    Box top;
    if (!avif::ReadBox(reader, offset, UINT64_MAX, top)) break;
    if (top.type == FourCC("moov")) fileType.sequence = true;
    if (top.type == FourCC("meta") && !metaRead) {
      metaRead = true;
      // The decoder wants the whole box in the file.
      const bool whole = reader.HasByteAt(top.end - 1);
      const bool read = whole && avif::ReadMeta(reader, top, meta);
      metaReason = !whole ? BytesReason::CutShort : !read ? BytesReason::HeaderUnreadable : BytesReason::None;
      meta.complete = read && meta.complete;
    } else if (top.type == FourCC("meta") || top.type == FourCC("ftyp")) {
      topLevel = First(topLevel, BytesReason::DuplicateStructure);
    } else if (std::find(std::begin(TopLevelBoxes), std::end(TopLevelBoxes), top.type) == std::end(TopLevelBoxes)) {
      topLevel = First(topLevel, BytesReason::UnknownBox);
    }
    offset = top.end;
  }
  if (!metaRead) return facts;
  const ImageSummary images = SummarizeImages(reader, meta);
  const BytesReason shown = NotePresentation(reader, meta, facts.presentation);
  // Structures not accounted for, as the file holds them, then what is shown.
  BytesReason reason = First(topLevel, EndReason(reader, offset, boxes));
  reason = First(reason, metaReason);
  reason = First(reason, meta.unaccounted);
  // What the reader's bounds on items, properties and references cut off.
  reason = First(reason, meta.complete ? BytesReason::None : BytesReason::ReadBudgetSpent);
  reason = First(reason, ItemsReason(meta));
  reason = First(reason, ReferencesReason(reader, meta));
  reason = First(reason, shown);
  facts.bytesReason = First(reason, ExifReason(reader, meta, facts.presentation));
  facts.deeperThan8Bits = images.deep || !meta.complete ? Answer::NotRuledOut : Answer::No;
  facts.moreThanOneImage =
      fileType.sequence || images.topLevel > 1 || !meta.complete ? Answer::NotRuledOut : Answer::No;
  facts.largestImagePixels = images.largestKnown && meta.complete ? images.largestPixels : 0;
  const PrimarySize primary = SizeOfPrimary(meta);
  if (!fileType.decoderBrand || !primary.settled) return facts;
  // The decoder shows the frame its AV1 data decodes to, and fails when
  // any item's data is cut off.
  const avif::ItemData data = avif::LocateItems(reader, meta.locations, meta.primary);
  if (!data.located || !reader.HasByteAt(data.end - 1)) return facts;
  if (data.primaryExtents != 1 || !Av1ObusFit(reader, data.primaryStart, data.primaryFirstLength)) {
    return facts;
  }
  // The decoder sets up its image by the 'av1C' property.
  const Av1SequenceHeader sequence = ReadAv1SequenceHeader(reader, data.primaryStart, data.primaryFirstLength);
  if (sequence.known && sequence.reduced && sequence.width == primary.width && sequence.height == primary.height &&
      sequence.format == primary.format) {
    const avif::ShownSize turned = avif::ShownSizeOf(reader, meta, meta.primary, primary.width, primary.height);
    if (turned.known) {
      facts.width = turned.width;
      facts.height = turned.height;
    }
  }
  return facts;
}
