#pragma once
// A scriptable stand-in for the imaging library's flat interface and for
// the host's files, for the native unit tests. A test declares which names
// are files with which bytes, which decode to which pixels (frame by
// frame), which decoders are installed and which calls fail; afterwards it
// reads back every call made, with its arguments, and what is still alive.
// Like the native library, it refuses every call made while it is not
// started.

#include <cstdint>
#include <string>
#include <vector>

#include "imaging/flat_api.h"

namespace fake {

// What a lock hands back besides the exact block asked for.
enum class Delivery { Exact, WrongSize, WrongFormat, OverlappingRows };

struct ScriptedImage {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<std::uint32_t> argb;  // width * height pixels, top row first; none: all transparent black
  std::int32_t stridePadding = 0;   // bytes after each locked row
  bool bottomUp = false;            // locked rows come with a negative stride
  Gdiplus::PixelFormat pixelFormat = Gdiplus::PixelFormat32bppARGB;
  Delivery delivery = Delivery::Exact;
  // The images after the first, along one dimension.
  Gdiplus::Guid frameDimension = Gdiplus::FrameDimensionPage;
  std::vector<ScriptedImage> laterFrames;
};

// An image of the given size whose pixels all differ from one another.
ScriptedImage PatternImage(std::uint32_t width, std::uint32_t height);

// Forgets every script, call, object and start; the next test starts clean.
void Reset();
void ForgetCalls();

// A file with these bytes; every image and undecodable name is a file too,
// whose bytes name it.
void AddFile(const std::string& name, const std::string& bytes);
void AddImage(const std::string& name, ScriptedImage image);
// The bytes AddImage gives an image's file.
std::string ImageFileBytes(const std::string& name, const ScriptedImage& image);
void AddDecoder(const std::u16string& filenameExtension);
// The platform's policy for the plugin: the header settles PNG sizes only,
// and these extensions are read by the header alone (none by default).
void SetHeaderOnlyExtensions(const std::string& extensions);

// A file whose times are too recent to be settled.
void MakeRecent(const std::string& name);
// A file on a slow disk: each read of the host file (not of the library's
// stream) takes SlowDiskReadMilliseconds.
void PutOnSlowDisk(const std::string& name);
constexpr int SlowDiskReadMilliseconds = 20;

void FailStartup();
void FailLoadOf(const std::string& name);  // the file exists but does not decode
void FailLockOf(const std::string& name);
// Locks of the file fail from this row on, as where a decoder meets broken
// data half-way.
void FailLockFromRow(const std::string& name, std::uint32_t row);
// Loading the file for its pixels lasts until its reads are stopped (at
// most LongestLoadSeconds), reading a piece of the file every millisecond,
// and then fails, as a long decode would.
void LoadUntilStopped(const std::string& name);
constexpr int LongestLoadSeconds = 20;
// The most loads that were under way at once.
int MostLoadsAtOnce();
// The platform's policy: a compare decodes its files side by side (by
// default one after the other, as on Windows).
void DecodeSideBySide();
// The host asks to stop the value of the file while the library next loads it.
void StopWhileLoading(const std::string& name);
void FailNextAlloc();
void FailDecoderFill();
void ReportDecoderBytes(std::uint32_t byteSize);  // overrides the size query

// Every flat call in order, as "Name(arguments)".
const std::vector<std::string>& Calls();
std::vector<std::string> CallsNamed(const std::string& name);

int LiveHandles();
int LiveLocks();
int LiveAllocations();
int LiveStarts();  // starts not shut down yet

// Misuse the library would not survive: a handle disposed twice, an unlock
// of something never locked, a foreign pointer freed, a shutdown of a token
// it did not issue or already shut down, a call while not started.
const std::vector<std::string>& Faults();

}  // namespace fake
