#include "plugin/size_cache.h"

bool SizeCache::Find(const FileStamp& stamp, ImageSize& size) {
  const std::lock_guard<std::mutex> lock(mutex);
  for (const Entry& entry : entries) {
    if (entry.used && entry.stamp == stamp) {
      size = entry.size;
      return true;
    }
  }
  return false;
}

void SizeCache::Store(const FileStamp& stamp, ImageSize size) {
  const std::lock_guard<std::mutex> lock(mutex);
  for (Entry& entry : entries) {
    if (entry.used && entry.stamp.name == stamp.name) {
      entry = {stamp, size, true};
      return;
    }
  }
  entries[next] = {stamp, size, true};
  next = (next + 1) % Entries;
}
