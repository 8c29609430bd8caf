#include "imaging/header_facts_avif_boxes.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace avif {

namespace {

constexpr std::size_t MaxStringBytes = 256;
constexpr int MaxExtents = 32;  // the HEIF decoder's limit per item
// The content type of XMP packets, with its terminator.
constexpr char XmpContentType[] = "application/rdf+xml";

// Item properties the decoder reads or that describe how the image is
// shown, each accounted for: size, channels, codec configuration, colour,
// transforms and crop, pixel aspect, auxiliary kind, AV1 layers and
// operating points; padding as well.
constexpr std::uint32_t KnownProperties[] = {
    FourCC("ispe"), FourCC("pixi"), FourCC("av1C"), FourCC("hvcC"), FourCC("colr"), FourCC("irot"), FourCC("imir"),
    FourCC("clap"), FourCC("pasp"), FourCC("auxC"), FourCC("lsel"), FourCC("a1op"), FourCC("a1lx"), FourCC("free"),
    FourCC("skip"),
};

// Boxes of 'meta' that hold no items, properties or references: item
// data, the data reference (the file itself), padding.
constexpr std::uint32_t InertMetaBoxes[] = {FourCC("idat"), FourCC("dinf"), FourCC("free"), FourCC("skip")};

// Boxes of 'meta' it may hold once.
constexpr std::uint32_t SingleMetaBoxes[] = {FourCC("hdlr"), FourCC("pitm"), FourCC("iloc"),
                                             FourCC("iinf"), FourCC("iref"), FourCC("iprp")};

template <std::size_t Count>
bool Listed(const std::uint32_t (&list)[Count], std::uint32_t type) {
  return std::find(list, list + Count, type) != list + Count;
}

// Calls visit for each child box between start and end; false when a child
// is malformed or there are too many.
template <typename Visit>
bool ForEachChild(HeaderReader& reader, std::uint64_t start, std::uint64_t end, Visit visit) {
  std::uint64_t offset = start;
  for (int child = 0; child < MaxChildren && offset < end; ++child) {
    Box box;
    if (!ReadBox(reader, offset, end, box) || !visit(box)) return false;
    offset = box.end;
  }
  return offset >= end;
}

class MetaParser {
 public:
  MetaParser(HeaderReader& headerReader, Meta& metaOut) : reader(headerReader), meta(metaOut) {}

  bool Parse(const Box& metaBox) {
    return ForEachChild(reader, metaBox.start + 4, metaBox.end, [this](const Box& box) { return Child(box); });
  }

 private:
  // Keeps the first reason found.
  void Unaccounted(BytesReason reason) {
    if (meta.unaccounted == BytesReason::None) meta.unaccounted = reason;
  }

  // Notes a second box of a type the 'meta' box holds once.
  void Once(const Box& box) {
    for (std::size_t i = 0; i < std::size(SingleMetaBoxes); ++i) {
      if (box.type != SingleMetaBoxes[i]) continue;
      if (seen[i]) Unaccounted(BytesReason::DuplicateStructure);
      seen[i] = true;
    }
  }

  bool Child(const Box& box) {
    Once(box);
    switch (box.type) {
      case FourCC("hdlr"): {
        // The handler type, then reserved words and a name the decoder
        // reads up to its terminator.
        std::uint8_t handler[4];
        std::uint8_t nameEnd = 0xff;
        if (box.end - box.start < 25 || !reader.Read(box.start + 8, handler, 4) ||
            !reader.Read(box.end - 1, &nameEnd, 1)) {
          return false;
        }
        meta.pictureHandler = Be32(handler) == FourCC("pict") && nameEnd == 0;
        return true;
      }
      case FourCC("pitm"):
        meta.hasPrimary = Id(box.start + 4, Version(box), meta.primary);
        return meta.hasPrimary;
      case FourCC("iloc"):
        meta.hasLocations = true;
        meta.locations = box;
        return true;
      case FourCC("iinf"):
        meta.hasItemInfo = ItemInfo(box);
        return meta.hasItemInfo;
      case FourCC("iref"): return References(box);
      case FourCC("iprp"):
        return ForEachChild(reader, box.start, box.end, [this](const Box& child) { return PropertyBox(child); });
      default:
        if (!Listed(InertMetaBoxes, box.type)) Unaccounted(BytesReason::UnknownBox);
        return true;
    }
  }

