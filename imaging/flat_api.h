#pragma once
// The few calls and records of the imaging library's flat interface that the
// plugin uses, declared to match the library's binary interface. PIXDIM_CALL
// is the system calling convention of the target (stdcall on 32-bit
// Windows); the build defines it.

#include <cstddef>
#include <cstdint>

namespace Gdiplus {

using Status = std::int32_t;
constexpr Status Ok = 0;

using PixelFormat = std::int32_t;
constexpr PixelFormat PixelFormat32bppARGB = 0x0026200A;

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

extern "C" {

Gdiplus::Status PIXDIM_CALL GdiplusStartup(std::uintptr_t* token,
                                           const Gdiplus::GdiplusStartupInput* input,
                                           void* output);
void PIXDIM_CALL GdiplusShutdown(std::uintptr_t token);

void* PIXDIM_CALL GdipAlloc(std::size_t size);
void PIXDIM_CALL GdipFree(void* memory);

Gdiplus::Status PIXDIM_CALL GdipLoadImageFromFile(const char16_t* path, Gdiplus::GpImage** image);
Gdiplus::Status PIXDIM_CALL GdipLoadImageFromFileICM(const char16_t* path,
                                                     Gdiplus::GpImage** image);
Gdiplus::Status PIXDIM_CALL GdipCreateBitmapFromFile(const char16_t* path,
                                                     Gdiplus::GpImage** bitmap);
Gdiplus::Status PIXDIM_CALL GdipCreateBitmapFromFileICM(const char16_t* path,
                                                        Gdiplus::GpImage** bitmap);
Gdiplus::Status PIXDIM_CALL GdipGetImageWidth(Gdiplus::GpImage* image, std::uint32_t* width);
Gdiplus::Status PIXDIM_CALL GdipGetImageHeight(Gdiplus::GpImage* image, std::uint32_t* height);
Gdiplus::Status PIXDIM_CALL GdipCloneImage(Gdiplus::GpImage* image, Gdiplus::GpImage** clone);
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
