#include "tests/fake_gdiplus/fake_gdiplus.h"

#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <sstream>

#include "imaging/flat_api.h"

namespace fake {
namespace {

constexpr Gdiplus::Status InvalidParameter = 2;
constexpr Gdiplus::Status OutOfMemory = 3;
constexpr Gdiplus::Status FileNotFound = 10;

struct Lock {
  std::vector<std::uint8_t> bytes;
};

struct Handle {
  std::string path;
  ScriptedImage image;
  std::unique_ptr<Lock> lock;
};

struct State {
  std::map<std::string, ScriptedImage> images;
  std::set<std::string> undecodable;
  std::set<std::string> lockFailures;
  std::vector<std::u16string> decoders;
  bool failNextAlloc = false;
  bool failDecoderFill = false;
  bool failClone = false;
  bool decoderBytesOverridden = false;
  std::uint32_t decoderBytes = 0;
  std::uintptr_t nextToken = 0x1000;
  std::vector<std::string> calls;
  std::vector<std::string> faults;
  std::set<Handle*> handles;
  std::set<void*> allocations;
  int liveLocks = 0;
};

State& S() {
  static State state;
  return state;
}

std::string Narrow(const char16_t* text) {
  std::string narrow;
  for (; text != nullptr && *text != u'\0'; ++text) narrow += static_cast<char>(*text);
  return narrow;
}

void Log(const std::string& call) { S().calls.push_back(call); }

Handle* Live(Gdiplus::GpImage* image) {
  auto* handle = reinterpret_cast<Handle*>(image);
  return S().handles.count(handle) != 0 ? handle : nullptr;
}

Gdiplus::Status Open(const char* name, const char16_t* path, Gdiplus::GpImage** image) {
  const std::string file = Narrow(path);
  Log(std::string(name) + "(" + file + ")");
  if (S().undecodable.count(file) != 0) return OutOfMemory;
  const auto found = S().images.find(file);
  if (found == S().images.end()) return FileNotFound;
  auto* handle = new Handle{file, found->second, nullptr};
  S().handles.insert(handle);
  *image = reinterpret_cast<Gdiplus::GpImage*>(handle);
  return Gdiplus::Ok;
}

std::uint32_t DecoderBytes() {
  if (S().decoderBytesOverridden) return S().decoderBytes;
  std::size_t bytes = S().decoders.size() * sizeof(Gdiplus::ImageCodecInfo);
  for (const auto& list : S().decoders) bytes += (list.size() + 1) * sizeof(char16_t);
  return static_cast<std::uint32_t>(bytes);
}

// Lays the image out as a lock delivers it: B, G, R, A bytes per pixel,
// rows stride bytes apart, padding filled with bytes unique to this lock.
void FillLock(Handle& handle, Gdiplus::BitmapData& data) {
  static std::uint8_t paddingByte = 0x5A;
  const ScriptedImage& image = handle.image;
  const std::size_t rowBytes = std::size_t{image.width} * 4 + static_cast<std::size_t>(image.stridePadding);
  handle.lock = std::make_unique<Lock>();
  handle.lock->bytes.assign(rowBytes * image.height, ++paddingByte);
  for (std::uint32_t y = 0; y < image.height; ++y) {
    const std::uint32_t storedRow = image.bottomUp ? image.height - 1 - y : y;
    std::memcpy(&handle.lock->bytes[storedRow * rowBytes], &image.argb[std::size_t{y} * image.width],
                std::size_t{image.width} * 4);
  }
  const auto stride = static_cast<std::int32_t>(rowBytes);
  std::uint8_t* first = handle.lock->bytes.data();
  data.Width = image.width;
  data.Height = image.height;
  data.PixelFormat = Gdiplus::PixelFormat32bppARGB;
  data.Stride = image.bottomUp ? -stride : stride;
  data.Scan0 = image.bottomUp ? first + (image.height - 1) * rowBytes : first;
  data.Reserved = 0;
}

}  // namespace

ScriptedImage PatternImage(std::uint32_t width, std::uint32_t height) {
  ScriptedImage image;
  image.width = width;
  image.height = height;
  image.argb.resize(std::size_t{width} * height);
  for (std::size_t i = 0; i < image.argb.size(); ++i) {
    image.argb[i] = 0xFF000000u | static_cast<std::uint32_t>(i * 2654435761u >> 8);
  }
  return image;
}

void Reset() {
  for (Handle* handle : S().handles) delete handle;
  for (void* memory : S().allocations) std::free(memory);
  S() = State();
}

void AddImage(const std::string& path, ScriptedImage image) { S().images[path] = std::move(image); }
void AddDecoder(const std::u16string& filenameExtension) { S().decoders.push_back(filenameExtension); }
void FailLoadOf(const std::string& path) { S().undecodable.insert(path); }
void FailLockOf(const std::string& path) { S().lockFailures.insert(path); }
void FailNextAlloc() { S().failNextAlloc = true; }
void FailDecoderFill() { S().failDecoderFill = true; }
void FailClone() { S().failClone = true; }

void ReportDecoderBytes(std::uint32_t byteSize) {
  S().decoderBytesOverridden = true;
  S().decoderBytes = byteSize;
}

const std::vector<std::string>& Calls() { return S().calls; }

std::vector<std::string> CallsNamed(const std::string& name) {
  std::vector<std::string> named;
  for (const auto& call : S().calls) {
    if (call.compare(0, name.size() + 1, name + "(") == 0) named.push_back(call);
  }
  return named;
}

int LiveHandles() { return static_cast<int>(S().handles.size()); }
int LiveLocks() { return S().liveLocks; }
int LiveAllocations() { return static_cast<int>(S().allocations.size()); }
const std::vector<std::string>& Faults() { return S().faults; }

}  // namespace fake

