// Host files on Windows. The name is looked up with its attributes, so a
// directory is never opened; the open handle is checked again (a disk file,
// not a directory), and GDI+ reads that handle through a stream, never the
// name.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "plugin/platform.h"
#include "windows/extended_path.h"
#include "windows/gdiplus_picture.h"
#include "windows/handle_stream.h"
#include "windows/owners.h"
#include "windows/wide_host_file.h"

namespace {

std::int64_t Ticks(const FILETIME& time) {
  return static_cast<std::int64_t>((std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime);
}

std::uint64_t Join(DWORD high, DWORD low) { return (std::uint64_t{high} << 32) | low; }

class WindowsHostFile final : public HostFile {
 public:
  explicit WindowsHostFile(const wchar_t* name) : path(ExtendedPath(name)) {
    WIN32_FILE_ATTRIBUTE_DATA attributes{};
    regular = !path.empty() && GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &attributes) &&
              (attributes.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
    if (!regular) return;
    stamp.name.assign(reinterpret_cast<const char*>(path.data()), path.size() * sizeof(wchar_t));
    Describe(attributes.nFileSizeHigh, attributes.nFileSizeLow, attributes.ftLastWriteTime,
             attributes.ftCreationTime);
  }

  bool IsRegular() const override { return regular; }
  const FileStamp& Stamp() const override { return stamp; }

  bool Open() override {
    if (stream) return true;
    if (!regular) return false;
    HANDLE opened = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE) return false;
    stream.Reset(new HandleStream(opened));
    // Not GetFileInformationByHandle: its volume query costs more than the
    // rest of a value together; only a compare needs the volume.
    FILE_BASIC_INFO basic{};
    FILE_STANDARD_INFO standard{};
    if (GetFileType(opened) != FILE_TYPE_DISK ||
        !GetFileInformationByHandleEx(opened, FileBasicInfo, &basic, sizeof basic) ||
        !GetFileInformationByHandleEx(opened, FileStandardInfo, &standard, sizeof standard) ||
        standard.Directory || (basic.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      stream.Reset();
      return false;
    }
    stamp.size = static_cast<std::uint64_t>(standard.EndOfFile.QuadPart);
    stamp.modified = basic.LastWriteTime.QuadPart;
    stamp.changed = basic.CreationTime.QuadPart;
    return true;
  }

  bool UnchangedSinceOpen() override {
    BY_HANDLE_FILE_INFORMATION information{};
    return stream && GetFileInformationByHandle(stream.Get()->File(), &information) &&
           Join(information.nFileSizeHigh, information.nFileSizeLow) == stamp.size &&
           Ticks(information.ftLastWriteTime) == stamp.modified;
  }

  // The creation time is not moved by a write, the last write time is.
  bool StampAtRest() const override {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    return Ticks(now) - stamp.modified > AtRestAfterSeconds * 10000000;
  }

  bool IsSameFileAs(const HostFile& other) const override {
    const auto* same = dynamic_cast<const WindowsHostFile*>(&other);
    BY_HANDLE_FILE_INFORMATION mine{};
    BY_HANDLE_FILE_INFORMATION theirs{};
    return same != nullptr && stream && same->stream && GetFileInformationByHandle(stream.Get()->File(), &mine) &&
           GetFileInformationByHandle(same->stream.Get()->File(), &theirs) &&
           mine.dwVolumeSerialNumber == theirs.dwVolumeSerialNumber &&
           mine.nFileIndexHigh == theirs.nFileIndexHigh && mine.nFileIndexLow == theirs.nFileIndexLow;
  }

  // GDI+ reads the stream from where it stands: each picture starts it
  // afresh.
  std::unique_ptr<Picture> OpenPicture(PictureUse use) override {
    if (stream) stream.Get()->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
    return std::make_unique<GdiplusPicture>(stream.Get(), use);
  }

  void WatchReads(const std::shared_ptr<ReadWatch>& watch) override {
    if (stream) stream.Get()->WatchReads(watch);
  }

  // Network shares, removable and optical drives can keep a read waiting
  // for seconds; a RAM disk is as quick as a fixed one.
  bool OnLocalFixedDisk() const override {
    std::vector<wchar_t> root(path.size() + 1);
    if (!GetVolumePathNameW(path.c_str(), root.data(), static_cast<DWORD>(root.size()))) return false;
    const UINT type = QueryDriveType(root.data());
    return type == DRIVE_FIXED || type == DRIVE_RAMDISK;
  }

  // A header walk steps through the first tens of KiB (EXIF with its
  // thumbnail, XMP) in small reads, and each read of the system costs
  // about what a read of 64 KiB costs: one block read ahead serves the
  // steps that follow. The block stays below the size from which the heap
  // maps each block afresh from the system (Wine's from about 100 KiB,
  // Windows' from 508 KiB): a mapped block costs more than the reads it
  // saves.
  std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t size) override {
    if (!stream) return 0;
    if (size > BlockBytes) return ReadHandleAt(stream.Get()->File(), offset, buffer, size);
    if (block.empty() || offset < blockStart || offset - blockStart + size > block.size()) {
      // No more than the file holds: a read past its end costs a call too.
      const std::uint64_t left = offset < stamp.size ? stamp.size - offset : 0;
      block.resize(static_cast<std::size_t>(std::min<std::uint64_t>(BlockBytes, std::max<std::uint64_t>(left, size))));
      block.resize(ReadHandleAt(stream.Get()->File(), offset, block.data(), block.size()));
      blockStart = offset;
    }
    const std::uint64_t skip = offset - blockStart;
    if (skip >= block.size()) return 0;
    const std::size_t copied = std::min<std::size_t>(size, block.size() - static_cast<std::size_t>(skip));
    std::memcpy(buffer, block.data() + skip, copied);
    return copied;
  }

 private:
  void Describe(DWORD sizeHigh, DWORD sizeLow, const FILETIME& written, const FILETIME& created) {
    stamp.size = Join(sizeHigh, sizeLow);
    stamp.modified = Ticks(written);
    stamp.changed = Ticks(created);
  }

  std::wstring path;
  bool regular = false;
  FileStamp stamp;
  UniqueStreamReference stream;
  static constexpr std::size_t BlockBytes = 64 * 1024;
  std::vector<char> block;
  std::uint64_t blockStart = 0;
};

}  // namespace

UINT(WINAPI* QueryDriveType)(LPCWSTR volumeRoot) = GetDriveTypeW;

std::unique_ptr<HostFile> FindHostFileW(const wchar_t* name) { return std::make_unique<WindowsHostFile>(name); }

// A name that does not convert cleanly names no file: a replacement
// character could name another one.
std::unique_ptr<HostFile> FindHostFile(const char* name) {
  std::vector<wchar_t> wide;
  const int units = name != nullptr ? MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED | MB_ERR_INVALID_CHARS, name, -1,
                                                          nullptr, 0)
                                    : 0;
  if (units > 0) {
    wide.resize(static_cast<std::size_t>(units));
    MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED | MB_ERR_INVALID_CHARS, name, -1, wide.data(), units);
  }
  return FindHostFileW(units > 0 ? wide.data() : L"");
}
