#pragma once
// The few calls and records of the imaging library's flat interface that the
// plugin uses, declared to match the library's binary interface. PIXDIM_CALL
// is the system calling convention of the target (stdcall on 32-bit
// Windows); the build defines it.

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace Gdiplus {

using Status = std::int32_t;
constexpr Status Ok = 0;

using PixelFormat = std::int32_t;
constexpr PixelFormat PixelFormat32bppARGB = 0x0026200A;
constexpr PixelFormat PixelFormat64bppARGB = 0x0034400D;
// Set in every format that keeps more than 8 bits per channel.
constexpr PixelFormat PixelFormatExtended = 0x00100000;

constexpr std::uint32_t ImageLockModeRead = 1;

struct GpImage;  // the library's opaque image handle

struct GdiplusStartupInput {
  std::uint32_t GdiplusVersion = 1;
  void* DebugEventCallback = nullptr;
  std::int32_t SuppressBackgroundThread = 0;
  std::int32_t SuppressExternalCodecs = 0;
};

struct Rect {
  std::int32_t X;
  std::int32_t Y;
  std::int32_t Width;
  std::int32_t Height;
};

struct BitmapData {
  std::uint32_t Width;
  std::uint32_t Height;
  std::int32_t Stride;
  Gdiplus::PixelFormat PixelFormat;
  void* Scan0;
  std::uintptr_t Reserved;
};

struct Guid {
  std::uint32_t Data1;
  std::uint16_t Data2;
  std::uint16_t Data3;
  std::uint8_t Data4[8];
};

inline bool operator==(const Guid& a, const Guid& b) {
  return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
         std::equal(a.Data4, a.Data4 + 8, b.Data4);
}

// The ways a file can hold several images: pages (TIFF) and animation
// frames in time (GIF).
constexpr Guid FrameDimensionPage = {0x7462dc86, 0x6180, 0x4c7e, {0x8e, 0x3f, 0xee, 0x73, 0x33, 0xa7, 0xa4, 0x83}};
constexpr Guid FrameDimensionTime = {0x6aedbd6d, 0x3fb5, 0x418a, {0x83, 0xa6, 0x7f, 0x45, 0x22, 0x9d, 0xc8, 0x72}};

struct ImageCodecInfo {
  Guid Clsid;
  Guid FormatID;
  const char16_t* CodecName;
  const char16_t* DllName;
  const char16_t* FormatDescription;
  const char16_t* FilenameExtension;
  const char16_t* MimeType;
  std::uint32_t Flags;
  std::uint32_t Version;
  std::uint32_t SigCount;
  std::uint32_t SigSize;
  const std::uint8_t* SigPattern;
  const std::uint8_t* SigMask;
};

}  // namespace Gdiplus

// The platform's stream of bytes, through which the library reads a file
// that is already open.
struct IStream;

extern "C" {

Gdiplus::Status PIXDIM_CALL GdiplusStartup(std::uintptr_t* token,
                                           const Gdiplus::GdiplusStartupInput* input,
                                           void* output);
void PIXDIM_CALL GdiplusShutdown(std::uintptr_t token);

void* PIXDIM_CALL GdipAlloc(std::size_t size);
void PIXDIM_CALL GdipFree(void* memory);

// Loads by name; the plugin never uses these (it reads files it has opened
// and checked), the benchmarks take them as the bare library's cost.
Gdiplus::Status PIXDIM_CALL GdipLoadImageFromFile(const char16_t* path, Gdiplus::GpImage** image);
Gdiplus::Status PIXDIM_CALL GdipCreateBitmapFromFile(const char16_t* path, Gdiplus::GpImage** bitmap);
Gdiplus::Status PIXDIM_CALL GdipLoadImageFromStream(IStream* stream, Gdiplus::GpImage** image);
Gdiplus::Status PIXDIM_CALL GdipCreateBitmapFromStream(IStream* stream, Gdiplus::GpImage** bitmap);
Gdiplus::Status PIXDIM_CALL GdipGetImageWidth(Gdiplus::GpImage* image, std::uint32_t* width);
Gdiplus::Status PIXDIM_CALL GdipGetImageHeight(Gdiplus::GpImage* image, std::uint32_t* height);
Gdiplus::Status PIXDIM_CALL GdipGetImagePixelFormat(Gdiplus::GpImage* image,
                                                    Gdiplus::PixelFormat* format);
Gdiplus::Status PIXDIM_CALL GdipImageGetFrameDimensionsCount(Gdiplus::GpImage* image,
                                                             std::uint32_t* count);
Gdiplus::Status PIXDIM_CALL GdipImageGetFrameDimensionsList(Gdiplus::GpImage* image,
                                                            Gdiplus::Guid* dimensions,
                                                            std::uint32_t count);
Gdiplus::Status PIXDIM_CALL GdipImageGetFrameCount(Gdiplus::GpImage* image,
                                                   const Gdiplus::Guid* dimension,
                                                   std::uint32_t* count);
Gdiplus::Status PIXDIM_CALL GdipImageSelectActiveFrame(Gdiplus::GpImage* image,
                                                       const Gdiplus::Guid* dimension,
                                                       std::uint32_t index);
Gdiplus::Status PIXDIM_CALL GdipDisposeImage(Gdiplus::GpImage* image);
Gdiplus::Status PIXDIM_CALL GdipBitmapLockBits(Gdiplus::GpImage* bitmap, const Gdiplus::Rect* rect,
                                               std::uint32_t flags, Gdiplus::PixelFormat format,
                                               Gdiplus::BitmapData* data);
Gdiplus::Status PIXDIM_CALL GdipBitmapUnlockBits(Gdiplus::GpImage* bitmap,
                                                 Gdiplus::BitmapData* data);
Gdiplus::Status PIXDIM_CALL GdipGetImageDecodersSize(std::uint32_t* count,
                                                     std::uint32_t* byteSize);
Gdiplus::Status PIXDIM_CALL GdipGetImageDecoders(std::uint32_t count, std::uint32_t byteSize,
                                                 Gdiplus::ImageCodecInfo* decoders);

}  // extern "C"
