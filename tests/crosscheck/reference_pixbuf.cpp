// The Linux reference: the image gdk-pixbuf decodes, or when decoding
// fails, the size it reads from the header, as the plugin's own fallback
// does (broken image data, images too large to decode); 0 x 0 when it
// cannot read that either. The plugin shows what gdk-pixbuf shows, and
// every size the header settles must be that size.
#include <gdk-pixbuf/gdk-pixbuf.h>

#include "tests/crosscheck/reference_size.h"

void StartReferenceLibrary() {}

Reference ReferenceSize(const std::string& file) {
  Reference reference;
  GError* error = nullptr;
  GdkPixbuf* pixbuf = gdk_pixbuf_new_from_file(file.c_str(), &error);
  if (pixbuf != nullptr) {
    reference.decoded = true;
    reference.size = {static_cast<std::uint32_t>(gdk_pixbuf_get_width(pixbuf)),
                      static_cast<std::uint32_t>(gdk_pixbuf_get_height(pixbuf))};
    g_object_unref(pixbuf);
  } else {
    reference.failure = error != nullptr ? error->message : "no pixbuf";
    int width = 0;
    int height = 0;
    if (gdk_pixbuf_get_file_info(file.c_str(), &width, &height) != nullptr && width > 0 && height > 0) {
      reference.size = {static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height)};
    }
  }
  if (error != nullptr) g_error_free(error);
  return reference;
}

bool HeaderShown(ImageFormat /*format*/) { return false; }

bool HeaderHeldToReference(ImageFormat /*format*/, const Reference& /*reference*/) { return true; }