using fake::S;
using namespace Gdiplus;

extern "C" {

Status GdiplusStartup(std::uintptr_t* token, const GdiplusStartupInput* input, void* output) {
  std::ostringstream call;
  call << "GdiplusStartup(version=" << input->GdiplusVersion
       << " callback=" << (input->DebugEventCallback != nullptr)
       << " suppressThread=" << input->SuppressBackgroundThread
       << " suppressCodecs=" << input->SuppressExternalCodecs << " output=" << (output != nullptr) << ")";
  fake::Log(call.str());
  *token = ++S().nextToken;
  return Ok;
}

void GdiplusShutdown(std::uintptr_t token) {
  fake::Log("GdiplusShutdown(" + std::to_string(token) + ")");
}

void* GdipAlloc(std::size_t size) {
  fake::Log("GdipAlloc(" + std::to_string(size) + ")");
  if (S().failNextAlloc) {
    S().failNextAlloc = false;
    return nullptr;
  }
  void* memory = std::malloc(size);
  S().allocations.insert(memory);
  return memory;
}

void GdipFree(void* memory) {
  fake::Log("GdipFree()");
  if (S().allocations.erase(memory) == 0) {
    S().faults.push_back("GdipFree of memory GdipAlloc did not give");
    return;
  }
  std::free(memory);
}

Status GdipLoadImageFromFile(const char16_t* path, GpImage** image) {
  return fake::Open("GdipLoadImageFromFile", path, image);
}

Status GdipLoadImageFromFileICM(const char16_t* path, GpImage** image) {
  return fake::Open("GdipLoadImageFromFileICM", path, image);
}

Status GdipCreateBitmapFromFile(const char16_t* path, GpImage** bitmap) {
  return fake::Open("GdipCreateBitmapFromFile", path, bitmap);
}

Status GdipCreateBitmapFromFileICM(const char16_t* path, GpImage** bitmap) {
  return fake::Open("GdipCreateBitmapFromFileICM", path, bitmap);
}

Status GdipGetImageWidth(GpImage* image, std::uint32_t* width) {
  fake::Handle* handle = fake::Live(image);
  fake::Log("GdipGetImageWidth(" + (handle != nullptr ? handle->path : "null") + ")");
  if (handle == nullptr) return fake::InvalidParameter;
  *width = handle->image.width;
  return Ok;
}

Status GdipGetImageHeight(GpImage* image, std::uint32_t* height) {
  fake::Handle* handle = fake::Live(image);
  fake::Log("GdipGetImageHeight(" + (handle != nullptr ? handle->path : "null") + ")");
  if (handle == nullptr) return fake::InvalidParameter;
  *height = handle->image.height;
  return Ok;
}

Status GdipCloneImage(GpImage* image, GpImage** clone) {
  fake::Handle* handle = fake::Live(image);
  fake::Log("GdipCloneImage(" + (handle != nullptr ? handle->path : "null") + ")");
  if (handle == nullptr) return fake::InvalidParameter;
  if (S().failClone) return fake::OutOfMemory;
  auto* copy = new fake::Handle{handle->path, handle->image, nullptr};
  S().handles.insert(copy);
  *clone = reinterpret_cast<GpImage*>(copy);
  return Ok;
}

Status GdipDisposeImage(GpImage* image) {
  if (image == nullptr) {
    fake::Log("GdipDisposeImage(null)");
    return fake::InvalidParameter;
  }
  fake::Handle* handle = fake::Live(image);
  if (handle == nullptr) {
    S().faults.push_back("GdipDisposeImage of a handle that is not alive");
    return fake::InvalidParameter;
  }
  fake::Log("GdipDisposeImage(" + handle->path + ")");
  if (handle->lock) S().faults.push_back("GdipDisposeImage of a locked bitmap: " + handle->path);
  S().handles.erase(handle);
  delete handle;
  return Ok;
}

Status GdipBitmapLockBits(GpImage* bitmap, const Rect* rect, std::uint32_t flags, PixelFormat format,
                          BitmapData* data) {
  fake::Handle* handle = fake::Live(bitmap);
  std::ostringstream call;
  call << "GdipBitmapLockBits(" << (handle != nullptr ? handle->path : "null") << " rect=" << rect->X
       << "," << rect->Y << "," << rect->Width << "," << rect->Height << " flags=" << flags
       << " format=0x" << std::hex << format << ")";
  fake::Log(call.str());
  if (handle == nullptr || handle->lock) return fake::InvalidParameter;
  // Like the strictest implementation: a lock needs a lock mode and must lie
  // inside the image.
  const bool inside = rect->X == 0 && rect->Y == 0 &&
                      static_cast<std::uint32_t>(rect->Width) == handle->image.width &&
                      static_cast<std::uint32_t>(rect->Height) == handle->image.height;
  if ((flags & 3u) == 0 || !inside || format != PixelFormat32bppARGB) return fake::InvalidParameter;
  if (S().lockFailures.count(handle->path) != 0) return fake::OutOfMemory;
  fake::FillLock(*handle, *data);
  ++S().liveLocks;
  return Ok;
}

Status GdipBitmapUnlockBits(GpImage* bitmap, BitmapData* data) {
  fake::Handle* handle = fake::Live(bitmap);
  fake::Log("GdipBitmapUnlockBits(" + (handle != nullptr ? handle->path : "null") + ")");
  if (handle == nullptr || !handle->lock) {
    S().faults.push_back("GdipBitmapUnlockBits without a lock");
    return fake::InvalidParameter;
  }
  (void)data;
  handle->lock.reset();
  --S().liveLocks;
  return Ok;
}

Status GdipGetImageDecodersSize(std::uint32_t* count, std::uint32_t* byteSize) {
  fake::Log("GdipGetImageDecodersSize()");
  *count = static_cast<std::uint32_t>(S().decoders.size());
  *byteSize = fake::DecoderBytes();
  return Ok;
}

Status GdipGetImageDecoders(std::uint32_t count, std::uint32_t byteSize, ImageCodecInfo* decoders) {
  fake::Log("GdipGetImageDecoders(" + std::to_string(count) + "," + std::to_string(byteSize) + ")");
  if (S().failDecoderFill) {
    std::memset(decoders, 0xFF, byteSize);  // garbage a caller must not read
    return fake::OutOfMemory;
  }
  // Refuses any size but the one reported, as one implementation does.
  if (count != S().decoders.size() || byteSize != fake::DecoderBytes()) return fake::InvalidParameter;
  auto* strings = reinterpret_cast<char16_t*>(decoders + count);
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::u16string& list = S().decoders[i];
    std::memset(&decoders[i], 0, sizeof(ImageCodecInfo));
    std::memcpy(strings, list.c_str(), (list.size() + 1) * sizeof(char16_t));
    decoders[i].FilenameExtension = strings;
    strings += list.size() + 1;
  }
  return Ok;
}

}  // extern "C"
