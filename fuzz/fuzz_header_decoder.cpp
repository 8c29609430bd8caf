// libFuzzer target, differential: wherever the header reader settles a
// size, gdk-pixbuf must show that size (or, when decoding fails, read that
// size from the header, as the plugin's fallback does). The bytes go to the
// module gdk-pixbuf's own content sniffing picks; bytes it gives no module
// (text types that rank first) are left out. It stops on any other size.
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "imaging/header_facts.h"

namespace {

// Larger images are left out: decoding them would cost more than the run.
constexpr std::uint64_t MaxDecodedPixels = std::uint64_t{1} << 24;

class FuzzedFile : public ByteSource {
 public:
  FuzzedFile(const std::uint8_t* data, std::size_t size) : bytes(data), length(size) {}
  std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t size) override {
    if (offset >= length) return 0;
    const std::size_t copied = std::min(size, static_cast<std::size_t>(length - offset));
    std::memcpy(buffer, bytes + offset, copied);
    return copied;
  }
  std::uint64_t Size() const override { return length; }

 private:
  const std::uint8_t* bytes;
  std::size_t length;
};

struct Shown {
  bool judged = false;  // a module took the bytes
  int width = 0;
  int height = 0;
};

void SizePrepared(GdkPixbufLoader*, int width, int height, gpointer data) {
  auto* shown = static_cast<Shown*>(data);
  shown->width = width;
  shown->height = height;
}

// The size gdk-pixbuf shows for the bytes: of the decoded image, else the
// size its header announced; 0 x 0 when it shows none.
Shown LibrarySize(const std::uint8_t* data, std::size_t size) {
  Shown announced;
  GdkPixbufLoader* loader = gdk_pixbuf_loader_new();
  g_signal_connect(loader, "size-prepared", G_CALLBACK(SizePrepared), &announced);
  const bool written = gdk_pixbuf_loader_write(loader, data, size, nullptr);
  announced.judged = gdk_pixbuf_loader_get_format(loader) != nullptr;
  const bool closed = gdk_pixbuf_loader_close(loader, nullptr);
  GdkPixbuf* pixbuf = written && closed ? gdk_pixbuf_loader_get_pixbuf(loader) : nullptr;
  Shown shown = announced;
  if (pixbuf != nullptr) shown = {true, gdk_pixbuf_get_width(pixbuf), gdk_pixbuf_get_height(pixbuf)};
  g_object_unref(loader);
  if (shown.width <= 0 || shown.height <= 0) shown.width = shown.height = 0;
  return shown;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedFile file(data, size);
  const HeaderFacts facts = ReadHeaderFacts(file);
  if (facts.width == 0 || std::uint64_t{facts.width} * facts.height > MaxDecodedPixels) return 0;
  const Shown shown = LibrarySize(data, size);
  const bool same = static_cast<std::uint32_t>(shown.width) == facts.width &&
                    static_cast<std::uint32_t>(shown.height) == facts.height;
  if (shown.judged && !same) {
    std::fprintf(stderr, "header %u x %u, gdk-pixbuf %d x %d\n", facts.width, facts.height, shown.width,
                 shown.height);
    std::abort();
  }
  return 0;
}
