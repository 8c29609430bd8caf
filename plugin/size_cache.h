#pragma once
// The sizes of the last few files read. The host asks for Width, Height
// and Dimensions of each file one after the other; with this it reads the
// file once. An entry answers only for the very same stamp, so a file that
// was rewritten, replaced or touched is read again. Safe to use from
// several threads.

#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>

#include "plugin/host_file.h"
#include "plugin/picture.h"

class SizeCache {
 public:
  bool Find(const FileStamp& stamp, ImageSize& size);
  void Store(const FileStamp& stamp, ImageSize size);

 private:
  struct Entry {
    FileStamp stamp;
    ImageSize size;
    bool used = false;
  };
  static constexpr std::size_t Entries = 16;

  std::mutex mutex;
  std::array<Entry, Entries> entries;
  std::size_t next = 0;  // the oldest entry, replaced next
};
