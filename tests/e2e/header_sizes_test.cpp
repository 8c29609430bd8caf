// Sizes the header settles on every plugin: WebP, AVIF and HEIC pictures
// show their stored sizes on Windows too, where GDI+ reads none of them,
// and a file rewritten in place is read again. On Windows those formats
// compare equal only as the same bytes: nothing there decodes them.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/e2e/plugin_fixture.h"

namespace {

std::string Dimensions(const std::string& file) {
  char text[64] = "";
  Exports().GetValue(file.c_str(), 2, 0, text, sizeof text, 0);
  return text;
}

std::int32_t Width(const std::string& file) {
  std::int32_t width = -1;
  Exports().GetValue(file.c_str(), 0, 0, &width, sizeof width, 0);
  return width;
}

int Compare(const std::string& first, const std::string& second) {
  return Exports().CompareFiles(nullptr, 10000, Fixture(first).c_str(), Fixture(second).c_str(), nullptr);
}

using HeaderSizes = StartedPlugin;

TEST_F(HeaderSizes, WebPAvifAndHeicShowTheirSizes) {
  for (const char* file : {"photo-lossless.webp", "photo-lossy.webp", "photo-lossless.avif", "photo.heic"}) {
    EXPECT_EQ(Dimensions(Fixture(file)), "64 x 48") << file;
  }
}

TEST_F(HeaderSizes, TodaysFormatsCompareAsThePlatformDecodesThem) {
  EXPECT_EQ(Compare("photo.heic", "photo-copy.heic"), Equal);
  EXPECT_EQ(Compare("anim-a.webp", "anim-a-copy.webp"), Equal);
  EXPECT_EQ(Compare("photo.heic", "photo.png"), Different);  // lossy
  // The same picture losslessly: Linux decodes both, Windows neither.
  EXPECT_EQ(Compare("photo-lossless.webp", "photo.png"), PIXDIM_DELAYS_VALUES ? Different : Equal);
  EXPECT_EQ(Compare("photo-lossless.avif", "photo-lossless.webp"), PIXDIM_DELAYS_VALUES ? Different : Equal);
}

// The host asks for the columns of a file it showed before; the file has
// been rewritten since, with another picture.
TEST_F(HeaderSizes, ARewrittenFileIsReadAgain) {
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / "pixdim-rewritten";
  std::filesystem::create_directories(folder);
  const std::filesystem::path file = folder / "picture.png";
  std::filesystem::copy_file(Fixture("photo.png"), file, std::filesystem::copy_options::overwrite_existing);
  EXPECT_EQ(Dimensions(file.string()), "64 x 48");
  {
    std::ifstream tall(Fixture("tall.png"), std::ios::binary);
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << tall.rdbuf();
  }
  EXPECT_EQ(Width(file.string()), 480);
  EXPECT_EQ(Dimensions(file.string()), "480 x 640");
  std::filesystem::remove_all(folder);
}

}  // namespace
