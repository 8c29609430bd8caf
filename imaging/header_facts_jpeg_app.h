#pragma once
// The application and comment segments of a JPEG, each accounted for. Those
// that change what a viewer shows are read completely: the EXIF block
// (orientation, thumbnail), the ICC profile's pieces, Adobe's colour
// transform, and the thumbnails of JFIF extensions and Photoshop's
// resources. Comments, JFIF headers, XMP packets, Ducky's save settings and
// Photoshop's text resources are inert; anything else leaves the file to
// its bytes, with the reason.

#include <cstdint>

#include "imaging/bytes_reason.h"
#include "imaging/coded_picture.h"
#include "imaging/header_facts.h"
#include "imaging/header_facts_presentation.h"
#include "imaging/header_reader.h"

namespace jpeg {

bool IsApplicationSegment(std::uint8_t marker);  // APP0 to APP15, COM

class ApplicationSegments {
 public:
  // Notes the segment whose length field (of length) is at offset; for a
  // comparison a JFIF header's name and version and an Adobe segment go to
  // coded: the decoder's colour conversion follows them.
  void Note(HeaderReader& reader, std::uint8_t marker, std::uint64_t offset, std::uint16_t length,
            CodedPicture& coded);
  // An APP2 "MPF" segment: the file holds pictures the decoder does not show.
  bool MultiPicture() const { return multiPicture; }
  // After the last segment: fills in the orientation, colour and
  // thumbnail, and returns the first reason met, if any.
  BytesReason Finish(HeaderReader& reader, Presentation& shown);

 private:
  void Fail(BytesReason why) {
    if (reason == BytesReason::None) reason = why;
  }
  void NoteExif(HeaderReader& reader, std::uint64_t payload, std::uint64_t size);
  void NoteProfilePiece(HeaderReader& reader, std::uint64_t payload, std::uint64_t size);
  void NoteJfif(HeaderReader& reader, std::uint64_t payload, std::uint64_t size);
  void NoteAdobe(HeaderReader& reader, std::uint64_t payload, std::uint64_t size);
  void NotePhotoshop(HeaderReader& reader, std::uint64_t payload, std::uint64_t size);
  void NotePicture(HeaderReader& reader, std::uint64_t offset, std::uint64_t size);

  BytesReason reason = BytesReason::None;
  bool multiPicture = false;
  bool exifSeen = false;
  Exif exif;
  bool adobeSeen = false;
  // The ICC profile's pieces, numbered from 1, each naming their count.
  int pieces = 0;
  int piecesAnnounced = 0;
  std::uint64_t firstPieceStart = 0;
  std::uint64_t firstPieceSize = 0;
  Digest profile;
  // Thumbnails beside the EXIF one.
  bool otherPictures = false;
  Digest pictures;
};

}  // namespace jpeg
