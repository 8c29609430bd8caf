#include "tests/fake_gdiplus/fake_gdiplus.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>

#include "plugin/value_stops.h"
#include "tests/fake_gdiplus/fake_state.h"

namespace fake {

State& S() {
  static State state;
  return state;
}

void Log(const std::string& call) { S().calls.push_back(call); }

// The compare calls the library from two threads at once, as the real one
// allows; the stand-in serves one call at a time.
std::recursive_mutex& Mutex() {
  static std::recursive_mutex mutex;
  return mutex;
}

namespace {

constexpr Gdiplus::Status InvalidParameter = 2;
constexpr Gdiplus::Status OutOfMemory = 3;
constexpr Gdiplus::Status Win32Error = 7;
constexpr Gdiplus::Status FileNotFound = 10;
constexpr Gdiplus::Status NotInitialized = 18;

// The native library answers every call made while it is not started with
// NotInitialized.
bool Started(const std::string& call) {
  if (!S().liveTokens.empty()) return true;
  S().faults.push_back(call + " while the library was not started");
  return false;
}

Handle* Live(Gdiplus::GpImage* image) {
  auto* handle = reinterpret_cast<Handle*>(image);
  return S().handles.count(handle) != 0 ? handle : nullptr;
}

std::string NameOf(Handle* handle) { return handle != nullptr ? handle->name : "null"; }

Gdiplus::Status Open(const char* call, IStream* stream, Gdiplus::GpImage** image) {
  const std::string name = stream != nullptr ? stream->name : "null";
  Log(std::string(call) + "(" + name + ")");
  if (!Started(call)) return NotInitialized;
  if (S().undecodable.count(name) != 0) return OutOfMemory;
  if (S().stoppedWhileLoading.erase(name) != 0) StopValuesOf(name);
  if (stream != nullptr && stream->watch && !stream->watch->Allows()) return Win32Error;  // the reads failed
  const auto found = S().images.find(name);
  if (found == S().images.end()) return FileNotFound;
  auto* handle = new Handle{name, found->second, 0, nullptr};
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

const ScriptedImage& Current(const Handle& handle) {
  return handle.frame == 0 ? handle.image : handle.image.laterFrames[handle.frame - 1];
}

// Lays rows [top, top + rows) out as a lock delivers them: B, G, R, A bytes
// per pixel, rows stride bytes apart, padding filled with bytes unique to
// this lock; then spoils the record as the script says.
void FillLock(Handle& handle, std::uint32_t top, std::uint32_t rows, Gdiplus::BitmapData& data) {
  static std::uint8_t paddingByte = 0x5A;
  const ScriptedImage& image = Current(handle);
  const std::size_t rowBytes = std::size_t{image.width} * 4 + static_cast<std::size_t>(image.stridePadding);
  handle.lock = std::make_unique<Lock>();
  handle.lock->bytes.assign(rowBytes * rows, ++paddingByte);
  for (std::uint32_t y = 0; y < rows; ++y) {
    const std::uint32_t storedRow = image.bottomUp ? rows - 1 - y : y;
    // An image scripted by its size alone locks as transparent black.
    if (image.argb.size() < std::size_t{top + y + 1} * image.width) {
      std::memset(&handle.lock->bytes[storedRow * rowBytes], 0, std::size_t{image.width} * 4);
      continue;
    }
    std::memcpy(&handle.lock->bytes[storedRow * rowBytes], &image.argb[std::size_t{top + y} * image.width],
                std::size_t{image.width} * 4);
  }
  const auto stride = static_cast<std::int32_t>(rowBytes);
  std::uint8_t* first = handle.lock->bytes.data();
  data.Width = image.width;
  data.Height = rows;
  data.PixelFormat = Gdiplus::PixelFormat32bppARGB;
  data.Stride = image.bottomUp ? -stride : stride;
  data.Scan0 = image.bottomUp ? first + (rows - 1) * rowBytes : first;
  data.Reserved = 0;
  switch (image.delivery) {
    case Delivery::Exact: break;
    case Delivery::WrongSize: data.Height = rows + 1; break;
    case Delivery::WrongFormat: data.PixelFormat = 0x00021808; break;  // 24-bit RGB
    case Delivery::OverlappingRows: data.Stride = 4; break;
  }
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
  const std::int64_t next = S().generation + 1;
  S() = State();
  S().generation = next;
}

void ForgetCalls() { S().calls.clear(); }

void AddFile(const std::string& name, const std::string& bytes) { S().files[name] = bytes; }

void MakeRecent(const std::string& name) { S().recentFiles.insert(name); }

void PutOnSlowDisk(const std::string& name) { S().slowDiskFiles.insert(name); }

// A well-formed GIF of the image's size, its one frame's data a stand-in,
// with the name in a comment: the header reader accounts for all of it,
// and no two images' files have the same bytes.
std::string ImageFileBytes(const std::string& name, const ScriptedImage& image) {
  const auto le16 = [](std::uint32_t value) {
    return std::string{static_cast<char>(value & 0xff), static_cast<char>((value >> 8) & 0xff)};
  };
  std::string gif = "GIF89a" + le16(image.width) + le16(image.height) + std::string("\x80\0\0", 3);
  gif += std::string(6, '\0');  // a global table of two black entries
  gif += std::string("\x21\xfe", 2) + static_cast<char>(name.size()) + name + std::string(1, '\0');
  gif += "," + le16(0) + le16(0) + le16(image.width) + le16(image.height) + std::string(1, '\0');
  gif += std::string("\x02\x02\x44\x01\x00", 5);  // LZW: minimum code size, one sub-block, terminator
  return gif + ";";
}

void AddImage(const std::string& name, ScriptedImage image) {
  S().files.emplace(name, ImageFileBytes(name, image));
  S().images[name] = std::move(image);
}

void AddDecoder(const std::u16string& filenameExtension) { S().decoders.push_back(filenameExtension); }

void SetHeaderOnlyExtensions(const std::string& extensions) { S().headerOnlyExtensions = extensions; }

void FailLoadOf(const std::string& name) {
  S().undecodable.insert(name);
  S().files.emplace(name, "undecodable " + name);
}

void StopWhileLoading(const std::string& name) { S().stoppedWhileLoading.insert(name); }

void FailStartup() { S().failStartup = true; }
void FailLockOf(const std::string& name) { S().lockFailures.insert(name); }
void FailLockFromRow(const std::string& name, std::uint32_t row) { S().lockFailuresFromRow[name] = row; }
void LoadUntilStopped(const std::string& name) { S().loadsUntilStopped.insert(name); }
int MostLoadsAtOnce() { return S().mostLoadsAtOnce; }
void DecodeSideBySide() { S().decodesSideBySide = true; }

// Outside the stand-in's lock, so the other file's load can run meanwhile.
void WaitWhileLoading(IStream* stream) {
  {
    const std::lock_guard<std::recursive_mutex> guard(Mutex());
    if (stream == nullptr || S().loadsUntilStopped.count(stream->name) == 0) return;
    S().mostLoadsAtOnce = std::max(S().mostLoadsAtOnce, ++S().loadsUnderWay);
  }
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(LongestLoadSeconds);
  constexpr std::uint64_t PieceBytes = 4096;
  while (!(stream->watch && !stream->watch->Allows()) && std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (stream->watch) stream->watch->Count(PieceBytes);
  }
  const std::lock_guard<std::recursive_mutex> guard(Mutex());
  --S().loadsUnderWay;
}
void FailNextAlloc() { S().failNextAlloc = true; }
void FailDecoderFill() { S().failDecoderFill = true; }

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
int LiveStarts() { return static_cast<int>(S().liveTokens.size()); }
const std::vector<std::string>& Faults() { return S().faults; }

}  // namespace fake

using fake::S;
using namespace Gdiplus;

extern "C" {

Status GdiplusStartup(std::uintptr_t* token, const GdiplusStartupInput* input, void* output) {
  const std::lock_guard<std::recursive_mutex> guard(fake::Mutex());
  std::ostringstream call;
  call << "GdiplusStartup(version=" << input->GdiplusVersion
       << " callback=" << (input->DebugEventCallback != nullptr)
       << " suppressThread=" << input->SuppressBackgroundThread
       << " suppressCodecs=" << input->SuppressExternalCodecs << " output=" << (output != nullptr) << ")";
  fake::Log(call.str());
  if (S().failStartup) return fake::OutOfMemory;
  *token = ++S().nextToken;
  S().liveTokens.insert(*token);
  return Ok;
}

void GdiplusShutdown(std::uintptr_t token) {
  const std::lock_guard<std::recursive_mutex> guard(fake::Mutex());
  fake::Log("GdiplusShutdown(" + std::to_string(token) + ")");
  if (S().liveTokens.erase(token) == 0) {
    S().faults.push_back("GdiplusShutdown of a token not issued or already shut down");
  }
}

void* GdipAlloc(std::size_t size) {
  const std::lock_guard<std::recursive_mutex> guard(fake::Mutex());
  fake::Log("GdipAlloc(" + std::to_string(size) + ")");
  if (!fake::Started("GdipAlloc")) return nullptr;
  if (S().failNextAlloc) {
    S().failNextAlloc = false;
    return nullptr;
  }
  void* memory = std::malloc(size);
  S().allocations.insert(memory);
  return memory;
}

void GdipFree(void* memory) {
  const std::lock_guard<std::recursive_mutex> guard(fake::Mutex());
  fake::Log("GdipFree()");
  if (S().allocations.erase(memory) == 0) {
    S().faults.push_back("GdipFree of memory GdipAlloc did not give");
    return;
  }
  std::free(memory);
}

Status GdipLoadImageFromStream(IStream* stream, GpImage** image) {
  const std::lock_guard<std::recursive_mutex> guard(fake::Mutex());
  return fake::Open("GdipLoadImageFromStream", stream, image);
}

Status GdipCreateBitmapFromStream(IStream* stream, GpImage** bitmap) {
  fake::WaitWhileLoading(stream);
  const std::lock_guard<std::recursive_mutex> guard(fake::Mutex());
  return fake::Open("GdipCreateBitmapFromStream", stream, bitmap);
}

Status GdipGetImageWidth(GpImage* image, std::uint32_t* width) {
  const std::lock_guard<std::recursive_mutex> guard(fake::Mutex());
  fake::Handle* handle = fake::Live(image);
  fake::Log("GdipGetImageWidth(" + fake::NameOf(handle) + ")");
  if (!fake::Started("GdipGetImageWidth")) return fake::NotInitialized;
  if (handle == nullptr) return fake::InvalidParameter;
  *width = fake::Current(*handle).width;
  return Ok;
}

Status GdipGetImageHeight(GpImage* image, std::uint32_t* height) {
  const std::lock_guard<std::recursive_mutex> guard(fake::Mutex());
  fake::Handle* handle = fake::Live(image);
  fake::Log("GdipGetImageHeight(" + fake::NameOf(handle) + ")");
  if (!fake::Started("GdipGetImageHeight")) return fake::NotInitialized;
  if (handle == nullptr) return fake::InvalidParameter;
  *height = fake::Current(*handle).height;
  return Ok;
}

Status GdipGetImagePixelFormat(GpImage* image, PixelFormat* format) {
  const std::lock_guard<std::recursive_mutex> guard(fake::Mutex());
  fake::Handle* handle = fake::Live(image);
  fake::Log("GdipGetImagePixelFormat(" + fake::NameOf(handle) + ")");
  if (handle == nullptr) return fake::InvalidParameter;
  *format = fake::Current(*handle).pixelFormat;
  return Ok;
}

Status GdipImageGetFrameDimensionsCount(GpImage* image, std::uint32_t* count) {
  const std::lock_guard<std::recursive_mutex> guard(fake::Mutex());
  fake::Handle* handle = fake::Live(image);
  if (handle == nullptr) return fake::InvalidParameter;
  *count = 1;
  return Ok;
}

Status GdipImageGetFrameDimensionsList(GpImage* image, Guid* dimensions, std::uint32_t count) {
  const std::lock_guard<std::recursive_mutex> guard(fake::Mutex());
  fake::Handle* handle = fake::Live(image);
  if (handle == nullptr || count != 1) return fake::InvalidParameter;
  dimensions[0] = handle->image.frameDimension;
  return Ok;
}

Status GdipImageGetFrameCount(GpImage* image, const Guid* dimension, std::uint32_t* count) {
  const std::lock_guard<std::recursive_mutex> guard(fake::Mutex());
  fake::Handle* handle = fake::Live(image);
  if (handle == nullptr || !(*dimension == handle->image.frameDimension)) return fake::InvalidParameter;
  *count = static_cast<std::uint32_t>(handle->image.laterFrames.size() + 1);
  return Ok;
}

Status GdipImageSelectActiveFrame(GpImage* image, const Guid* dimension, std::uint32_t index) {
  const std::lock_guard<std::recursive_mutex> guard(fake::Mutex());
  fake::Handle* handle = fake::Live(image);
  fake::Log("GdipImageSelectActiveFrame(" + fake::NameOf(handle) + "," + std::to_string(index) + ")");
  if (handle == nullptr || !(*dimension == handle->image.frameDimension) ||
      index > handle->image.laterFrames.size() || handle->lock) {
    return fake::InvalidParameter;
  }
  handle->frame = index;
  return Ok;
}

Status GdipDisposeImage(GpImage* image) {
  const std::lock_guard<std::recursive_mutex> guard(fake::Mutex());
  if (image == nullptr) {
    fake::Log("GdipDisposeImage(null)");
    return fake::InvalidParameter;
  }
  fake::Handle* handle = fake::Live(image);
  if (handle == nullptr) {
    S().faults.push_back("GdipDisposeImage of a handle that is not alive");
    return fake::InvalidParameter;
  }
  fake::Log("GdipDisposeImage(" + handle->name + ")");
  if (handle->lock) S().faults.push_back("GdipDisposeImage of a locked bitmap: " + handle->name);
  S().handles.erase(handle);
  delete handle;
  return Ok;
}

Status GdipBitmapLockBits(GpImage* bitmap, const Rect* rect, std::uint32_t flags, PixelFormat format,
                          BitmapData* data) {
  const std::lock_guard<std::recursive_mutex> guard(fake::Mutex());
  fake::Handle* handle = fake::Live(bitmap);
  std::ostringstream call;
  call << "GdipBitmapLockBits(" << fake::NameOf(handle) << " rect=" << rect->X << "," << rect->Y << ","
       << rect->Width << "," << rect->Height << " flags=" << flags << " format=0x" << std::hex << format << ")";
  fake::Log(call.str());
  if (!fake::Started("GdipBitmapLockBits")) return fake::NotInitialized;
  if (handle == nullptr || handle->lock) return fake::InvalidParameter;
  // Like the strictest implementation: a lock needs a lock mode and must lie
  // inside the image.
  const fake::ScriptedImage& image = fake::Current(*handle);
  const bool inside = rect->X == 0 && rect->Y >= 0 && rect->Height > 0 &&
                      static_cast<std::uint32_t>(rect->Width) == image.width &&
                      std::uint64_t(rect->Y) + std::uint64_t(rect->Height) <= image.height;
  if ((flags & 3u) == 0 || !inside || format != PixelFormat32bppARGB) return fake::InvalidParameter;
  if (S().lockFailures.count(handle->name) != 0) return fake::OutOfMemory;
  const auto failing = S().lockFailuresFromRow.find(handle->name);
  if (failing != S().lockFailuresFromRow.end() &&
      std::uint64_t(rect->Y) + std::uint64_t(rect->Height) > failing->second) {
    return fake::OutOfMemory;
  }
  fake::FillLock(*handle, static_cast<std::uint32_t>(rect->Y), static_cast<std::uint32_t>(rect->Height), *data);
  ++S().liveLocks;
  return Ok;
}

Status GdipBitmapUnlockBits(GpImage* bitmap, BitmapData* /*data*/) {
  const std::lock_guard<std::recursive_mutex> guard(fake::Mutex());
  fake::Handle* handle = fake::Live(bitmap);
  fake::Log("GdipBitmapUnlockBits(" + fake::NameOf(handle) + ")");
  if (handle == nullptr || !handle->lock) {
    S().faults.push_back("GdipBitmapUnlockBits without a lock");
    return fake::InvalidParameter;
  }
  handle->lock.reset();
  --S().liveLocks;
  return Ok;
}

Status GdipGetImageDecodersSize(std::uint32_t* count, std::uint32_t* byteSize) {
  const std::lock_guard<std::recursive_mutex> guard(fake::Mutex());
  fake::Log("GdipGetImageDecodersSize()");
  if (!fake::Started("GdipGetImageDecodersSize")) return fake::NotInitialized;
  *count = static_cast<std::uint32_t>(S().decoders.size());
  *byteSize = fake::DecoderBytes();
  return Ok;
}

Status GdipGetImageDecoders(std::uint32_t count, std::uint32_t byteSize, ImageCodecInfo* decoders) {
  const std::lock_guard<std::recursive_mutex> guard(fake::Mutex());
  fake::Log("GdipGetImageDecoders(" + std::to_string(count) + "," + std::to_string(byteSize) + ")");
  if (!fake::Started("GdipGetImageDecoders")) return fake::NotInitialized;
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
