// What a Linux host can pass besides ordinary pictures: FIFOs, directories,
// devices (also behind a symlink with a picture's name), names that are not
// UTF-8, and paths far longer than Windows allows. Every call that could
// block runs with a time limit.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "tests/e2e/bounded_call.h"
#include "tests/e2e/child_peak.h"
#include "tests/e2e/plugin_fixture.h"

namespace {

namespace fs = std::filesystem;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Dimensions(const std::string& file) {
  return WithinSeconds(10, ("the value of " + file).c_str(), [file] {
    char text[64] = "";
    Exports().GetValue(file.c_str(), FieldDimensions, 0, text, sizeof text, 0);
    return std::string(text);
  });
}

int Compare(const std::string& first, const std::string& second) {
  return WithinSeconds(10, ("comparing " + first).c_str(),
                       [=] { return Exports().CompareFiles(nullptr, CompareIndexContent, first.c_str(), second.c_str(), nullptr); });
}

class LinuxFiles : public StartedPlugin {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/pixdim-e2e-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder = pattern;
  }
  // rm walks trees deeper than a path can name; the library cannot.
  void TearDown() override { EXPECT_EQ(std::system(("rm -rf " + folder).c_str()), 0); }
  std::string Photo(const std::string& name) const {
    const std::string path = folder + "/" + name;
    fs::copy_file(Fixture("photo.png"), path);
    return path;
  }
  std::string folder;
};

TEST_F(LinuxFiles, NothingButRegularFilesIsRead) {
  const std::string fifo = folder + "/pipe.png";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string directory = folder + "/folder.png";
  fs::create_directory(directory);
  const std::string zero = folder + "/zero.svg";
  fs::create_symlink("/dev/zero", zero);
  for (const std::string& file : {fifo, directory, zero, std::string("/dev/zero")}) {
    EXPECT_EQ(ValueCode(file), ValueFileError) << file;
    EXPECT_EQ(Compare(file, file), FileError) << file;
  }
}

// A file name is a string of bytes: a Latin-1 name from an old archive
// opens as it is.
TEST_F(LinuxFiles, NamesThatAreNotUtf8Open) {
  const std::string latin1 = Photo("caf\xe9.png");
  const std::string utf8 = Photo("Bild \xC3\xA4\xE5\x86\x99\xF0\x9F\x8C\x85.png");
  EXPECT_EQ(Dimensions(latin1), "64 x 48");
  EXPECT_EQ(Dimensions(utf8), "64 x 48");
  EXPECT_EQ(Compare(latin1, Fixture("photo.bmp")), Equal);
}

TEST_F(LinuxFiles, LongPathsUpToTheSystemLimit) {
  std::string deep = folder;
  for (std::size_t target : {300u, 1000u}) {
    while (deep.size() + 20 < target) {
      deep += "/" + std::string(std::min<std::size_t>(200, target - deep.size() - 20), 'd');
      fs::create_directory(deep);
    }
    const std::string photo = deep + "/photo-" + std::to_string(target) + ".png";
    fs::copy_file(Fixture("photo.png"), photo);
    EXPECT_GE(photo.size(), target - 20);
    EXPECT_EQ(Dimensions(photo), "64 x 48") << photo.size();
    EXPECT_EQ(Compare(photo, Fixture("photo.bmp")), Equal) << photo.size();
  }
}

