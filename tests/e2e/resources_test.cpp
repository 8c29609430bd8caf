// The plugin file carries the icon the host draws beside an equal verdict,
// its version block and its manifest.
#include <windows.h>

#include <string>
#include <vector>

#include "tests/e2e/plugin_fixture.h"

namespace {

std::string VersionString(const std::vector<char>& block, const char* name) {
  char* value = nullptr;
  UINT length = 0;
  const std::string key = std::string("\\StringFileInfo\\040904B0\\") + name;
  if (!VerQueryValueA(block.data(), key.c_str(), reinterpret_cast<void**>(&value), &length)) return "";
  return std::string(value, length > 0 ? length - 1 : 0);
}

TEST(Resources, IconVersionBlockAndManifest) {
  HMODULE module = LoadLibraryExA(PIXDIM_PLUGIN, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(module, nullptr);
  EXPECT_NE(FindResourceA(module, MAKEINTRESOURCEA(100), MAKEINTRESOURCEA(14)), nullptr)  // icon group
      << "no icon group 100";
  EXPECT_NE(FindResourceA(module, MAKEINTRESOURCEA(2), MAKEINTRESOURCEA(24)), nullptr)  // manifest
      << "no manifest";
  FreeLibrary(module);

  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(PIXDIM_PLUGIN, &ignored);
  ASSERT_GT(size, 0u);
  std::vector<char> block(size);
  ASSERT_TRUE(GetFileVersionInfoA(PIXDIM_PLUGIN, 0, size, block.data()));
  EXPECT_EQ(VersionString(block, "ProductName"), "pixdim");
  EXPECT_EQ(VersionString(block, "FileVersion"), PIXDIM_VERSION);
  EXPECT_FALSE(VersionString(block, "FileDescription").empty());
}

}  // namespace