  std::uint8_t Version(const Box& box) {
    std::uint8_t version = 0xff;
    reader.Read(box.start, &version, 1);
    return version;
  }

  // An item id: 16 bits in version 0 boxes, 32 bits after.
  bool Id(std::uint64_t offset, std::uint8_t version, std::uint32_t& id) {
    std::uint8_t bytes[4];
    const std::size_t size = version == 0 ? 2 : 4;
    if (!reader.Read(offset, bytes, size)) return false;
    id = size == 2 ? Be16(bytes) : Be32(bytes);
    return true;
  }

  // The decoder reads as many entries as the box counts; entries beyond
  // the count, or a count beyond the entries, leave items unaccounted for.
  bool ItemInfo(const Box& box) {
    const bool wideCount = Version(box) != 0;
    std::uint8_t countBytes[4];
    if (!reader.Read(box.start + 4, countBytes, wideCount ? 4 : 2)) return false;
    std::uint32_t entries = wideCount ? Be32(countBytes) : Be16(countBytes);
    const std::uint64_t first = box.start + 4 + (wideCount ? 4 : 2);
    bool uncounted = false;
    const bool read = ForEachChild(reader, first, box.end, [&](const Box& child) {
      if (entries == 0) {
        uncounted = true;
        return true;
      }
      --entries;
      return ItemEntry(child);
    });
    if (uncounted || entries != 0) {
      meta.complete = false;
      Unaccounted(BytesReason::HeaderUnreadable);
    }
    return read;
  }

  // The strings after the item type must all end inside the entry: the
  // name, the content type and encoding of 'mime' items, the URI type of
  // 'uri ' items. Notes whether a 'mime' item's content type is XMP's.
  bool ReadStrings(const Box& box, std::uint64_t stringsStart, Item& item) {
    std::uint8_t bytes[MaxStringBytes];
    const std::uint64_t length = box.end - std::min(box.end, stringsStart);
    if (length > MaxStringBytes || !reader.Read(stringsStart, bytes, static_cast<std::size_t>(length))) return false;
    const auto terminators = std::count(bytes, bytes + length, std::uint8_t{0});
    if (terminators < (item.type == FourCC("mime") ? 3 : item.type == FourCC("uri ") ? 2 : 1)) return false;
    const std::uint8_t* contentType = std::find(bytes, bytes + length, std::uint8_t{0}) + 1;
    const auto left = static_cast<std::size_t>(bytes + length - contentType);
    item.xmp = item.type == FourCC("mime") && left >= sizeof XmpContentType &&
               std::memcmp(contentType, XmpContentType, sizeof XmpContentType) == 0;
    return true;
  }

  bool ItemEntry(const Box& box) {
    if (box.type != FourCC("infe")) {
      Unaccounted(BytesReason::UnknownBox);
      return true;
    }
    std::uint8_t bytes[14];
    if (!reader.Read(box.start, bytes, 4)) return false;
    if (meta.itemCount == MaxItems) {
      meta.complete = false;
      return true;
    }
    // Entries before version 2 name no item type; AVIF files do not use them.
    if (bytes[0] != 2 && bytes[0] != 3) return false;
    Item& item = meta.items[meta.itemCount];
    item.hidden = (bytes[3] & 1) != 0;
    const bool wideId = bytes[0] == 3;
    const std::size_t fieldBytes = wideId ? 10 : 8;
    if (!reader.Read(box.start + 4, bytes + 4, fieldBytes)) return false;
    item.id = wideId ? Be32(bytes + 4) : Be16(bytes + 4);
    item.type = Be32(bytes + (wideId ? 10 : 8));
    if (!ReadStrings(box, box.start + 4 + fieldBytes, item)) return false;
    ++meta.itemCount;
    return true;
  }

