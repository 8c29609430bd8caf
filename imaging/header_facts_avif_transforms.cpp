#include "imaging/header_facts_avif_transforms.h"

#include <cstdint>
#include <cstdlib>
#include <utility>

namespace avif {

namespace {

// The decoder keeps each fraction's terms within this bound, halving both
// until they fit, and works in 32-bit signed integers.
constexpr std::int64_t MaxFractionTerm = 0x10000;
constexpr std::int64_t MaxInt32 = INT32_MAX;
constexpr std::uint64_t ClapBytes = 32;  // eight 32-bit terms
constexpr std::uint32_t MaxUnsignedTerm = INT32_MAX;  // larger terms make the file unreadable

// A fraction as the decoder reduces and rounds it. Any step whose result
// would leave the 32-bit range marks it overflowed: the decoder's own
// result is then not one this can follow.
struct Fraction {
  std::int64_t numerator = 0;
  std::int64_t denominator = 1;
  bool overflowed = false;

  static Fraction Of(std::int64_t numerator, std::int64_t denominator, bool overflowed = false) {
    Fraction f{numerator, denominator, overflowed || std::llabs(numerator) > MaxInt32 ||
                                           std::llabs(denominator) > MaxInt32};
    while (f.denominator > MaxFractionTerm || f.denominator < -MaxFractionTerm) {
      f.numerator /= 2;
      f.denominator /= 2;
    }
    while (f.numerator > MaxFractionTerm || f.numerator < -MaxFractionTerm) {
      f.numerator /= 2;
      f.denominator /= 2;
    }
    return f;
  }
  bool Valid() const { return !overflowed && denominator != 0; }
  Fraction Plus(const Fraction& b) const {
    if (denominator == b.denominator) return Of(numerator + b.numerator, denominator, Broken(b));
    return Of(numerator * b.denominator + b.numerator * denominator, denominator * b.denominator, Broken(b));
  }
  Fraction Minus(const Fraction& b) const {
    if (denominator == b.denominator) return Of(numerator - b.numerator, denominator, Broken(b));
    return Of(numerator * b.denominator - b.numerator * denominator, denominator * b.denominator, Broken(b));
  }
  Fraction PlusInt(std::int64_t v) const {
    return Of(numerator + v * denominator, denominator, overflowed || std::llabs(v * denominator) > MaxInt32);
  }
  Fraction Halved() const { return Of(numerator, denominator * 2, overflowed); }
  // Truncating divisions, as C++ divides.
  std::int64_t RoundDown() const { return numerator / denominator; }
  std::int64_t Round() const { return (numerator + denominator / 2) / denominator; }

 private:
  bool Broken(const Fraction& b) const {
    return overflowed || b.overflowed || std::llabs(numerator * b.denominator) > MaxInt32 ||
           std::llabs(b.numerator * denominator) > MaxInt32 || std::llabs(denominator * b.denominator) > MaxInt32;
  }
};

struct CleanAperture {
  Fraction width, height, horizontalOffset, verticalOffset;
};

// The clean aperture's eight terms; false where the decoder refuses them.
bool ReadCleanAperture(HeaderReader& reader, const Property& clap, CleanAperture& aperture) {
  std::uint8_t bytes[ClapBytes];
  if (clap.box.end - clap.box.start < ClapBytes || !reader.Read(clap.box.start, bytes, ClapBytes)) return false;
  std::uint32_t terms[8];
  for (int i = 0; i < 8; ++i) terms[i] = Be32(bytes + 4 * i);
  // Every term but the offsets' numerators is unsigned and must fit 31 bits.
  for (int i : {0, 1, 2, 3, 5, 7}) {
    if (terms[i] > MaxUnsignedTerm) return false;
  }
  const auto signedTerm = [&](int i) { return std::int64_t{static_cast<std::int32_t>(terms[i])}; };
  aperture.width = Fraction::Of(terms[0], terms[1]);
  aperture.height = Fraction::Of(terms[2], terms[3]);
  aperture.horizontalOffset = Fraction::Of(signedTerm(4), terms[5]);
  aperture.verticalOffset = Fraction::Of(signedTerm(6), terms[7]);
  return aperture.width.Valid() && aperture.height.Valid() && aperture.horizontalOffset.Valid() &&
         aperture.verticalOffset.Valid();
}

// One side's first and last column (or row) kept: the first rounded down
// horizontally but to nearest vertically, as the decoder rounds them.
bool CropSpan(const Fraction& offset, const Fraction& extent, std::int64_t size, bool roundFirstDown,
              std::int64_t& first, std::int64_t& last) {
  const Fraction centre = offset.Plus(Fraction::Of(size - 1, 2));
  const Fraction start = centre.Minus(extent.PlusInt(-1).Halved());
  if (!start.Valid()) return false;
  first = roundFirstDown ? start.RoundDown() : start.Round();
  const Fraction end = extent.PlusInt(-1).PlusInt(first);
  if (!end.Valid() || std::llabs(first) > MaxInt32) return false;
  last = end.Round();
  if (first < 0) first = 0;
  if (last >= size) last = size - 1;
  return first <= last;
}

}  // namespace

ShownSize ShownSizeOf(HeaderReader& reader, const Meta& meta, std::uint32_t item, std::uint32_t codedWidth,
                      std::uint32_t codedHeight) {
  ShownSize shown{true, codedWidth, codedHeight};
  ForEachProperty(meta, item, [&](const Property& property) {
    if (!shown.known) return;
    if (property.type == FourCC("irot")) {
      std::uint8_t turn = 0;
      shown.known = property.box.end > property.box.start && reader.Read(property.box.start, &turn, 1);
      if ((turn & 1u) != 0) std::swap(shown.width, shown.height);
    } else if (property.type == FourCC("imir")) {
      shown.known = property.box.end > property.box.start;
    } else if (property.type == FourCC("clap")) {
      CleanAperture aperture;
      std::int64_t left = 0, right = 0, top = 0, bottom = 0;
      shown.known = ReadCleanAperture(reader, property, aperture) &&
                    CropSpan(aperture.horizontalOffset, aperture.width, shown.width, true, left, right) &&
                    CropSpan(aperture.verticalOffset, aperture.height, shown.height, false, top, bottom);
      shown.width = static_cast<std::uint32_t>(right - left + 1);
      shown.height = static_cast<std::uint32_t>(bottom - top + 1);
    }
  });
  return shown;
}

}  // namespace avif
