#include "imaging/header_facts_jpeg_app.h"

#include <algorithm>
#include <cstring>

namespace jpeg {

namespace {

constexpr std::uint8_t App0 = 0xe0;
constexpr std::uint8_t App1 = 0xe1;
constexpr std::uint8_t App2 = 0xe2;
constexpr std::uint8_t App12 = 0xec;
constexpr std::uint8_t App13 = 0xed;
constexpr std::uint8_t App14 = 0xee;
constexpr std::uint8_t App15 = 0xef;
constexpr std::uint8_t Comment = 0xfe;
constexpr std::uint64_t MarkerBytes = 2;  // 0xFF and the marker's code

// Each identifier with its closing zero byte, where it has one.
constexpr char JfifName[] = "JFIF";
constexpr char JfxxName[] = "JFXX";
constexpr char ExifName[] = "Exif";           // then a zero pad byte
constexpr char XmpName[] = "http://ns.adobe.com/xap/1.0/";
constexpr char XmpExtensionName[] = "http://ns.adobe.com/xmp/extension/";
constexpr char IccName[] = "ICC_PROFILE";
constexpr char PictureSetName[] = "MPF";
constexpr char DuckyName[] = "Ducky";          // Photoshop's save-for-web settings
constexpr char PhotoshopName[] = "Photoshop 3.0";
constexpr char AdobeName[] = "Adobe";         // no zero byte
constexpr std::size_t AdobeNameBytes = sizeof AdobeName - 1;
constexpr std::size_t LongestName = sizeof XmpExtensionName;

// The JFIF header after its name: version, density unit and densities,
// then the thumbnail's width and height, whose RGB pixels follow.
constexpr std::uint64_t JfifHeaderBytes = sizeof JfifName + 9;
constexpr std::uint64_t JfifVersionBytes = sizeof JfifName + 2;  // the name, then major and minor version
constexpr std::uint64_t ExifHeaderBytes = sizeof ExifName + 1;
constexpr std::uint64_t IccPieceHeaderBytes = sizeof IccName + 2;  // then the piece's number and the count
// Adobe's segment: version, two flag words, then the colour transform
// (0 none, 1 YCbCr, 2 YCCK).
constexpr std::uint64_t AdobeBytes = AdobeNameBytes + 7;
constexpr std::uint8_t MaxAdobeTransform = 2;

// Photoshop's image resources: "8BIM", an id, a name padded to an even
// length, the data's size and the data, padded to an even length.
constexpr char ResourceSignature[4] = {'8', 'B', 'I', 'M'};
constexpr std::uint64_t ResourceHeadBytes = sizeof ResourceSignature + 2 + 1;
constexpr int MaxResources = 256;
constexpr std::uint16_t ThumbnailResources[] = {0x0409, 0x040c};
// Text and settings that do not change the picture: resolution, the
// IPTC record and its digest, copyright flag, URLs, JPEG quality, the
// document id seed and version info.
constexpr std::uint16_t InertResources[] = {0x03ed, 0x0404, 0x0425, 0x040a, 0x040b,
                                            0x041e, 0x0406, 0x0414, 0x0421};

// Whether the size bytes read from a segment start with the name and its
// closing zero byte.
template <std::size_t N>
bool Named(const std::uint8_t* bytes, std::size_t size, const char (&name)[N]) {
  return size >= N && std::memcmp(bytes, name, N) == 0;
}

template <std::size_t N>
bool Listed(const std::uint16_t (&list)[N], std::uint16_t id) {
  return std::find(list, list + N, id) != list + N;
}

}  // namespace

bool IsApplicationSegment(std::uint8_t marker) { return (marker >= App0 && marker <= App15) || marker == Comment; }

void ApplicationSegments::Note(HeaderReader& reader, std::uint8_t marker, std::uint64_t offset,
                               std::uint16_t length, CodedPicture& coded) {
  // Sizes need the orientation and the picture set's segment only.
  const bool readForSizes = marker == App1 || marker == App2;
  if (marker == Comment || (!readForSizes && !reader.ForComparison())) return;
  const std::uint64_t payload = offset + 2;
  const std::uint64_t size = length - 2u;
  std::uint8_t name[LongestName] = {};
  const auto named = static_cast<std::size_t>(std::min<std::uint64_t>(size, sizeof name));
  if (!reader.Read(payload, name, named)) {
    Fail(BytesReason::CutShort);
    return;
  }
  if (marker == App1 && Named(name, named, ExifName)) {
    NoteExif(reader, payload, size);
  } else if (marker == App2 && Named(name, named, PictureSetName)) {
    multiPicture = true;
  } else if (!reader.ForComparison()) {
    return;
  } else if (marker == App2 && Named(name, named, IccName)) {
    NoteProfilePiece(reader, payload, size);
  } else if (marker == App0 && Named(name, named, JfifName)) {
    NoteJfif(reader, payload, size);
    // A JFIF header makes the decoder take three components for YCbCr
    // whatever an Adobe segment or the component ids say.
    if (size >= JfifHeaderBytes) coded.Add({payload, JfifVersionBytes, false, false});
  } else if (marker == App0 && Named(name, named, JfxxName)) {
    NotePicture(reader, payload + sizeof JfxxName, size - sizeof JfxxName);
  } else if (marker == App14 && named >= AdobeNameBytes && std::memcmp(name, AdobeName, AdobeNameBytes) == 0) {
    NoteAdobe(reader, payload, size);
    coded.Add({offset - MarkerBytes, MarkerBytes + length, false, false});  // its colour transform
  } else if (marker == App13 && Named(name, named, PhotoshopName)) {
    NotePhotoshop(reader, payload, size);
  } else if (!(marker == App1 && (Named(name, named, XmpName) || Named(name, named, XmpExtensionName))) &&
             !(marker == App12 && Named(name, named, DuckyName))) {
    Fail(BytesReason::UnknownSegment);
  }
}

// The first EXIF block counts; a second may say otherwise, and decoders
// differ in which they take.
void ApplicationSegments::NoteExif(HeaderReader& reader, std::uint64_t payload, std::uint64_t size) {
  std::uint8_t header[ExifHeaderBytes];
  if (size < sizeof header || !reader.Read(payload, header, sizeof header) || header[ExifHeaderBytes - 1] != 0) {
    Fail(BytesReason::OrientationUnreadable);
  } else if (exifSeen) {
    Fail(BytesReason::DuplicateStructure);
  } else {
    exifSeen = true;
    exif = ReadExif(reader, payload + sizeof header, size - sizeof header);
    Fail(exif.reason);
  }
}

// Pieces numbered 1 to n in order, each naming n: a piece out of order or
// naming another count leaves the profile unread, one repeated is a
// duplicate.
void ApplicationSegments::NoteProfilePiece(HeaderReader& reader, std::uint64_t payload, std::uint64_t size) {
  std::uint8_t header[IccPieceHeaderBytes];
  if (size < sizeof header || !reader.Read(payload, header, sizeof header)) {
    Fail(BytesReason::ColourUnreadable);
    return;
  }
  const int number = header[sizeof IccName];
  const int count = header[sizeof IccName + 1];
  if (pieces == 0) piecesAnnounced = count;
  if (number >= 1 && number <= pieces && count == piecesAnnounced) {
    Fail(BytesReason::DuplicateStructure);
    return;
  }
  if (number != pieces + 1 || count != piecesAnnounced || number > count) {
    Fail(BytesReason::ColourUnreadable);
    return;
  }
  if (++pieces == 1) {
    firstPieceStart = payload + sizeof header;
    firstPieceSize = size - sizeof header;
  }
  if (!DigestBytes(reader, payload + sizeof header, size - sizeof header, profile)) {
    Fail(BytesReason::ColourUnreadable);
  }
}

// A JFIF header is inert; the thumbnail after it is a second picture.
void ApplicationSegments::NoteJfif(HeaderReader& reader, std::uint64_t payload, std::uint64_t size) {
  if (size < JfifHeaderBytes) {
    Fail(BytesReason::UnknownSegment);
  } else if (size > JfifHeaderBytes) {
    NotePicture(reader, payload + JfifHeaderBytes, size - JfifHeaderBytes);
  }
}

void ApplicationSegments::NoteAdobe(HeaderReader& reader, std::uint64_t payload, std::uint64_t size) {
  std::uint8_t bytes[AdobeBytes];
  if (size < sizeof bytes || !reader.Read(payload, bytes, sizeof bytes) ||
      bytes[AdobeBytes - 1] > MaxAdobeTransform) {
    Fail(BytesReason::ColourUnreadable);
  } else if (adobeSeen) {
    Fail(BytesReason::DuplicateStructure);
  }
  adobeSeen = true;
}

// Every resource must be inert or a thumbnail.
void ApplicationSegments::NotePhotoshop(HeaderReader& reader, std::uint64_t payload, std::uint64_t size) {
  const std::uint64_t end = payload + size;
  std::uint64_t at = payload + sizeof PhotoshopName;
  for (int i = 0; i < MaxResources && at < end; ++i) {
    std::uint8_t head[ResourceHeadBytes];
    if (end - at < sizeof head || !reader.Read(at, head, sizeof head) ||
        std::memcmp(head, ResourceSignature, sizeof ResourceSignature) != 0) {
      Fail(BytesReason::UnknownSegment);
      return;
    }
    const std::uint16_t id = Be16(head + sizeof ResourceSignature);
    const std::uint64_t sizeField = at + sizeof ResourceSignature + 2 + ((1u + head[sizeof head - 1] + 1u) & ~1u);
    std::uint8_t sizeBytes[4];
    if (sizeField + sizeof sizeBytes > end || !reader.Read(sizeField, sizeBytes, sizeof sizeBytes)) {
      Fail(BytesReason::UnknownSegment);
      return;
    }
    const std::uint64_t data = sizeField + sizeof sizeBytes;
    const std::uint32_t dataSize = Be32(sizeBytes);
    if (dataSize > end - data) {
      Fail(BytesReason::UnknownSegment);
      return;
    }
    if (Listed(ThumbnailResources, id)) {
      NotePicture(reader, data, dataSize);
    } else if (!Listed(InertResources, id)) {
      Fail(BytesReason::UnknownSegment);
      return;
    }
    at = std::min(end, data + dataSize + (dataSize & 1u));
  }
  if (at < end) Fail(BytesReason::ReadBudgetSpent);
}

void ApplicationSegments::NotePicture(HeaderReader& reader, std::uint64_t offset, std::uint64_t size) {
  otherPictures = true;
  if (!DigestBytes(reader, offset, size, pictures)) Fail(BytesReason::ThumbnailUnreadable);
}

BytesReason ApplicationSegments::Finish(HeaderReader& reader, Presentation& shown) {
  shown.orientation = exif.orientation;
  shown.thumbnail = otherPictures ? pictures.Value(exif.thumbnail).Get() : exif.thumbnail;
  if (pieces != piecesAnnounced) Fail(BytesReason::ColourUnreadable);
  shown.colour = 0;
  if (pieces == 1 && !IccProfileColour(reader, firstPieceStart, firstPieceSize, shown.colour)) {
    Fail(BytesReason::ColourUnreadable);
  } else if (pieces > 1) {
    shown.colour = profile.Get();
  }
  return reason;
}

}  // namespace jpeg
