#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/plugin_fixture.h"
#include "tests/progress_log.h"

namespace {

int Compare(const std::string& first, const std::string& second, int index = CompareIndexContent) {
  return Exports().CompareFiles(nullptr, index, Fixture(first).c_str(), Fixture(second).c_str(),
                                nullptr);
}

// "frames-%.gif" with "a" gives "frames-a.gif".
std::string Member(const std::string& pattern, const std::string& part) {
  const std::size_t at = pattern.find('%');
  return pattern.substr(0, at) + part + pattern.substr(at + 1);
}

using ContentCompare = StartedPlugin;

TEST_F(ContentCompare, OnlyTheContentIndexIsSupported) {
  EXPECT_EQ(Compare("photo.png", "photo.png", 9999), NotSupported);
  EXPECT_EQ(Compare("photo.png", "photo.png", 10001), NotSupported);
}

TEST_F(ContentCompare, SamePixelsInAnyFormAreEqual) {
  EXPECT_EQ(Compare("photo.png", "photo.png"), Equal);
  EXPECT_EQ(Compare("photo.bmp", "photo.png"), Equal);
  EXPECT_EQ(Compare("photo.png", "photo.tif"), Equal);
  EXPECT_EQ(Compare("photo.png", "photo-interlaced.png"), Equal);
  EXPECT_EQ(Compare("photo.png", "photo-comment.png"), Equal);
}

// The library lists a GIF's or an icon's one image along another
// dimension than a PNG's: every pair of one picture is still equal.
TEST_F(ContentCompare, OnePictureInEveryFormatIsEqual) {
  const std::vector<std::string> forms = {"flat.png", "flat.gif", "flat.bmp", "flat.tif", "flat.ico"};
  for (const std::string& first : forms) {
    for (const std::string& second : forms) {
      if (first < second) {
        EXPECT_EQ(Compare(first, second), Equal) << first << " " << second;
      }
    }
  }
}

TEST_F(ContentCompare, OneDifferingPixelIsDifferent) {
  EXPECT_EQ(Compare("photo.png", "photo-last-pixel.png"), Different);
  EXPECT_EQ(Compare("photo.bmp", "photo-last-pixel.bmp"), Different);
  EXPECT_EQ(Compare("photo.png", "photo-alpha.png"), Different);
}

// Same-size pictures without alpha: an unconverted or zero-filled lock
// would make them look alike.
TEST_F(ContentCompare, DifferentPicturesOfTheSameSizeAreDifferent) {
  EXPECT_EQ(Compare("photo.jpg", "mirror.jpg"), Different);
}

TEST_F(ContentCompare, ShapeMatters) {
  EXPECT_EQ(Compare("wide.png", "tall.png"), Different);
  EXPECT_EQ(Compare("photo.png", "short.png"), Different);
}

// Pairs that differ only where a decoder does not look: a later frame,
// page or icon entry, an APNG frame, a multi-picture JPEG's second image,
// a second JPEG joined on after the first, the low byte of 16-bit samples.
// Their byte-identical copies are equal.
TEST_F(ContentCompare, HiddenImagesAndDeepSamplesDecide) {
  for (const char* pair : {"frames-%.gif", "pages-%.tif", "entries-%.ico", "apng-%.png", "mpf-%.jpg",
                           "joined-%.jpg", "deep-%.png", "deep-%.tif"}) {
    EXPECT_EQ(Compare(Member(pair, "a"), Member(pair, "b")), Different) << pair;
    EXPECT_EQ(Compare(Member(pair, "a"), Member(pair, "a-copy")), Equal) << pair;
  }
}

// Files that share their first 90,000 bytes, or differ only in length.
TEST_F(ContentCompare, EveryByteOfFilesThatDoNotDecodeCounts) {
  EXPECT_EQ(Compare("prefix-a.bin", "prefix-b.bin"), Different);
  EXPECT_EQ(Compare("prefix-a.bin", "prefix-a-copy.bin"), Equal);
  EXPECT_EQ(Compare("length-a.txt", "length-b.txt"), Different);
  EXPECT_EQ(Compare("length-a.txt", "length-a-copy.txt"), Equal);
}

// Tiny files whose headers claim images far beyond the decode budget.
TEST_F(ContentCompare, DecompressionBombsAreComparedByTheirBytes) {
  for (const char* bomb : {"bomb.gif", "bomb-rle.bmp", "bomb.tif"}) {
    std::string other = bomb;
    other.insert(other.find('.'), "-2");
    EXPECT_EQ(Compare(bomb, bomb), Equal) << bomb;
    EXPECT_EQ(Compare(bomb, other), Different) << bomb;
  }
}

TEST_F(ContentCompare, UndecodableFilesAreEqualOnlyWhenByteIdentical) {
  EXPECT_EQ(Compare("notes.txt", "notes-copy.txt"), Equal);
  EXPECT_EQ(Compare("notes.txt", "other-notes.txt"), Different);
  EXPECT_EQ(Compare("photo.png", "notes.txt"), Different);
  EXPECT_EQ(Compare("photo.png", "missing.png"), FileError);
  EXPECT_EQ(Compare("missing.png", "missing.png"), FileError);
}

// The host unloads while its background threads still compare: the unload
// waits for the compares already running, not for the ones that start
// after it, and every compare still gets its answer. Every thread exists
// before the load starts (Wine can hold a new thread's start up for long
// while others decode), and the rounds of unloads are bounded in time.
TEST_F(ContentCompare, ConcurrentComparesDoNotHoldUpTheUnload) {
  constexpr int Rounds = 20;
  const std::string first = Fixture("photo.png");
  const std::string second = Fixture("photo.bmp");
  std::atomic<bool> loaded{false};
  std::atomic<bool> running{true};
  std::atomic<int> unloads{0};
  std::atomic<int> wrong{0};
  std::thread unloader([&] {
    while (!loaded) std::this_thread::yield();
    for (int round = 0; round < Rounds; ++round) {
      Exports().PluginUnloading();
      Exports().SetDefaultParams(nullptr);
      ++unloads;
    }
  });
  std::vector<std::thread> workers;
  for (int t = 0; t < 6; ++t) {
    workers.emplace_back([&] {
      while (running) {
        if (Exports().CompareFiles(nullptr, CompareIndexContent, first.c_str(), second.c_str(), nullptr) != Equal) ++wrong;
      }
    });
  }
  loaded = true;
  for (int tenth = 0; tenth < 300 && unloads < Rounds; ++tenth) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  if (unloads < Rounds) {
    std::fprintf(stderr, "FAILED: %d of %d unloads under load returned within 30 s\n", unloads.load(), Rounds);
    std::fflush(stderr);
    std::_Exit(1);
  }
  running = false;
  unloader.join();
  for (auto& worker : workers) worker.join();
  EXPECT_EQ(wrong, 0);
}

namespace fs = std::filesystem;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}


