// gdk-pixbuf as the plugin's decoders: it needs no start, and each enabled
// module is one decoder with its extensions.
#include <cstring>

#include "linux/owners.h"
#include "plugin/platform.h"

namespace {

// "*.jpeg;*.jpe;*.jpg" from the module's extension list, in the library's
// case. An extension with a full stop of its own ("svg.gz") is left out:
// the host matches only the last extension of a name.
std::string ExtensionList(GdkPixbufFormat* format) {
  std::string list;
  const UniqueGStrv extensions(gdk_pixbuf_format_get_extensions(format));
  for (gchar** extension = extensions.Get(); extension != nullptr && *extension != nullptr; ++extension) {
    if (std::strchr(*extension, '.') != nullptr) continue;
    if (!list.empty()) list += ';';
    list += std::string("*.") + *extension;
  }
  return list;
}

}  // namespace

bool StartDecoders(std::uintptr_t& token) {
  token = 1;
  return true;
}

void StopDecoders(std::uintptr_t /*token*/) {}

std::vector<std::string> DecoderExtensionLists() {
  std::vector<std::string> lists;
  const UniqueGSList formats(gdk_pixbuf_get_formats());
  for (GSList* item = formats.Get(); item != nullptr; item = item->next) {
    auto* format = static_cast<GdkPixbufFormat*>(item->data);
    if (!gdk_pixbuf_format_is_disabled(format)) lists.push_back(ExtensionList(format));
  }
  return lists;
}
