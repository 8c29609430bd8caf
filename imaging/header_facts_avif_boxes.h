#pragma once
// What the boxes of an AVIF file (ISO base media format) say: box headers,
// and the 'meta' box's items, properties, references and data locations,
// each kept within fixed bounds.

#include <cstdint>

#include "imaging/header_reader.h"

namespace avif {

constexpr int MaxChildren = 64;
constexpr int MaxItems = 64;
constexpr int MaxProperties = 128;
constexpr int MaxAssociations = 512;
constexpr int MaxReferences = 128;

struct Box {
  std::uint32_t type = 0;
  std::uint64_t start = 0;  // of the payload
  std::uint64_t end = 0;
};

// The box at offset, which must end by limit.
bool ReadBox(HeaderReader& reader, std::uint64_t offset, std::uint64_t limit, Box& box);

struct Item {
  std::uint32_t id = 0;
  std::uint32_t type = 0;
  bool hidden = false;
  bool xmp = false;  // a 'mime' item of XMP's content type
};

struct Property {
  std::uint32_t type = 0;
  std::uint32_t width = 0;  // of 'ispe'
  std::uint32_t height = 0;
  std::uint8_t codecFlags[2] = {};  // of 'av1C': profile and level, then depth and chroma
  Box box;  // where its payload lies
};

struct Association {
  std::uint32_t item = 0;
  std::uint32_t property = 0;  // 1-based index into the properties
};

struct Reference {
  std::uint32_t type = 0;
  std::uint32_t from = 0;
  std::uint32_t to = 0;
};

// What the 'meta' box says, within fixed bounds.
struct Meta {
  Box locations;  // the 'iloc' box
  bool pictureHandler = false;
  bool hasPrimary = false;
  bool hasLocations = false;
  bool hasItemInfo = false;
  bool hasProperties = false;
  bool hasAssociations = false;
  bool complete = true;
  std::uint32_t primary = 0;
  Item items[MaxItems];
  int itemCount = 0;

  // The item of this id; null when none has it.
  const Item* FindItem(std::uint32_t id) const {
    for (int i = 0; i < itemCount; ++i) {
      if (items[i].id == id) return &items[i];
    }
    return nullptr;
  }
  Property properties[MaxProperties];
  int propertyCount = 0;
  Association associations[MaxAssociations];
  int associationCount = 0;
  std::uint32_t propertyIndexMax = 0;
  Reference references[MaxReferences];
  int referenceCount = 0;
  // The first box found that no list accounts for (UnknownBox), one found
  // twice that may come once (DuplicateStructure), or item entries the
  // decoder does not read as counted (HeaderUnreadable).
  BytesReason unaccounted = BytesReason::None;
};

// Reads the 'meta' box into meta; false where the decoder would refuse the
// file for its layout. Bounds that cut something off clear meta.complete;
// boxes not accounted for set meta.unaccounted.
bool ReadMeta(HeaderReader& reader, const Box& box, Meta& meta);

// Properties of one item, in association order.
template <typename Visit>
void ForEachProperty(const Meta& meta, std::uint32_t item, Visit visit) {
  for (int i = 0; i < meta.associationCount; ++i) {
    const Association& association = meta.associations[i];
    if (association.item == item && association.property >= 1 &&
        association.property <= static_cast<std::uint32_t>(meta.propertyCount)) {
      visit(meta.properties[association.property - 1]);
    }
  }
}

// What an image item's properties say of its coding and size: its codec's
// configuration (the first 'av1C' or 'hvcC') and its first 'ispe'.
struct ItemShape {
  const Property* configuration = nullptr;
  const Property* size = nullptr;
};

inline ItemShape ReadItemShape(const Meta& meta, std::uint32_t item, std::uint32_t configurationType) {
  ItemShape shape;
  ForEachProperty(meta, item, [&](const Property& property) {
    if (property.type == configurationType && shape.configuration == nullptr) shape.configuration = &property;
    if (property.type == FourCC("ispe") && shape.size == nullptr) shape.size = &property;
  });
  return shape;
}

// Where the items' data lies, from the 'iloc' box.
struct ItemData {
  bool located = false;  // the primary item's data lies in the file, by file offset
  std::uint64_t primaryStart = 0;
  std::uint64_t primaryFirstLength = 0;  // of its first extent
  std::uint64_t primaryExtents = 0;
  std::uint64_t end = 0;  // one past the farthest byte of any item's data
};

ItemData LocateItems(HeaderReader& reader, const Box& locations, std::uint32_t primary);

}  // namespace avif