// Files several read chunks long, made for each test in a folder of its
// own: large pairs that only the bytes can decide.
class LargeFiles : public StartedPlugin {
 protected:
  static constexpr std::size_t PaddingBytes = 1536 * 1024;
  // Read before the host is first told of progress, after 1 MiB.
  static constexpr std::size_t RewrittenBytes = 512 * 1024;

  void SetUp() override {
    const auto tick = std::chrono::steady_clock::now().time_since_epoch().count();
    folder = fs::temp_directory_path() / ("pixdim-e2e-large-" + std::to_string(tick));
    fs::create_directories(folder);
  }
  void TearDown() override { fs::remove_all(folder); }

  std::string Write(const std::string& name, const std::string& bytes) const {
    const std::string path = (folder / name).string();
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  // A file already some hours old, so a write to it now moves its times.
  std::string WriteOld(const std::string& name, const std::string& bytes) const {
    const std::string path = Write(name, bytes);
    fs::last_write_time(path, fs::last_write_time(path) - std::chrono::hours(5));
    return path;
  }

  int CompareWithProgress(const std::string& first, const std::string& second, ProgressLog& log) const {
    return WithProgressLog(log, [&](ProgressCallback callback) {
      return Exports().CompareFiles(callback, CompareIndexContent, first.c_str(), second.c_str(), nullptr);
    });
  }

  fs::path folder;
};

// A deep PNG (decided by its bytes) and a text, each padded far past the
// first chunk, then ending in one of two tails.
// A 24-bit BMP of width x height, top-down or bottom-up, whose pixel (x, y)
// is the colour colourAt gives.
template <typename Colour>
std::string Bmp24(std::uint32_t width, std::uint32_t height, bool topDown, Colour colourAt) {
  const auto le32 = [](std::uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
  const std::uint32_t rowBytes = (width * 3 + 3) / 4 * 4;
  std::string bytes = "BM" + le32(54 + rowBytes * height) + le32(0) + le32(54);
  bytes += le32(40) + le32(width) + le32(topDown ? 0u - height : height) + std::string{1, 0, 24, 0} + le32(0) +
           le32(rowBytes * height) + le32(2835) + le32(2835) + le32(0) + le32(0);
  for (std::uint32_t row = 0; row < height; ++row) {
    const std::uint32_t y = topDown ? row : height - 1 - row;
    std::string line(rowBytes, '\0');
    for (std::uint32_t x = 0; x < width; ++x) {
      const std::uint32_t rgb = colourAt(x, y);
      line[x * 3] = char(rgb);
      line[x * 3 + 1] = char(rgb >> 8);
      line[x * 3 + 2] = char(rgb >> 16);
    }
    bytes += line;
  }
  return bytes;
}

// Pictures of many bands of rows, equal in pixels but not in bytes, and
// each differing pixel at the last row of a band or of the picture is
// found: every band is locked and compared whole.
TEST_F(LargeFiles, EveryBandOfRowsIsCompared) {
  constexpr std::uint32_t Width = 700;
  constexpr std::uint32_t Height = 1000;
  const auto pattern = [](std::uint32_t x, std::uint32_t y) { return (x * 2654435761u) ^ (y * 40503u); };
  const std::string topDown = Write("top-down.bmp", Bmp24(Width, Height, true, pattern));
  const std::string bottomUp = Write("bottom-up.bmp", Bmp24(Width, Height, false, pattern));
  EXPECT_EQ(Exports().CompareFiles(nullptr, CompareIndexContent, topDown.c_str(), bottomUp.c_str(), nullptr), Equal);
  // Rows of 2800 bytes: 23 to a band of 64 KiB, 374 to one of 1 MiB. Row 91
  // ends a band of 64 KiB and 23 starts one; 373 ends one of 1 MiB and 374
  // starts one; 999 ends the picture.
  for (std::uint32_t y : {23u, 91u, 373u, 374u, 999u}) {
    const std::string changed = Write("changed-" + std::to_string(y) + ".bmp",
                                      Bmp24(Width, Height, false, [&](std::uint32_t x, std::uint32_t row) {
                                        return row == y && x == Width - 1 ? pattern(x, row) ^ 1u : pattern(x, row);
                                      }));
    EXPECT_EQ(Exports().CompareFiles(nullptr, CompareIndexContent, topDown.c_str(), changed.c_str(), nullptr),
              Different)
        << "row " << y;
  }
}

TEST_F(LargeFiles, EveryChunkOfTheByteRoadCounts) {
  for (const char* start : {"deep-a.png", "notes.txt"}) {
    const std::string front = ReadAll(Fixture(start)) + std::string(PaddingBytes, 'Z');
    const std::string a = Write("a", front + "tail a");
    const std::string copy = Write("copy", front + "tail a");
    const std::string b = Write("b", front + "tail b");
    ProgressLog log;
    EXPECT_EQ(CompareWithProgress(a, copy, log), Equal) << start;
    ProgressLog other;
    EXPECT_EQ(CompareWithProgress(a, b, other), Different) << start;
    EXPECT_GE(log.counts.size(), 2u) << start;
    for (int count : log.counts) EXPECT_GE(count, 0) << start;
    EXPECT_EQ(log.Sum(), static_cast<long long>(front.size() + 6)) << start;
  }
}

TEST_F(LargeFiles, CancelStopsEitherRoad) {
  const std::string front(PaddingBytes, 'x');
  const std::string a = Write("a.bin", front);
  const std::string copy = Write("copy.bin", front);
  ProgressLog bytes;
  bytes.stopAtCall = 1;
  EXPECT_EQ(CompareWithProgress(a, copy, bytes), Stopped);
  EXPECT_EQ(bytes.counts.size(), 1u);

  // The host is told of the pixels compared and of every byte the decoders
  // read, each file whole at least once.
  ProgressLog pixels;
  EXPECT_EQ(CompareWithProgress(Fixture("photo.png"), Fixture("photo.bmp"), pixels), Equal);
  const auto files = static_cast<long long>(std::filesystem::file_size(Fixture("photo.png")) +
                                            std::filesystem::file_size(Fixture("photo.bmp")));
  EXPECT_GE(pixels.Sum(), 64 * 48 * 4 + files);
  EXPECT_LE(pixels.Sum(), 64 * 48 * 4 + 2 * files);
  ProgressLog stop;
  stop.stopAtCall = 1;
  EXPECT_EQ(CompareWithProgress(Fixture("photo.png"), Fixture("photo.bmp"), stop), Stopped);
  EXPECT_EQ(stop.counts.size(), 1u);
}

// Never equal, but read half before and half after the rewrite they
// would look alike: first the old start, then the new end.
TEST_F(LargeFiles, AFileRewrittenDuringTheCompareIsNotEqual) {
  const std::string start(PaddingBytes, 'x');
  const std::string a = Write("a.bin", start + std::string(PaddingBytes, 'y'));
  const std::string b = WriteOld("b.bin", start + std::string(PaddingBytes, 'z'));
  ProgressLog rewrite;
  rewrite.duringFirstCall = [&] {
    // The start, read already, changes; the end becomes the first file's.
    std::fstream file(b, std::ios::binary | std::ios::in | std::ios::out);
    file << std::string(RewrittenBytes, 'w') << std::string(PaddingBytes - RewrittenBytes, 'x')
         << std::string(PaddingBytes, 'y');
  };
  EXPECT_EQ(CompareWithProgress(a, b, rewrite), Different);

  const std::string copy = WriteOld("copy.bin", ReadAll(a));
  ProgressLog grow;
  grow.duringFirstCall = [&] { std::ofstream(copy, std::ios::binary | std::ios::app) << "more"; };
  EXPECT_EQ(CompareWithProgress(a, copy, grow), Different);
}

}  // namespace