// A picture below a path longer than the system takes can be made, step by
// step, but not named whole: it cannot be opened.
TEST_F(LinuxFiles, PathsBeyondTheSystemLimitAreUnreadable) {
  std::string path = folder;
  int directory = open(folder.c_str(), O_DIRECTORY);
  while (path.size() < 4200) {
    const std::string part(200, 'd');
    ASSERT_EQ(mkdirat(directory, part.c_str(), 0700), 0);
    const int next = openat(directory, part.c_str(), O_DIRECTORY);
    close(directory);
    directory = next;
    path += "/" + part;
  }
  const int photo = openat(directory, "photo.png", O_CREAT | O_WRONLY, 0600);
  const std::string bytes = ReadFile(Fixture("photo.png"));
  ASSERT_EQ(write(photo, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  close(photo);
  close(directory);
  EXPECT_EQ(ValueCode(path + "/photo.png"), ValueFileError);
}

// An SVG's size comes from its root element where that settles it; else
// only its loader knows it, once it has built the whole drawing: a drawing
// of more than 2 MiB then shows none rather than take that memory.
TEST_F(LinuxFiles, ADrawingTooLargeToBuildHasNoSize) {
  std::string root = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"30\" height=\"20\">";
  const auto svg = [&root](std::size_t shapes) {
    std::string text = root;
    for (std::size_t i = 0; i < shapes; ++i) text += "<rect x=\"1\" y=\"1\" width=\"1\" height=\"1\"/>";
    return text + "</svg>";
  };
  const auto drawing = [&](const std::string& name, std::size_t shapes) {
    const std::string path = folder + "/" + name;
    std::ofstream(path, std::ios::binary) << svg(shapes);
    return path;
  };
  EXPECT_EQ(Dimensions(drawing("small.svg", 1000)), "30 x 20");
  EXPECT_EQ(Dimensions(drawing("large.svg", 60000)), "30 x 20");  // 2.4 MB
  // Compressed, the bound is 2 MiB of inflated text (gzip's stored blocks
  // keep the file as large as the drawing).
  const auto compressed = [&](const std::string& name, std::size_t shapes) {
    const std::string plain = svg(shapes);
    std::string gzip("\x1f\x8b\x08\0\0\0\0\0\0\xff", 10);
    const auto le = [&gzip](std::uint32_t value, int bytes) {
      for (int i = 0; i < bytes; ++i) gzip += static_cast<char>(value >> (8 * i) & 255);
    };
    for (std::size_t at = 0; at < plain.size(); at += 65535) {
      const auto length = static_cast<std::uint32_t>(std::min<std::size_t>(65535, plain.size() - at));
      gzip += static_cast<char>(at + length == plain.size() ? 1 : 0);  // stored, the last one final
      le(length, 2);
      le(~length & 0xffff, 2);
      gzip += plain.substr(at, length);
    }
    std::uint32_t crc = 0xffffffffu;
    for (char byte : plain) {
      crc ^= static_cast<std::uint8_t>(byte);
      for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    le(~crc, 4);
    le(static_cast<std::uint32_t>(plain.size()), 4);
    const std::string path = folder + "/" + name;
    std::ofstream(path, std::ios::binary) << gzip;
    return path;
  };
  EXPECT_EQ(Dimensions(compressed("small.svgz", 1000)), "30 x 20");  // 45 KB
  EXPECT_EQ(Dimensions(compressed("large.svgz", 60000)), "30 x 20");  // 2.4 MB
  // Without a size of its own, the loader measures the shapes.
  root = "<svg xmlns=\"http://www.w3.org/2000/svg\">";
  EXPECT_EQ(Dimensions(drawing("unsized.svg", 1000)), "1 x 1");
  EXPECT_EQ(ValueCode(drawing("unsized-large.svg", 60000)), ValueFieldEmpty);
  EXPECT_EQ(Dimensions(compressed("unsized.svgz", 1000)), "1 x 1");
  EXPECT_EQ(ValueCode(compressed("unsized-large.svgz", 60000)), ValueFieldEmpty);
}

// The compare of two fixtures, in a child process: its answer, and the
// child's peak memory in MiB.
double PeakMiBComparing(const char* first, const char* second, int& answer) {
  const std::string a = Fixture(first);
  const std::string b = Fixture(second);
  return PeakMiBOfChild(
      [&] { return Exports().CompareFiles(nullptr, CompareIndexContent, a.c_str(), b.c_str(), nullptr); }, answer);
}

// Two PNGs of 12000 x 12000 that would take 1.1 GiB decoded, the pair: the
// budget leaves them to their bytes, and the compare stays small.
TEST_F(LinuxFiles, ABudgetBlockedCompareStaysSmall) {
  int answer = 0;
  const double mib = PeakMiBComparing("flat-large-a.png", "flat-large-b.png", answer);
  EXPECT_EQ(answer, Different);
  EXPECT_LT(mib, 64.0);
}

// Two GIFs of 9000 x 9000 with the same pixels take 0.6 GiB as pixels, but
// the GIF module holds each image twice (its frame and the image composed
// from it): together beyond the budget, so the pair goes to its bytes
// before anything is decoded, and the compare stays small.
TEST_F(LinuxFiles, WhatTheGifModuleHoldsCountsAgainstTheBudget) {
  int answer = 0;
  const double mib = PeakMiBComparing("gif-9000-a.gif", "gif-9000-b.gif", answer);
  EXPECT_EQ(answer, Different);
  EXPECT_LT(mib, 64.0);
}

// Two AVIFs of 8192 x 8192 turned a quarter, in two greys, take half the
// budget as pixels; the HEIF module also holds the library's planes while
// it converts them: beyond the budget, so the pair goes to its bytes.
TEST_F(LinuxFiles, WhatTheHeifModuleHoldsCountsAgainstTheBudget) {
  int answer = 0;
  const double mib = PeakMiBComparing("turned-8192-a.avif", "turned-8192-b.avif", answer);
  EXPECT_EQ(answer, Different);
  EXPECT_LT(mib, 64.0);
}

using Clock = std::chrono::steady_clock;

// The threads of this process now.
std::size_t Threads() {
  return static_cast<std::size_t>(std::distance(fs::directory_iterator("/proc/self/task"), fs::directory_iterator()));
}

// Whether the threads come back to count within a second: the thread that
// ran a bounded call ends just after its answer.
bool ThreadsBackTo(std::size_t count) {
  for (int wait = 0; wait < 100 && Threads() != count; ++wait) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return Threads() == count;
}

Clock::time_point firstProgress;
int progressCalls = 0;

int PIXDIM_CALL CancelAtOnce(int /*bytes*/) {
  if (progressCalls++ == 0) firstProgress = Clock::now();
  return 1;
}

// Two grey pictures of 8000 x 8000 in 200 KB each take seconds to decode,
// most of it inside single writes to their loaders (one piece of the file
// stands for a third of its rows): the host is asked within a second, its
// Cancel stops both decodes after the piece they work on, well before
// they would end, and no thread of the compare outlives it.
TEST_F(LinuxFiles, ACancelWhileBothDecodeStopsBothSoon) {
  const std::string a = Fixture("flat-8000-a.png");
  const std::string b = Fixture("flat-8000-b.png");
  const std::size_t threads = Threads();
  const Clock::time_point wholeStart = Clock::now();
  EXPECT_EQ(WithinSeconds(60, "the whole compare", [&] {
              return Exports().CompareFiles(nullptr, 10000, a.c_str(), b.c_str(), nullptr);
            }),
            Different);
  const Clock::duration whole = Clock::now() - wholeStart;
  progressCalls = 0;
  const Clock::time_point start = Clock::now();
  const int answer = WithinSeconds(30, "a cancelled compare", [&] {
    return Exports().CompareFiles(CancelAtOnce, 10000, a.c_str(), b.c_str(), nullptr);
  });
  const Clock::time_point end = Clock::now();
  EXPECT_EQ(answer, Stopped);
  EXPECT_EQ(progressCalls, 1);
  EXPECT_LT(firstProgress - start, std::chrono::seconds(1));
  EXPECT_LT(end - start, whole * 3 / 4);
  EXPECT_TRUE(ThreadsBackTo(threads));
}

// The second file's compressed data breaks off half-way while both decode:
// different, the first decode ends too, nothing stays behind (the sanitizer
// reports leaks at exit), and the same pair without the break compares as
// it should.
TEST_F(LinuxFiles, ASecondFileBrokenHalfWayIsDifferentAndLeavesNothing) {
  const std::size_t threads = Threads();
  EXPECT_EQ(WithinSeconds(60, "a broken pair", [] {
              return Exports().CompareFiles(nullptr, 10000, Fixture("flat-8000-a.png").c_str(),
                                            Fixture("flat-8000-broken.png").c_str(), nullptr);
            }),
            Different);
  EXPECT_TRUE(ThreadsBackTo(threads));
  EXPECT_EQ(WithinSeconds(60, "a pair that differs in its last pixel", [] {
              return Exports().CompareFiles(nullptr, 10000, Fixture("flat-8000-a.png").c_str(),
                                            Fixture("flat-8000-b.png").c_str(), nullptr);
            }),
            Different);
}

}  // namespace
