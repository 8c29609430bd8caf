#pragma once
// One file decoded by gdk-pixbuf as far as it is needed. The loader is fed
// from the open file a piece at a time until the rows asked for are final,
// so a comparison that finds a difference in the first rows stops reading
// there; between pieces the file's watch may stop the decode. Rows count
// as final as they arrive only where the format decodes every row once,
// top row first; any other file is decoded to its end before its first
// row is used. Where the loader fails on data it has taken whole, the
// module's own file load decides: gdk-pixbuf's TIFF module reads tiled
// files only that way.

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <cstdint>
#include <vector>

#include "linux/open_file.h"
#include "linux/owners.h"

struct ImageShape {
  std::uint32_t width;
  std::uint32_t height;
  bool rowsInOrder;
};

class PixbufDecoding {
 public:
  PixbufDecoding(GdkPixbufFormat* format, const OpenFile& file, ImageShape shape);
  ~PixbufDecoding();
  PixbufDecoding(const PixbufDecoding&) = delete;
  PixbufDecoding& operator=(const PixbufDecoding&) = delete;

  // Decodes until rows [0, end) are final; false when the file does not
  // decode, or not to the size its header promised, in 8-bit RGB or RGBA.
  bool DecodeRows(std::uint32_t end);

  // Decodes the whole file, and checks the library decoded it without an
  // error.
  bool DecodeAll();

  // Valid after a successful DecodeRows or DecodeAll: the image (the first
  // frame of an animation), and the animation it belongs to.
  GdkPixbuf* Pixbuf() const { return whole ? whole.Get() : gdk_pixbuf_loader_get_pixbuf(loader.Get()); }
  GdkPixbufAnimation* Animation() const { return gdk_pixbuf_loader_get_animation(loader.Get()); }

 private:
  // Whether the file's watch has stopped the reads; the decode then fails.
  bool StoppedByWatch();
  bool FeedChunk();
  bool Finish();
  bool PixbufAsPromised() const;
  bool LoadWholeFile();
  static void SizePrepared(GdkPixbufLoader* loader, int width, int height, PixbufDecoding* self);
  static void AreaUpdated(GdkPixbufLoader* loader, int x, int y, int width, int height,
                          PixbufDecoding* self);

  UniqueGObject<GdkPixbufLoader> loader;
  UniqueGObject<GdkPixbuf> whole;  // a still image loaded from the whole file
  OpenFile file;
  ImageShape shape;
  std::vector<guchar> chunk;  // on the heap: the call runs on a thread of the host
  std::uint64_t fed = 0;
  std::uint32_t finalRows = 0;
  bool oneImage;  // the module's files hold one image
  bool wholeWrites;  // the module decodes again on every write
  bool closed = false;
  bool failed = false;
  bool stopped = false;  // by the watch: nothing more is read
};
