#pragma once
// A file the host names. Only a regular file is ever opened for reading: a
// directory, FIFO, socket or device reads as unreadable at once, so no call
// can block on one or read from it without end. Whether the file is regular
// is decided again on the open file, and the decoder reads that open file,
// never the name, so nothing can be swapped in between. Each platform
// implements this (FindHostFile in plugin/platform.h).

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "imaging/header_facts.h"
#include "plugin/picture.h"
#include "plugin/read_watch.h"

// What tells one state of a file's contents from another: its name, size
// and times at the file system's full resolution, and its identity where
// the platform gives one cheaply.
struct FileStamp {
  std::string name;  // the platform's own spelling of the path, as bytes
  std::uint64_t size = 0;
  std::int64_t modified = 0;
  std::int64_t changed = 0;
  std::uint64_t identity = 0;

  // The numbers first: they tell most files apart at once, and paths in
  // one folder share a long beginning.
  bool operator==(const FileStamp& other) const {
    return identity == other.identity && modified == other.modified && size == other.size &&
           changed == other.changed && name == other.name;
  }
};

// How old a file's times must be before they count as settled: above the
// coarsest write-time resolution of the file systems a host reads (FAT
// keeps two seconds), so a later write always shows in the times.
constexpr std::int64_t AtRestAfterSeconds = 3;

class HostFile : public ByteSource {
 public:
  // True when the name was looked up as a regular file; the file is not
  // opened for that.
  virtual bool IsRegular() const = 0;
  virtual const FileStamp& Stamp() const = 0;

  // Opens the file for reading, never waiting on it, and checks that the
  // open file is a regular file; false otherwise. The stamp then describes
  // the open file.
  virtual bool Open() = 0;

  // Whether the open file still has the size and times it had when it was
  // opened. A file written to while it was read may have been read half
  // old, half new: what was read of it proves nothing.
  virtual bool UnchangedSinceOpen() = 0;

  // Whether the file's times lie so far in the past that no write can still
  // be under way behind them. A writer moves the times before its bytes
  // land, so a size read from a file whose times are recent may be the old
  // one under the new stamp: only a stamp at rest may answer for a size later.
  virtual bool StampAtRest() const = 0;

  // Whether both open files are one and the same file.
  virtual bool IsSameFileAs(const HostFile& other) const = 0;

  // The open file as the platform's decoder shows it, with the header facts
  // read so far; never null (a file that does not decode reads 0 by 0). The
  // picture reads this file, so it must not outlive it.
  virtual std::unique_ptr<Picture> OpenPicture(PictureUse use) = 0;

  // From now on the decoder's reads of the open file count their bytes in
  // the watch and fail once its stop is set, so a load nobody waits for
  // ends early. Pictures opened later read under it.
  virtual void WatchReads(const std::shared_ptr<ReadWatch>& watch) = 0;

  std::uint64_t Size() const override { return Stamp().size; }

  // Whether the file lies on a local fixed disk, where a read never waits
  // on a network or a medium; asked of the name, before the file is opened.
  virtual bool OnLocalFixedDisk() const = 0;

  // What the open file's header says, as far as reach asks: read on first
  // use after Open, and kept, so the sizes, the compare and the decoder's
  // own opening of the file share one header read. Facts read for a
  // farther reach answer for a nearer one too.
  const HeaderFacts& Facts(Reach reach = Reach::Sizes) {
    if (!factsRead || reach > factsReach) {
      facts = ReadHeaderFacts(*this, reach);
      factsReach = reach;
    }
    factsRead = true;
    return facts;
  }

 private:
  HeaderFacts facts;
  bool factsRead = false;
  Reach factsReach = Reach::Sizes;
};
