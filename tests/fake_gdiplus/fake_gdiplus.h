#pragma once
// A scriptable stand-in for the imaging library's flat interface, for the
// native unit tests. A test declares which paths decode to which pixels,
// which decoders are installed and which calls fail; afterwards it reads
// back every call made, with its arguments, and what is still alive.

#include <cstdint>
#include <string>
#include <vector>

namespace fake {

struct ScriptedImage {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<std::uint32_t> argb;  // width * height pixels, top row first
  std::int32_t stridePadding = 0;   // bytes after each locked row
  bool bottomUp = false;            // locked rows come with a negative stride
};

// An image of the given size whose pixels all differ from one another.
ScriptedImage PatternImage(std::uint32_t width, std::uint32_t height);

// Forgets every script, call and object; the next test starts clean.
void Reset();

void AddImage(const std::string& path, ScriptedImage image);
void AddDecoder(const std::u16string& filenameExtension);

void FailLoadOf(const std::string& path);  // the file exists but does not decode
void FailLockOf(const std::string& path);
void FailNextAlloc();
void FailDecoderFill();
void FailClone();
void ReportDecoderBytes(std::uint32_t byteSize);  // overrides the size query

// Every flat call in order, as "Name(arguments)".
const std::vector<std::string>& Calls();
std::vector<std::string> CallsNamed(const std::string& name);

int LiveHandles();
int LiveLocks();
int LiveAllocations();

// Misuse the library would not survive: a handle disposed twice, an unlock
// of something never locked, a foreign pointer freed.
const std::vector<std::string>& Faults();

}  // namespace fake
