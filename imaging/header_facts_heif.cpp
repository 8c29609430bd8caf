// HEIC: the box format of AVIF, with HEVC-coded images; the AVIF reader
// gives every fact but their size. The size is the primary image's 'ispe'
// property, as stored: it is settled under the rules the AVIF reader
// applies, for a visible HEVC image ('hvc1' with its 'hvcC') or a grid of
// them (phones store their photos as grids of tiles), in a 'meta' box read
// whole, with every item's data inside the file; its rotation and clean
// aperture ('irot', 'clap') turn and crop it as the decoder does.
#include <memory>

#include "imaging/header_facts_avif_boxes.h"
#include "imaging/header_facts_avif_transforms.h"
#include "imaging/header_facts_formats.h"

using avif::Item;
using avif::Meta;

namespace {

constexpr std::uint32_t MaxSide = 32768;  // the HEIF decoder's limit for one image

// An HEVC-coded image, or a grid of them.
bool IsHevcImageItem(const Item& item) { return item.type == FourCC("hvc1") || item.type == FourCC("grid"); }

// The first tile of a grid: the item whose data tells whether the grid's
// data lies inside the file.
std::uint32_t FirstTile(const Meta& meta, std::uint32_t grid) {
  for (int i = 0; i < meta.referenceCount; ++i) {
    if (meta.references[i].type == FourCC("dimg") && meta.references[i].from == grid) return meta.references[i].to;
  }
  return 0;
}

struct PrimarySize {
  bool settled = false;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
};

PrimarySize SizeOfPrimary(const Meta& meta, const Item& primary) {
  PrimarySize size;
  const avif::ItemShape shape = avif::ReadItemShape(meta, primary.id, FourCC("hvcC"));
  const bool coded = primary.type == FourCC("grid") || shape.configuration != nullptr;
  if (shape.size != nullptr) {
    size.width = shape.size->width;
    size.height = shape.size->height;
  }
  const std::uint32_t maxSide = primary.type == FourCC("grid") ? UINT32_MAX : MaxSide;
  size.settled = !primary.hidden && coded && shape.size != nullptr && size.width >= 1 &&
                 size.height >= 1 && size.width <= maxSide && size.height <= maxSide;
  return size;
}

}  // namespace

void SettleHeicSize(HeaderReader& reader, HeaderFacts& facts) {
  avif::Box fileType;
  if (facts.width != 0 || !avif::ReadBox(reader, 0, UINT64_MAX, fileType) || fileType.type != FourCC("ftyp")) return;
  // On the heap: the reader runs on a thread of the host.
  const std::unique_ptr<Meta> parsed = std::make_unique<Meta>();
  Meta& meta = *parsed;
  bool metaRead = false;
  std::uint64_t offset = fileType.end;
  for (int box = 0; box < avif::MaxChildren && !metaRead; ++box) {
    avif::Box top;
    if (!avif::ReadBox(reader, offset, UINT64_MAX, top)) break;
    if (top.type == FourCC("meta")) {
      metaRead = true;
      meta.complete = reader.HasByteAt(top.end - 1) && avif::ReadMeta(reader, top, meta) && meta.complete;
    }
    offset = top.end;
  }
  const Item* primary = metaRead && meta.complete && meta.hasPrimary ? meta.FindItem(meta.primary) : nullptr;
  const bool structureComplete = meta.pictureHandler && meta.hasLocations && meta.hasItemInfo &&
                                 meta.hasProperties && meta.hasAssociations;
  if (!structureComplete || primary == nullptr || !IsHevcImageItem(*primary)) return;
  const std::uint32_t coded = primary->type == FourCC("grid") ? FirstTile(meta, primary->id) : primary->id;
  const Item* codedItem = meta.FindItem(coded);
  if (codedItem == nullptr || codedItem->type != FourCC("hvc1")) return;
  const PrimarySize size = SizeOfPrimary(meta, *primary);
  const avif::ItemData data = avif::LocateItems(reader, meta.locations, coded);
  if (!size.settled || !data.located || !reader.HasByteAt(data.end - 1)) return;
  const avif::ShownSize shown = avif::ShownSizeOf(reader, meta, primary->id, size.width, size.height);
  if (shown.known) {
    facts.width = shown.width;
    facts.height = shown.height;
  }
}
