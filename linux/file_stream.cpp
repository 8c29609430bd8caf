#include "linux/file_stream.h"

#include <unistd.h>

#include <cerrno>

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

