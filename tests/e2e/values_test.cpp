#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <chrono>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/plugin_fixture.h"

namespace {

struct Values {
  std::int32_t width;
  std::int32_t height;
  std::string dimensions;
  int widthType;
  int heightType;
  int dimensionsType;
  bool operator==(const Values& other) const {
    return width == other.width && height == other.height && dimensions == other.dimensions &&
           widthType == other.widthType && heightType == other.heightType &&
           dimensionsType == other.dimensionsType;
  }
};

// Shown when an expectation fails.
std::ostream& operator<<(std::ostream& out, const Values& values) {
  return out << values.width << "/" << values.widthType << ", " << values.height << "/"
             << values.heightType << ", \"" << values.dimensions << "\"/" << values.dimensionsType;
}

Values Ask(const std::string& file) {
  Values values{};
  char text[64] = "";
  values.widthType = Exports().GetValue(file.c_str(), FieldWidth, 0, &values.width, 4, 0);
  values.heightType = Exports().GetValue(file.c_str(), FieldHeight, 0, &values.height, 4, 0);
  values.dimensionsType = Exports().GetValue(file.c_str(), FieldDimensions, 0, text, sizeof text, 0);
  values.dimensions = text;
  return values;
}

Values Sized(std::int32_t width, std::int32_t height) {
  return {width, height, std::to_string(width) + " x " + std::to_string(height), 1, 1, 8};
}

using FieldValues = StartedPlugin;

TEST_F(FieldValues, SizesOfEveryCommonFormat) {
  EXPECT_EQ(Ask(Fixture("photo.png")), Sized(64, 48));
  EXPECT_EQ(Ask(Fixture("photo.bmp")), Sized(64, 48));
  EXPECT_EQ(Ask(Fixture("photo.jpg")), Sized(64, 48));
  EXPECT_EQ(Ask(Fixture("photo.gif")), Sized(64, 48));
  EXPECT_EQ(Ask(Fixture("photo.tif")), Sized(64, 48));
  EXPECT_EQ(Ask(Fixture("icon.ico")), Sized(48, 32));
  EXPECT_EQ(Ask(Fixture("tall.png")), Sized(480, 640));
}

TEST_F(FieldValues, ContentDecidesNotTheExtension) {
  EXPECT_EQ(Ask(Fixture("png-in-disguise.dat")), Sized(64, 48));
}

// No picture has a size of 0: a file that holds none shows nothing, a
// name that is no file is left out of the host's search, and the host's
// buffer stays as it was, with or without the delay flag. Windows leaves
// what only GDI+ can tell for the host's background thread.
TEST_F(FieldValues, FilesWithoutAPictureAndNamesWithoutAFile) {
  for (int flags : {0, 1}) {
    for (const char* file : {"empty.png", "notes.txt"}) {
      EXPECT_EQ(ValueCode(Fixture(file), flags), PIXDIM_DELAYS_VALUES && flags ? 0 : ValueFieldEmpty) << file;
    }
    for (const std::string& file : {Fixture("missing.png"), Fixture(""), std::string()}) {
      EXPECT_EQ(ValueCode(file, flags), ValueFileError) << file;
    }
  }
}

// A picture cut short after its header's first bytes: the header does not
// settle its size and the imaging library cannot decode it.
TEST_F(FieldValues, APictureCutShortHoldsNone) {
  namespace fs = std::filesystem;
  std::ifstream in(Fixture("photo.png"), std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), {});
  const fs::path file = fs::temp_directory_path() / "pixdim-e2e-cut.png";
  for (std::size_t length : {std::size_t{8}, std::size_t{20}}) {
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes.substr(0, length);
    EXPECT_EQ(ValueCode(file.string()), ValueFieldEmpty) << length;
  }
  fs::remove(file);
}

// The same name and the same length, other content: a 64 x 48 BMP turned
// into a 48 x 64 one by its header alone (both rows fill 4-byte units, so
// the pixel data keeps its length). Only the file's times tell them apart.
TEST_F(FieldValues, AFileRewrittenInPlaceIsReadAgain) {
  namespace fs = std::filesystem;
  std::ifstream in(Fixture("photo.bmp"), std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), {});
  const fs::path file = fs::temp_directory_path() / "pixdim-e2e-rewritten.bmp";
  const auto write = [&](std::chrono::hours age) {
    std::fstream(file, std::ios::binary | std::ios::in | std::ios::out | std::ios::trunc) << bytes;
    fs::last_write_time(file, fs::file_time_type::clock::now() - age);
  };
  write(std::chrono::hours(5));
  EXPECT_EQ(Ask(file.string()), Sized(64, 48));
  std::swap(bytes[18], bytes[22]);  // width and height, little-endian
  write(std::chrono::hours(4));
  EXPECT_EQ(Ask(file.string()), Sized(48, 64));
  fs::remove(file);
}

// A size the header settles is answered at once everywhere; Linux answers
// at once what its loader must read too (the cases where Windows delays
// are in delay_test.cpp).
TEST_F(FieldValues, DelayFlagFollowsThePlatform) {
  std::int32_t width = -1;
  EXPECT_EQ(Exports().GetValue(Fixture("photo.png").c_str(), FieldWidth, 0, &width, 4, 1), FieldTypeInt32);
  EXPECT_EQ(width, 64);
  if (!PIXDIM_DELAYS_VALUES) {
    width = -1;
    EXPECT_EQ(Exports().GetValue(Fixture("entries-a.ico").c_str(), FieldWidth, 0, &width, 4, 1), FieldTypeInt32);
    EXPECT_GT(width, 0);
  }
}

// The host asks from several background threads at once.
TEST_F(FieldValues, ConcurrentCallsGiveTheSingleThreadedAnswers) {
  const std::vector<std::string> files = {Fixture("photo.png"), Fixture("photo.jpg"),
                                          Fixture("icon.ico"),  Fixture("notes.txt"),
                                          Fixture("tall.png"),  Fixture("missing.gif")};
  std::vector<Values> expected;
  for (const auto& file : files) expected.push_back(Ask(file));

  constexpr int Threads = 8;
  constexpr int Rounds = 5;
  std::vector<int> mismatches(Threads, 0);
  std::vector<std::thread> workers;
  for (int t = 0; t < Threads; ++t) {
    workers.emplace_back([&, t] {
      for (int round = 0; round < Rounds; ++round) {
        for (std::size_t i = 0; i < files.size(); ++i) {
          const std::size_t pick = (i + static_cast<std::size_t>(t)) % files.size();
          if (!(Ask(files[pick]) == expected[pick])) ++mismatches[static_cast<std::size_t>(t)];
        }
      }
    });
  }
  for (auto& worker : workers) worker.join();
  for (int t = 0; t < Threads; ++t) EXPECT_EQ(mismatches[static_cast<std::size_t>(t)], 0) << t;
}

}  // namespace
