// The delay flag on Windows: a size the header settles on a local fixed
// disk, or that the size cache holds, is answered at once; a file GDI+
// must load (a metafile), and any file on a network, removable or optical
// drive, is left for the host's background thread. The drive cases run on
// the plugin's code in this program, which presents the fixtures' drive as
// another kind.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "plugin/exports.h"
#include "tests/e2e/bounded_call.h"
#include "tests/e2e/plugin_fixture.h"
#include "tests/e2e/png_chunks.h"
#include "windows/wide_host_file.h"

namespace {

constexpr int DelayIfSlow = 1;
constexpr int Delayed = 0;
constexpr int Integer = 1;

int AskDelayable(std::int32_t& width, const std::string& file) {
  width = -1;
  return Exports().GetValue(file.c_str(), FieldWidth, 0, &width, sizeof width, DelayIfSlow);
}

// Files of a folder of their own: names the plugin has not seen, so no
// cached size answers for them.
std::filesystem::path FreshFolder() {
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / "pixdim-delay";
  std::filesystem::create_directories(folder);
  return folder;
}

// A small enhanced metafile, drawn by GDI itself.
std::string WriteMetafile() {
  const std::filesystem::path file = FreshFolder() / "drawing.emf";
  const RECT frame{0, 0, 2000, 1000};  // in 0.01 mm
  HDC dc = CreateEnhMetaFileW(nullptr, file.wstring().c_str(), &frame, nullptr);
  Rectangle(dc, 10, 10, 50, 30);
  DeleteEnhMetaFile(CloseEnhMetaFile(dc));
  return file.string();
}

using DelayFlag = StartedPlugin;

TEST_F(DelayFlag, HeaderSizesOnALocalDiskAnswerAtOnce) {
  std::int32_t width = -1;
  for (const char* file : {"photo.png", "photo.jpg", "photo.gif", "photo.bmp", "photo.tif", "photo.heic"}) {
    EXPECT_EQ(AskDelayable(width, Fixture(file)), Integer) << file;
    EXPECT_EQ(width, 64) << file;
  }
}

TEST_F(DelayFlag, WhatGdiplusMustLoadIsDelayedThenAnswered) {
  const std::string metafile = WriteMetafile();
  std::int32_t width = -1;
  EXPECT_EQ(AskDelayable(width, metafile), Delayed);
  EXPECT_EQ(width, -1);  // left alone
  // The host's background thread asks again without the flag.
  EXPECT_EQ(Exports().GetValue(metafile.c_str(), FieldWidth, 0, &width, sizeof width, 0), Integer);
  EXPECT_GT(width, 0);
  // Which icon entry shows is GDI+'s choice.
  const std::filesystem::path icon = FreshFolder() / "fresh.ico";
  std::filesystem::copy_file(Fixture("icon.ico"), icon, std::filesystem::copy_options::overwrite_existing);
  EXPECT_EQ(AskDelayable(width, icon.string()), Delayed);
  std::filesystem::remove_all(FreshFolder());
}

void AppendBe32(std::string& bytes, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) bytes += static_cast<char>(value >> shift & 0xff);
}

void AppendLe(std::string& bytes, std::uint32_t value, int count) {
  for (int i = 0; i < count; ++i) bytes += static_cast<char>(value >> (8 * i) & 0xff);
}

// An RGB PNG of side x side pixels, its rows stored in uncompressed
// deflate blocks: every byte of the image is read from the file.
std::string LargePng(std::uint32_t side) {
  std::string rows;
  for (std::uint32_t y = 0; y < side; ++y) {
    rows += '\0';  // no filter
    for (std::uint32_t x = 0; x < side; ++x) {
      rows += static_cast<char>(x * 7 + y);
      rows += static_cast<char>(x ^ y);
      rows += static_cast<char>(y * 3);
    }
  }
  std::string zlib("\x78\x01", 2);
  constexpr std::size_t StoredBlockBytes = 65535;
  for (std::size_t at = 0; at < rows.size(); at += StoredBlockBytes) {
    const std::size_t length = std::min(StoredBlockBytes, rows.size() - at);
    zlib += static_cast<char>(at + length == rows.size() ? 1 : 0);  // the last block, stored
    AppendLe(zlib, static_cast<std::uint32_t>(length), 2);
    AppendLe(zlib, static_cast<std::uint32_t>(~length), 2);
    zlib.append(rows, at, length);
  }
  std::uint32_t a = 1;
  std::uint32_t b = 0;
  for (unsigned char c : rows) {
    a = (a + c) % 65521;
    b = (b + a) % 65521;
  }
  AppendBe32(zlib, b << 16 | a);
  std::string header;
  AppendBe32(header, side);
  AppendBe32(header, side);
  header += std::string("\x08\x02\x00\x00\x00", 5);  // 8-bit RGB, not interlaced
  std::string png = std::string("\x89PNG\r\n\x1a\n", 8) + Chunk("IHDR", header);
  constexpr std::size_t IdatBytes = 1 << 20;
  for (std::size_t at = 0; at < zlib.size(); at += IdatBytes) png += Chunk("IDAT", zlib.substr(at, IdatBytes));
  return png + Chunk("IEND", "");
}

