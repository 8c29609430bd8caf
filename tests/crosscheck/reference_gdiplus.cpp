// The Windows reference: the size bare GDI+ reports for the file, loaded
// from the open file as the plugin opens it. The plugin shows the header's
// size wherever the header settles the format, so that size must be what
// GDI+ reports wherever GDI+ loads the file; WebP, AVIF and HEIC/HEIF it
// does not load, and their header sizes are checked against gdk-pixbuf's
// decoders by the Linux run.
#include <windows.h>

#include <cstdio>
#include <memory>

#include "imaging/flat_api.h"
#include "plugin/platform.h"
#include "tests/crosscheck/reference_size.h"
#include "windows/handle_stream.h"

void StartReferenceLibrary() {
  static std::uintptr_t token = 0;
  const Gdiplus::GdiplusStartupInput input;
  GdiplusStartup(&token, &input, nullptr);
}

Reference ReferenceSize(const std::string& file) {
  Reference reference;
  const std::wstring name(file.begin(), file.end());
  const HANDLE opened = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  const UniqueStreamReference stream(opened != INVALID_HANDLE_VALUE ? new HandleStream(opened) : nullptr);
  Gdiplus::GpImage* image = nullptr;
  const Gdiplus::Status status = stream ? GdipLoadImageFromStream(stream.Get(), &image) : Gdiplus::Status{1};
  if (status == Gdiplus::Ok && GdipGetImageWidth(image, &reference.size.width) == Gdiplus::Ok &&
      GdipGetImageHeight(image, &reference.size.height) == Gdiplus::Ok) {
    reference.decoded = true;
  } else {
    reference.size = {};
    reference.failure = "GDI+ status " + std::to_string(status);
  }
  if (image != nullptr) GdipDisposeImage(image);
  return reference;
}

bool HeaderShown(ImageFormat format) { return HeaderSettlesSize(format); }

bool HeaderHeldToReference(ImageFormat format, const Reference& reference) {
  return HeaderSettlesSize(format) && reference.decoded;
}
