// GDI+ as the plugin's decoders: its start and shutdown, and the extension
// lists of its installed codecs, narrowed to the host's code page.
#include "imaging/decoder_list.h"
#include "imaging/flat_api.h"
#include "plugin/platform.h"
#include "text/code_pages.h"

bool StartDecoders(std::uintptr_t& token) {
  const Gdiplus::GdiplusStartupInput input;
  return GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok;
}

void StopDecoders(std::uintptr_t token) { GdiplusShutdown(token); }

std::vector<std::string> DecoderExtensionLists() {
  const Gdiplus::DecoderList decoders;
  std::vector<std::string> lists;
  for (std::uint32_t i = 0; i < decoders.Count(); ++i) {
    char narrow[NarrowBufferBytes];
    const char16_t* list = decoders[i].FilenameExtension;
    NarrowText(list != nullptr ? list : u"", narrow);
    lists.emplace_back(narrow);
  }
  return lists;
}