  bool References(const Box& box) {
    const std::uint8_t version = Version(box);
    const std::size_t idBytes = version == 0 ? 2 : 4;
    return ForEachChild(reader, box.start + 4, box.end, [&](const Box& child) {
      std::uint32_t from = 0;
      std::uint8_t countBytes[2];
      if (!Id(child.start, version, from) || !reader.Read(child.start + idBytes, countBytes, 2)) return false;
      const std::uint16_t count = Be16(countBytes);
      // Every id inside the reference's own box.
      if (child.start + idBytes + 2 + std::uint64_t{idBytes} * count > child.end) return false;
      for (std::uint16_t i = 0; i < count; ++i) {
        std::uint32_t to = 0;
        if (meta.referenceCount == MaxReferences) {
          meta.complete = false;
          return true;
        }
        if (!Id(child.start + idBytes + 2 + idBytes * i, version, to)) return false;
        meta.references[meta.referenceCount++] = {child.type, from, to};
      }
      return true;
    });
  }

  bool PropertyBox(const Box& box) {
    if (box.type == FourCC("ipco")) {
      if (meta.hasProperties) Unaccounted(BytesReason::DuplicateStructure);
      meta.hasProperties = true;
      return ForEachChild(reader, box.start, box.end, [this](const Box& child) { return ItemProperty(child); });
    }
    if (box.type == FourCC("ipma")) {
      meta.hasAssociations = true;
      return PropertyAssociations(box);
    }
    Unaccounted(BytesReason::UnknownBox);
    return true;
  }

  // Reads the properties the reader needs, and checks the layout of those
  // the decoder refuses the whole file for.
  bool ItemProperty(const Box& box) {
    if (meta.propertyCount == MaxProperties) {
      meta.complete = false;
      return true;
    }
    if (!Listed(KnownProperties, box.type)) Unaccounted(BytesReason::UnknownBox);
    Property& property = meta.properties[meta.propertyCount++];
    property.type = box.type;
    property.box = box;
    const std::uint64_t payload = box.end - box.start;
    std::uint8_t bytes[12];
    switch (box.type) {
      case FourCC("ispe"):
        if (payload < 12 || !reader.Read(box.start, bytes, 12)) return false;
        property.width = Be32(bytes + 4);
        property.height = Be32(bytes + 8);
        return true;
      case FourCC("av1C"):
        if (payload < 4 || !reader.Read(box.start, bytes, 3)) return false;
        property.codecFlags[0] = bytes[1];
        property.codecFlags[1] = bytes[2];
        return true;
      case FourCC("pixi"):  // a channel count, then one depth per channel
        return payload >= 5 && reader.Read(box.start + 4, bytes, 1) && payload >= 5u + bytes[0];
      case FourCC("colr"): {
        if (payload < 4 || !reader.Read(box.start, bytes, 4)) return false;
        const std::uint32_t colourType = Be32(bytes);
        return (colourType == FourCC("nclx") && payload >= 11) || colourType == FourCC("prof") ||
               colourType == FourCC("rICC");
      }
      default: return true;
    }
  }

  bool PropertyAssociations(const Box& box) {
    std::uint8_t head[8];
    if (!reader.Read(box.start, head, sizeof head)) return false;
    const std::uint8_t version = head[0];
    const bool wideIndex = (head[3] & 1) != 0;
    const std::uint32_t entries = Be32(head + 4);
    if (entries > MaxAssociations) {
      meta.complete = false;
      return true;
    }
    std::uint64_t offset = box.start + 8;
    for (std::uint32_t entry = 0; entry < entries; ++entry) {
      std::uint32_t item = 0;
      std::uint8_t count = 0;
      if (!Id(offset, version, item)) return false;
      offset += version == 0 ? 2 : 4;
      if (!reader.Read(offset, &count, 1)) return false;
      ++offset;
      for (std::uint8_t i = 0; i < count; ++i) {
        std::uint8_t bytes[2];
        if (!reader.Read(offset, bytes, wideIndex ? 2 : 1)) return false;
        offset += wideIndex ? 2 : 1;
        if (meta.associationCount == MaxAssociations) {
          meta.complete = false;
          return true;
        }
        const std::uint32_t index = wideIndex ? Be16(bytes) & 0x7fffu : bytes[0] & 0x7fu;
        meta.associations[meta.associationCount++] = {item, index};
        meta.propertyIndexMax = std::max(meta.propertyIndexMax, index);
      }
    }
    return offset <= box.end;
  }

