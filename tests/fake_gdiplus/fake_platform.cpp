// The platform of the stand-in. Host files: the files a test declared,
// read from memory as they are at each read, so a test can rewrite one while
// it is read; every other name is not a regular file. They open pictures on
// GDI+, and so on the stand-in for it. Policies: the header settles PNG
// sizes only, values are never delayed, and a test names the formats only
// the header reader reads.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "plugin/platform.h"
#include "tests/fake_gdiplus/fake_state.h"
#include "windows/gdiplus_picture.h"

namespace {

class FakeHostFile final : public HostFile {
 public:
  explicit FakeHostFile(const char* name) {
    stream.name = name;
    const auto found = fake::S().files.find(stream.name);
    regular = found != fake::S().files.end();
    if (regular) bytesAtOpen = found->second;
    stamp.name = stream.name;
    stamp.size = bytesAtOpen.size();
    stamp.modified = fake::S().generation;
  }

  bool IsRegular() const override { return regular; }
  const FileStamp& Stamp() const override { return stamp; }
  bool Open() override {
    opened = regular;
    return opened;
  }
  bool StampAtRest() const override { return fake::S().recentFiles.count(stream.name) == 0; }
  bool UnchangedSinceOpen() override { return opened && Bytes() == bytesAtOpen; }
  bool IsSameFileAs(const HostFile& other) const override {
    const auto* same = dynamic_cast<const FakeHostFile*>(&other);
    return same != nullptr && opened && same->opened && same->stream.name == stream.name;
  }
  std::unique_ptr<Picture> OpenPicture(PictureUse use) override {
    return std::make_unique<GdiplusPicture>(&stream, use);
  }
  void WatchReads(const std::shared_ptr<ReadWatch>& watch) override { stream.watch = watch; }
  bool OnLocalFixedDisk() const override { return true; }
  std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t size) override {
    if (!opened) return 0;
    if (fake::S().slowDiskFiles.count(stream.name) != 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(fake::SlowDiskReadMilliseconds));
    }
    const std::string& bytes = Bytes();
    if (offset >= bytes.size()) return 0;
    const std::size_t count = std::min<std::size_t>(size, bytes.size() - offset);
    std::memcpy(buffer, bytes.data() + offset, count);
    return count;
  }

 private:
  const std::string& Bytes() const { return fake::S().files.at(stream.name); }

  IStream stream;
  std::string bytesAtOpen;
  bool regular = false;
  bool opened = false;
  FileStamp stamp;
};

}  // namespace

std::unique_ptr<HostFile> FindHostFile(const char* name) { return std::make_unique<FakeHostFile>(name); }

bool HeaderSettlesSize(ImageFormat format) { return format == ImageFormat::Png; }

const char* HeaderOnlyExtensions() { return fake::S().headerOnlyExtensions.c_str(); }

bool DecodesSideBySide() { return fake::S().decodesSideBySide; }

const bool DelayedValuesAllowed = false;
const std::uint64_t RowBandBytes = std::uint64_t{1} << 20;
