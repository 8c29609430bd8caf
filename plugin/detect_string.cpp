#include "plugin/detect_string.h"

#include "imaging/decoder_list.h"
#include "plugin/imaging_lifecycle.h"
#include "text/bounded_text.h"
#include "text/code_pages.h"

namespace {

constexpr int WorkingTextSize = 1000;

// Appends the terms of one decoder's extension list ("*.BMP;*.DIB" gives
// EXT="BMP" | EXT="DIB"). Asterisks and full stops are dropped wherever
// they stand; each semicolon closes a term.
void AppendTerms(char* text, int room, const char16_t* extensions) {
  char narrow[NarrowBufferBytes];
  NarrowText(extensions != nullptr ? extensions : u"", narrow);
  bool atTermStart = true;
  for (const char* c = narrow; *c != '\0'; ++c) {
    if (*c == ';') {
      AppendBounded(text, room, "\" | ");
      atTermStart = true;
    } else if (*c != '*' && *c != '.') {
      if (atTermStart) AppendBounded(text, room, "EXT=\"");
      const char letter[2] = {*c, '\0'};
      AppendBounded(text, room, letter);
      atTermStart = false;
    }
  }
  AppendBounded(text, room, "\"");
}

}  // namespace

void WriteDetectString(char* detectString, int maxLen) {
  // With maxLen 0 or negative every append is refused, and so is the copy.
  const int room = maxLen > WorkingTextSize ? WorkingTextSize : maxLen;
  char text[WorkingTextSize] = {};
  const ImagingInUse imaging;
  const Gdiplus::DecoderList decoders;
  for (std::uint32_t i = 0; i < decoders.Count(); ++i) {
    if (i > 0) AppendBounded(text, room, " | ");
    AppendTerms(text, room, decoders[i].FilenameExtension);
  }
  CopyBounded(detectString, maxLen, text);
}