  HeaderReader& reader;
  Meta& meta;
  bool seen[std::size(SingleMetaBoxes)] = {};
};

class LocationReader {
 public:
  LocationReader(HeaderReader& headerReader, std::uint64_t start) : reader(headerReader), offset(start) {}

  // A big-endian field of 0, 2, 4 or 8 bytes.
  bool Field(unsigned size, std::uint64_t& value) {
    std::uint8_t bytes[8];
    if (size != 0 && size != 2 && size != 4 && size != 8) return false;
    if (!reader.Read(offset, bytes, size)) return false;
    offset += size;
    value = size == 0 ? 0 : size == 2 ? Be16(bytes) : size == 4 ? Be32(bytes) : Be64(bytes);
    return true;
  }

 private:
  HeaderReader& reader;
  std::uint64_t offset;
};

}  // namespace

bool ReadBox(HeaderReader& reader, std::uint64_t offset, std::uint64_t limit, Box& box) {
  std::uint8_t head[16];
  if (offset >= limit || !reader.Read(offset, head, 8)) return false;
  std::uint64_t size = Be32(head);
  std::uint64_t headerBytes = 8;
  if (size == 1) {
    if (!reader.Read(offset + 8, head + 8, 8)) return false;
    size = Be64(head + 8);
    headerBytes = 16;
  }
  if (size < headerBytes || size > limit - offset) return false;
  box.type = Be32(head + 4);
  box.start = offset + headerBytes;
  box.end = offset + size;
  return true;
}


bool ReadMeta(HeaderReader& reader, const Box& box, Meta& meta) { return MetaParser(reader, meta).Parse(box); }

ItemData LocateItems(HeaderReader& reader, const Box& box, std::uint32_t primary) {
  ItemData data;
  LocationReader in(reader, box.start);
  std::uint64_t head = 0;
  std::uint64_t sizes = 0;
  if (!in.Field(4, head) || !in.Field(2, sizes)) return data;
  const auto version = static_cast<unsigned>(head >> 24);
  const auto offsetSize = static_cast<unsigned>(sizes >> 12 & 15);
  const auto lengthSize = static_cast<unsigned>(sizes >> 8 & 15);
  const auto baseSize = static_cast<unsigned>(sizes >> 4 & 15);
  // Versions 1 and 2 give an extent index size; version 0 reserves the bits.
  const unsigned indexSize = version >= 1 ? static_cast<unsigned>(sizes & 15) : 0;
  const unsigned idSize = version < 2 ? 2 : 4;
  std::uint64_t count = 0;
  if (version > 2 || !in.Field(idSize, count) || count > MaxItems) return data;
  bool primaryFound = false;
  for (std::uint64_t item = 0; item < count; ++item) {
    std::uint64_t id = 0, method = 0, reference = 0, base = 0, extents = 0;
    if (!in.Field(idSize, id) || (version >= 1 && !in.Field(2, method)) || !in.Field(2, reference) ||
        !in.Field(baseSize, base) || !in.Field(2, extents) || extents > MaxExtents) {
      return data;
    }
    const bool inFile = (method & 15) == 0;
    const bool isPrimary = id == primary;
    if (isPrimary) data.primaryExtents = extents;
    if (isPrimary && (!inFile || reference != 0 || extents == 0)) return data;
    for (std::uint64_t extent = 0; extent < extents; ++extent) {
      std::uint64_t index = 0, offset = 0, length = 0;
      if (!in.Field(indexSize, index) || !in.Field(offsetSize, offset) || !in.Field(lengthSize, length)) {
        return data;
      }
      if (!inFile) continue;
      // A zero length runs to the end of the file, which the reader does not know.
      if (length == 0 || base > UINT64_MAX / 2 || offset > UINT64_MAX / 4 || length > UINT64_MAX / 4) return data;
      data.end = std::max(data.end, base + offset + length);
      if (isPrimary && extent == 0) {
        data.primaryStart = base + offset;
        data.primaryFirstLength = length;
      }
    }
    primaryFound = primaryFound || isPrimary;
  }
  data.located = primaryFound;
  return data;
}


}  // namespace avif
