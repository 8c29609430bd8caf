// The delay flag on Windows: a size the header settles on a local fixed
// disk, or that the size cache holds, is answered at once; a file GDI+
// must load (a metafile), and any file on a network, removable or optical
// drive, is left for the host's background thread. The drive cases run on
// the plugin's code in this program, which presents the fixtures' drive as
// another kind.
#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "plugin/exports.h"
#include "tests/e2e/plugin_fixture.h"
#include "windows/wide_host_file.h"

namespace {

constexpr int DelayIfSlow = 1;
constexpr int Delayed = 0;
constexpr int Integer = 1;

int AskDelayable(std::int32_t& width, const std::string& file) {
  width = -1;
  return Exports().GetValue(file.c_str(), 0, 0, &width, sizeof width, DelayIfSlow);
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
  EXPECT_EQ(Exports().GetValue(metafile.c_str(), 0, 0, &width, sizeof width, 0), Integer);
  EXPECT_GT(width, 0);
  // Which icon entry shows is GDI+'s choice.
  const std::filesystem::path icon = FreshFolder() / "fresh.ico";
  std::filesystem::copy_file(Fixture("icon.ico"), icon, std::filesystem::copy_options::overwrite_existing);
  EXPECT_EQ(AskDelayable(width, icon.string()), Delayed);
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
    EXPECT_EQ(ContentGetValue(Fixture(drive.file).c_str(), 0, 0, &width, sizeof width, DelayIfSlow), Delayed)
        << drive.file;
    EXPECT_EQ(width, -1);
    // Without the flag the value is read, and cached: the slow drive is
    // not asked again for it.
    EXPECT_EQ(ContentGetValue(Fixture(drive.file).c_str(), 0, 0, &width, sizeof width, 0), Integer);
    EXPECT_EQ(ContentGetValue(Fixture(drive.file).c_str(), 1, 0, &width, sizeof width, DelayIfSlow), Integer)
        << drive.file;
  }
  QueryDriveType = GetDriveTypeW;
  ContentPluginUnloading();
}

}  // namespace