// An icon whose one entry is that PNG: GDI+ must load it for its size, and
// reads all of it to do so.
void WriteLargeIcon(const std::filesystem::path& file) {
  const std::string png = LargePng(2000);
  std::string icon;
  AppendLe(icon, 0, 2);
  AppendLe(icon, 1, 2);  // an icon
  AppendLe(icon, 1, 2);  // one entry
  AppendLe(icon, 0, 4);  // 256 x 256 or more, no palette
  AppendLe(icon, 1, 2);  // planes
  AppendLe(icon, 32, 2);  // bits per pixel
  AppendLe(icon, static_cast<std::uint32_t>(png.size()), 4);
  AppendLe(icon, 22, 4);  // the entry's offset, after this directory
  std::ofstream(file, std::ios::binary | std::ios::trunc) << icon << png;
}

// Asks the width without the delay flag, as the host's background thread
// does, while another thread asks to stop it until it returns.
template <typename Ask, typename Stop>
int AskWhileStopping(Ask ask, Stop stop) {
  std::atomic<bool> answered{false};
  std::thread stopper([&] {
    while (!answered) {
      stop();
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  });
  const int code = ask();
  answered = true;
  stopper.join();
  return code;
}

// The host stops a value it no longer waits for: GDI+'s reads of the file
// fail and the load ends with an empty field. A stop while nothing is read
// is harmless, and no stop outlasts the load it reached. It needs two
// threads, so the emulated 32-bit run leaves it out (cmake/wine-run.sh).
TEST_F(DelayFlag, ConcurrentStopEndsTheLoadEmptyAndTheNextOneIsSized) {
  ASSERT_NE(Exports().StopGetValueW, nullptr);
  ASSERT_NE(Exports().StopGetValue, nullptr);
  const std::filesystem::path wide = FreshFolder() / "large-wide.ico";
  const std::filesystem::path ansi = FreshFolder() / "large-ansi.ico";
  WriteLargeIcon(wide);
  std::filesystem::copy_file(wide, ansi, std::filesystem::copy_options::overwrite_existing);
  const std::u16string wideName(wide.u16string());
  const std::string ansiName(ansi.string());
  std::int32_t width = -1;
  const auto askWide = [&] { return Exports().GetValueW(wideName.c_str(), FieldWidth, 0, &width, sizeof width, 0); };
  const auto askAnsi = [&] { return Exports().GetValue(ansiName.c_str(), FieldWidth, 0, &width, sizeof width, 0); };
  const auto stopWide = [&] { Exports().StopGetValueW(wideName.c_str()); };
  const auto stopAnsi = [&] { Exports().StopGetValue(ansiName.c_str()); };

  for (int i = 0; i < 3; ++i) stopWide();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(WithinSeconds(120, "a stopped load", [&] { return AskWhileStopping(askWide, stopWide); }),
            ValueFieldEmpty);
  const auto stopped = std::chrono::steady_clock::now();
  EXPECT_EQ(width, -1);  // left alone
  EXPECT_EQ(WithinSeconds(120, "a whole load", askWide), Integer);
  const auto whole = std::chrono::steady_clock::now();
  EXPECT_GT(width, 0);
  std::printf("stopped load %lld ms, whole load %lld ms\n",
              static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(stopped - start).count()),
              static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(whole - stopped).count()));

  width = -1;
  EXPECT_EQ(WithinSeconds(120, "a stopped load", [&] { return AskWhileStopping(askAnsi, stopAnsi); }),
            ValueFieldEmpty);
  EXPECT_EQ(width, -1);
  std::filesystem::remove_all(FreshFolder());
}

UINT WINAPI RemoteDrive(LPCWSTR /*root*/) { return DRIVE_REMOTE; }
UINT WINAPI RemovableDrive(LPCWSTR /*root*/) { return DRIVE_REMOVABLE; }
UINT WINAPI OpticalDrive(LPCWSTR /*root*/) { return DRIVE_CDROM; }

// One file for each kind of drive, none asked before, so no cached size
// answers for it.
TEST(DelayFlagOnSlowDrives, NetworkRemovableAndOpticalDrivesAreDelayed) {
  ContentSetDefaultParams(nullptr);
  const struct {
    UINT(WINAPI* type)(LPCWSTR);
    const char* file;
  } drives[] = {{RemoteDrive, "wide.png"}, {RemovableDrive, "short.png"}, {OpticalDrive, "photo-alpha.png"}};
  for (const auto& drive : drives) {
    QueryDriveType = drive.type;
    std::int32_t width = -1;
    EXPECT_EQ(ContentGetValue(Fixture(drive.file).c_str(), FieldWidth, 0, &width, sizeof width, DelayIfSlow), Delayed)
        << drive.file;
    EXPECT_EQ(width, -1);
    // Without the flag the value is read, and cached: the slow drive is
    // not asked again for it.
    EXPECT_EQ(ContentGetValue(Fixture(drive.file).c_str(), FieldWidth, 0, &width, sizeof width, 0), Integer);
    EXPECT_EQ(ContentGetValue(Fixture(drive.file).c_str(), FieldHeight, 0, &width, sizeof width, DelayIfSlow), Integer)
        << drive.file;
  }
  QueryDriveType = GetDriveTypeW;
  ContentPluginUnloading();
}

}  // namespace
