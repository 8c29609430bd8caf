// AVIF: an ISO base media file decoded by the HEIF decoder, which shows the
// primary item, rotated, mirrored and cropped as its properties say, at the
// size its AV1 data decodes to. The size is settled for a plain AV1
// primary item: no transform, no grid, its 'ispe' and 'av1C' properties
// agreeing with its AV1 sequence header, and every item's data inside the
// file. The 'meta' box lists every item; an image sequence ('avis',
// 'moov') or more than one top-level image holds images the decoder does
// not show.
#include <algorithm>
#include <memory>

#include "imaging/header_facts_av1.h"

#include "imaging/header_facts_avif_boxes.h"
#include "imaging/header_facts_formats.h"
#include "imaging/header_facts_presentation.h"

using avif::Box;
using avif::Item;
using avif::Meta;
using avif::Property;
using avif::Type;

namespace {

constexpr int MaxBrands = 32;
constexpr std::uint32_t MaxSide = 32768;  // the HEIF decoder's limit
constexpr std::uint64_t HevcDepthAt = 17;  // in 'hvcC': the luma depth less 8, in the low 3 bits
// nclx values that show as sRGB: BT.709 primaries or unspecified ones,
// sRGB's transfer or an unspecified one.
constexpr std::uint16_t Bt709Primaries = 1;
constexpr std::uint16_t SrgbTransfer = 13;
constexpr std::uint16_t Unspecified = 2;

Av1Format FormatOfConfiguration(const Property& av1C) {
  const unsigned profile = av1C.codecFlags[0] >> 5;
  const std::uint8_t flags = av1C.codecFlags[1];
  return {profile, Av1Depth(profile, (flags & 0x40) != 0, (flags & 0x20) != 0), (flags & 0x10) != 0};
}

bool IsImageItem(const Item& item) {
  return item.type != Type("Exif") && item.type != Type("mime") && item.type != Type("uri ");
}

const Item* FindItem(const Meta& meta, std::uint32_t id) {
  for (int i = 0; i < meta.itemCount; ++i) {
    if (meta.items[i].id == id) return &meta.items[i];
  }
  return nullptr;
}

// A tile of a grid, an alpha or depth plane, or a thumbnail. An image
// derived by any other item ('dimg' from an overlay, say) is still an
// image of its own: the decoder shows only the primary item.
bool IsPartOfAnotherImage(const Meta& meta, std::uint32_t id) {
  for (int i = 0; i < meta.referenceCount; ++i) {
    const avif::Reference& reference = meta.references[i];
    const Item* from = FindItem(meta, reference.from);
    const bool tileOfGrid = reference.type == Type("dimg") && reference.to == id && from != nullptr &&
                            from->type == Type("grid");
    if (tileOfGrid ||
        ((reference.type == Type("auxl") || reference.type == Type("thmb")) && reference.from == id)) {
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
    if (!IsImageItem(item)) continue;
    if (!item.hidden && !IsPartOfAnotherImage(meta, item.id)) ++summary.topLevel;
    // Only AV1 and HEVC items tell their depth here.
    const bool hevc = item.type == Type("hvc1");
    if (item.type != Type("av01") && item.type != Type("grid") && !hevc) summary.deep = true;
    std::uint64_t pixels = 0;
    bool hevcDepthKnown = false;
    avif::ForEachProperty(meta, item.id, [&](const Property& property) {
      if (property.type == Type("ispe") && pixels == 0) pixels = std::uint64_t{property.width} * property.height;
      summary.deep = summary.deep || (property.type == Type("av1C") && FormatOfConfiguration(property).depth > 8);
      if (hevc && property.type == Type("hvcC")) {
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
    if (IsImageItem(meta.items[i]) && !associated) return false;
  }
  return true;
}

PrimarySize SizeOfPrimary(const Meta& meta) {
  PrimarySize size;
  const bool structureComplete = meta.pictureHandler && meta.hasPrimary && meta.hasLocations &&
                                 meta.hasItemInfo && meta.hasProperties && meta.hasAssociations &&
                                 meta.complete && ImagePropertiesValid(meta);
  const Item* primary = FindItem(meta, meta.primary);
  if (!structureComplete || primary == nullptr || primary->hidden || primary->type != Type("av01")) return size;
  const avif::ItemShape shape = avif::ReadItemShape(meta, primary->id, Type("av1C"));
  if (shape.configuration != nullptr) size.format = FormatOfConfiguration(*shape.configuration);
  if (shape.size != nullptr) {
    size.width = shape.size->width;
    size.height = shape.size->height;
  }
  size.settled = shape.configuration != nullptr && !shape.transformed && shape.size != nullptr && size.width >= 1 &&
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
  fileType.sequence = Be32(brand) == Type("avis");
  const std::uint64_t brands = std::min<std::uint64_t>((box.end - box.start - 8) / 4, MaxBrands);
  for (std::uint64_t i = 0; i < brands; ++i) {
    if (!reader.Read(box.start + 8 + 4 * i, brand, 4)) break;
    const std::uint32_t compatible = Be32(brand);
    fileType.sequence = fileType.sequence || compatible == Type("avis");
    fileType.decoderBrand = fileType.decoderBrand || compatible == Type("avif") ||
                            compatible == Type("mif1") || compatible == Type("heic") ||
                            compatible == Type("heix");
  }
  return fileType;
}

// Adds a 'colr' property's description to digest unless it is sRGB's;
// false when it cannot be read.
bool NoteColour(HeaderReader& reader, const Property& colr, Digest& digest, bool& other) {
  std::uint8_t bytes[10];
  const Box& box = colr.box;
  if (box.end - box.start < 4 || !reader.Read(box.start, bytes, 4)) return false;
  const std::uint32_t kind = Be32(bytes);
  if (kind == Type("nclx")) {
    if (box.end - box.start < sizeof bytes || !reader.Read(box.start, bytes, sizeof bytes)) return false;
    const std::uint16_t primaries = Be16(bytes + 4);
    const std::uint16_t transfer = Be16(bytes + 6);
    if ((primaries == Bt709Primaries || primaries == Unspecified) &&
        (transfer == SrgbTransfer || transfer == Unspecified)) {
      return true;
    }
    digest.Value(kind).Value(primaries).Value(transfer);
    other = true;
    return true;
  }
  if (!reader.ForComparison()) return true;
  std::uint64_t profile = 0;
  if (!IccProfileColour(reader, box.start + 4, box.end - box.start - 4, profile)) return false;
  if (profile != 0) {
    digest.Value(profile);
    other = true;
  }
  return true;
}

// The primary item's transforms and colour description, in the order of
// its properties; false when one cannot be read.
bool NotePresentation(HeaderReader& reader, const Meta& meta, Presentation& shown) {
  HeifTransform transform;
  Digest colour;
  bool otherColour = false;
  bool readable = true;
  avif::ForEachProperty(meta, meta.primary, [&](const Property& property) {
    std::uint8_t value = 0;
    const bool transformProperty = property.type == Type("irot") || property.type == Type("imir");
    if (transformProperty) {
      if (property.box.end == property.box.start || !reader.Read(property.box.start, &value, 1)) {
        readable = false;
      } else if (property.type == Type("irot")) {
        transform.Rotate(value & 3u);
      } else {
        transform.Mirror(value & 1u);
      }
    }
    if (property.type == Type("colr")) readable = readable && NoteColour(reader, property, colour, otherColour);
  });
  shown.orientation = transform.Orientation();
  shown.colour = otherColour ? colour.Get() : 0;
  return readable;
}

}  // namespace

HeaderFacts ReadAvifFacts(HeaderReader& reader) {
  HeaderFacts facts = Unsettled(ImageFormat::Avif);
  Box fileTypeBox;
  if (!avif::ReadBox(reader, 0, UINT64_MAX, fileTypeBox) || fileTypeBox.type != Type("ftyp")) return facts;
  FileType fileType = ReadFileType(reader, fileTypeBox);
  // On the heap: the reader runs on a thread of the host.
  const std::unique_ptr<Meta> parsed = std::make_unique<Meta>();
  Meta& meta = *parsed;
  bool metaRead = false;
  std::uint64_t offset = fileTypeBox.end;
  for (int box = 0; box < avif::MaxChildren; ++box) {
    Box top;
    if (!avif::ReadBox(reader, offset, UINT64_MAX, top)) break;
    if (top.type == Type("moov")) fileType.sequence = true;
    if (top.type == Type("meta") && !metaRead) {
      metaRead = true;
      // The decoder wants the whole box in the file.
      meta.complete = reader.HasByteAt(top.end - 1) && avif::ReadMeta(reader, top, meta) && meta.complete;
    }
    offset = top.end;
  }
  if (!metaRead) return facts;
  const ImageSummary images = SummarizeImages(reader, meta);
  facts.bytesReason =
      NotePresentation(reader, meta, facts.presentation) ? BytesReason::None : BytesReason::ColourUnreadable;
  facts.deeperThan8Bits = images.deep || !meta.complete ? Answer::Yes : Answer::No;
  facts.moreThanOneImage =
      fileType.sequence || images.topLevel > 1 || !meta.complete ? Answer::Yes : Answer::No;
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
    facts.width = primary.width;
    facts.height = primary.height;
  }
  return facts;
}
