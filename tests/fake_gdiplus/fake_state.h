#pragma once
// What the stand-in keeps between calls, shared by its imaging calls and its
// host files.

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "plugin/read_watch.h"
#include "tests/fake_gdiplus/fake_gdiplus.h"

// The stream of a stand-in host file names the file.
struct IStream {
  std::string name;
  std::shared_ptr<ReadWatch> watch = nullptr;  // reads fail once its stop is set
};

namespace fake {

struct Lock {
  std::vector<std::uint8_t> bytes;
};

struct Handle {
  std::string name;
  ScriptedImage image;
  std::size_t frame;  // 0: the first image, else laterFrames[frame - 1]
  std::unique_ptr<Lock> lock;
};

struct State {
  std::map<std::string, std::string> files;
  std::map<std::string, ScriptedImage> images;
  std::set<std::string> undecodable;
  std::set<std::string> stoppedWhileLoading;
  std::set<std::string> lockFailures;
  std::map<std::string, std::uint32_t> lockFailuresFromRow;
  std::set<std::string> loadsUntilStopped;
  int loadsUnderWay = 0;
  int mostLoadsAtOnce = 0;
  bool decodesSideBySide = false;
  std::set<std::string> recentFiles;
  std::set<std::string> slowDiskFiles;
  std::vector<std::u16string> decoders;
  std::string headerOnlyExtensions;
  bool failStartup = false;
  bool failNextAlloc = false;
  bool failDecoderFill = false;
  bool decoderBytesOverridden = false;
  std::uint32_t decoderBytes = 0;
  std::uintptr_t nextToken = 0x1000;
  std::set<std::uintptr_t> liveTokens;
  std::vector<std::string> calls;
  std::vector<std::string> faults;
  std::set<Handle*> handles;
  std::set<void*> allocations;
  int liveLocks = 0;
  // Tells the files of one test from those of the next, as a file's times
  // would, so no size cached in one test answers in another.
  std::int64_t generation = 0;
};

State& S();
void Log(const std::string& call);
std::recursive_mutex& Mutex();

}  // namespace fake
