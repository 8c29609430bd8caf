// Host files on Linux. A name is a string of bytes and goes to the system
// unchanged, whatever its encoding and up to the system's path limit. The
// name is looked up with stat, so a FIFO, socket or device is never opened
// (opening some devices has effects of its own); the open file is checked
// again with fstat, and opened without waiting, so whatever the name came
// to mean in between, nothing blocks and nothing but a regular file is read.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>

#include "linux/open_file.h"
#include "linux/owners.h"
#include "linux/pixbuf_picture.h"
#include "plugin/platform.h"

namespace {

std::int64_t Nanoseconds(const timespec& time) {
  return static_cast<std::int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
}

class LinuxHostFile final : public HostFile {
 public:
  explicit LinuxHostFile(const char* name) {
    stamp.name = name != nullptr ? name : "";
    struct stat status {};
    regular = stat(stamp.name.c_str(), &status) == 0 && S_ISREG(status.st_mode);
    if (regular) Describe(status);
  }

  bool IsRegular() const override { return regular; }
  const FileStamp& Stamp() const override { return stamp; }

  bool Open() override {
    if (file) return true;
    if (!regular) return false;
    file.Reset(open(stamp.name.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat status {};
    if (!file || fstat(file.Get(), &status) != 0 || !S_ISREG(status.st_mode)) {
      file.Reset();
      return false;
    }
    Describe(status);
    opened = {file.Get(), stamp.size, stamp.name, opened.watch};
    return true;
  }

  bool UnchangedSinceOpen() override {
    struct stat status {};
    return file && fstat(file.Get(), &status) == 0 && static_cast<std::uint64_t>(status.st_size) == stamp.size &&
           Nanoseconds(status.st_mtim) == stamp.modified && Nanoseconds(status.st_ctim) == stamp.changed;
  }

  bool StampAtRest() const override {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    const std::int64_t latest = std::max(stamp.modified, stamp.changed);
    return Nanoseconds(now) - latest > AtRestAfterSeconds * 1000000000;
  }

  bool IsSameFileAs(const HostFile& other) const override {
    const auto* same = dynamic_cast<const LinuxHostFile*>(&other);
    return same != nullptr && file && same->file && device == same->device &&
           stamp.identity == same->stamp.identity;
  }

  std::unique_ptr<Picture> OpenPicture(PictureUse /*use*/) override {
    static const HeaderFacts none;
    return std::make_unique<PixbufPicture>(opened, file ? Facts() : none);
  }

  void WatchReads(const std::shared_ptr<ReadWatch>& watch) override { opened.watch = watch; }

  // The host waits for values only on Windows.
  bool OnLocalFixedDisk() const override { return true; }

  std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t size) override {
    return file ? ReadFileAt(file.Get(), offset, buffer, size) : 0;
  }

 private:
  void Describe(const struct stat& status) {
    stamp.size = static_cast<std::uint64_t>(status.st_size);
    stamp.modified = Nanoseconds(status.st_mtim);
    stamp.changed = Nanoseconds(status.st_ctim);
    stamp.identity = status.st_ino;
    device = status.st_dev;
  }

  OpenFile opened;
  bool regular = false;
  FileStamp stamp;
  dev_t device = 0;
  UniqueFd file;
};

}  // namespace

std::size_t ReadFileAt(int fd, std::uint64_t offset, void* buffer, std::size_t size) {
  auto* bytes = static_cast<char*>(buffer);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t read = pread(fd, bytes + done, size - done, static_cast<off_t>(offset + done));
    if (read < 0 && errno == EINTR) continue;
    if (read <= 0) break;
    done += static_cast<std::size_t>(read);
  }
  return done;
}

std::size_t ReadForDecoder(const OpenFile& file, std::uint64_t offset, void* buffer, std::size_t size) {
  if (file.watch && !file.watch->Allows()) return 0;
  const std::size_t read = ReadFileAt(file.fd, offset, buffer, size);
  if (file.watch) file.watch->Count(read);
  return read;
}

std::unique_ptr<HostFile> FindHostFile(const char* name) { return std::make_unique<LinuxHostFile>(name); }
