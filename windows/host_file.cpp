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
  // steps that follow. A walk that follows an offset far into the file (a
  // TIFF directory after the image data, a raw image's directory after the
  // previews) and back reads there through a second, smaller block (a
  // directory or a box takes a few hundred bytes), so the file's start is
  // read once. Blocks stay below the size from which the heap
  // maps each block afresh from the system (Wine's from about 100 KiB,
  // Windows' from 508 KiB): a mapped block costs more than the reads it
  // saves.
  std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t size) override {
    if (!stream) return 0;
    if (Serves(start, offset, size)) return start.Copy(offset, buffer, size);
    Block& block = offset == 0 ? start : later;
    const std::size_t ahead = offset == 0 ? BlockBytes : LaterBlockBytes;
    if (size > ahead) return ReadHandleAt(stream.Get()->File(), offset, buffer, size);
    if (!Serves(block, offset, size)) Fill(block, offset, ahead);
    return block.Copy(offset, buffer, size);
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
  // Bytes of the file from offset `at`, as many as were read.
  struct Block {
    std::uint64_t at = 0;
    std::vector<char> bytes;

    // What the block holds of the read; a read past its end stops there.
    std::size_t Copy(std::uint64_t offset, void* buffer, std::size_t size) const {
      if (offset < at || offset - at >= bytes.size()) return 0;
      const auto skip = static_cast<std::size_t>(offset - at);
      const std::size_t copied = std::min(size, bytes.size() - skip);
      std::memcpy(buffer, bytes.data() + skip, copied);
      return copied;
    }
  };

  // Whether the block holds all of the read that lies in the file.
  bool Serves(const Block& block, std::uint64_t offset, std::size_t size) const {
    const std::uint64_t end = block.at + block.bytes.size();
    return offset >= block.at && (offset - block.at + size <= block.bytes.size() || end >= stamp.size);
  }

  // No more than the file holds: a read past its end costs a call too.
  void Fill(Block& block, std::uint64_t offset, std::size_t ahead) {
    const std::uint64_t left = offset < stamp.size ? stamp.size - offset : 0;
    block.bytes.resize(static_cast<std::size_t>(std::min<std::uint64_t>(ahead, left)));
    if (!block.bytes.empty()) {
      block.bytes.resize(ReadHandleAt(stream.Get()->File(), offset, block.bytes.data(), block.bytes.size()));
    }
    block.at = offset;
  }

  static constexpr std::size_t BlockBytes = 64 * 1024;
  static constexpr std::size_t LaterBlockBytes = 16 * 1024;
  Block start;  // the first block read, at the file's start
  Block later;  // the last block read elsewhere: the heap holds both
                // blocks at once without growing, where two of 64 KiB made
                // it map memory afresh on every value
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
