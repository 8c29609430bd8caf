#include "imaging/header_facts_raw.h"

#include <algorithm>

namespace raw {

namespace {

constexpr std::uint32_t HeaderBytes = 8;
constexpr std::uint32_t EntryBytes = 12;
constexpr std::uint16_t MaxEntries = 4096;

int Slot(std::uint16_t tag) {
  const Tag* found = std::find(std::begin(KeptTags), std::end(KeptTags), tag);
  return found == std::end(KeptTags) ? -1 : static_cast<int>(found - std::begin(KeptTags));
}

}  // namespace

const Entry& Directory::Get(Tag tag) const { return entries[Slot(tag)]; }

TiffStructure::TiffStructure(HeaderReader& headerReader, std::uint64_t start, std::uint64_t limit)
    : reader(headerReader), base(start), end(limit) {
  std::uint8_t head[HeaderBytes];
  if (limit < start + HeaderBytes || !reader.Read(start, head, sizeof head)) return;
  if ((head[0] != 'I' || head[1] != 'I') && (head[0] != 'M' || head[1] != 'M')) return;
  bigEndian = head[0] == 'M';
  first = U32(head + 4);
  valid = true;
}

Directory TiffStructure::ReadDirectory(std::uint32_t offset) {
  Directory directory;
  std::uint8_t bytes[EntryBytes];
  const std::uint64_t at = base + offset;
  if (!valid || offset < HeaderBytes || at + 2 > end || !reader.Read(at, bytes, 2)) return directory;
  const std::uint16_t count = U16(bytes);
  if (count == 0 || count > MaxEntries || at + 2 + std::uint64_t{count} * EntryBytes + 4 > end) return directory;
  for (std::uint16_t i = 0; i < count; ++i) {
    if (!reader.Read(at + 2 + std::uint64_t{i} * EntryBytes, bytes, EntryBytes)) return directory;
    const int slot = Slot(U16(bytes));
    if (slot < 0 || directory.entries[slot].present) continue;  // the first of duplicates counts
    Entry& entry = directory.entries[slot];
    entry.present = true;
    entry.type = U16(bytes + 2);
    entry.count = U32(bytes + 4);
    std::copy(bytes + 8, bytes + 12, entry.field);
  }
  if (!reader.Read(at + 2 + std::uint64_t{count} * EntryBytes, bytes, 4)) return directory;
  directory.next = U32(bytes);
  directory.readable = true;
  return directory;
}

bool TiffStructure::ReadValue(const Entry& entry, std::uint32_t index, std::uint32_t size, std::uint8_t* out) {
  if (!entry.present || index >= entry.count) return false;
  const std::uint64_t total = std::uint64_t{entry.count} * size;
  if (total <= sizeof entry.field) {
    std::copy(entry.field + index * size, entry.field + (index + 1) * size, out);
    return true;
  }
  const std::uint64_t at = base + U32(entry.field) + std::uint64_t{index} * size;
  return at + size <= end && reader.Read(at, out, size);
}

bool TiffStructure::Number(const Entry& entry, std::uint32_t index, std::uint32_t& value) {
  std::uint8_t bytes[4];
  if (entry.type == ShortType && ReadValue(entry, index, 2, bytes)) {
    value = U16(bytes);
    return true;
  }
  if ((entry.type == LongType || entry.type == IfdType) && ReadValue(entry, index, 4, bytes)) {
    value = U32(bytes);
    return true;
  }
  std::uint32_t numerator = 0;
  std::uint32_t denominator = 0;
  if (!Rational(entry, index, numerator, denominator)) return false;
  value = static_cast<std::uint32_t>((std::uint64_t{numerator} + denominator / 2) / denominator);
  return true;
}

bool TiffStructure::Rational(const Entry& entry, std::uint32_t index, std::uint32_t& numerator,
                             std::uint32_t& denominator) {
  std::uint8_t bytes[8];
  if (entry.type != RationalType || !ReadValue(entry, index, 8, bytes)) return false;
  numerator = U32(bytes);
  denominator = U32(bytes + 4);
  return denominator != 0;
}

}  // namespace raw
