#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "plugin/codes.h"
#include "plugin/exports.h"
#include "plugin/side_by_side.h"
#include "tests/native/fake_test_support.h"
#include "tests/native/jpeg_bytes.h"
#include "tests/progress_log.h"

namespace {

int Compare(const char* first, const char* second, int index = CompareIndexContent) {
  return ContentCompareFiles(nullptr, index, first, second, nullptr);
}

int CompareWithProgress(const char* first, const char* second, ProgressLog& log) {
  return WithProgressLog(log, [&](ProgressCallback callback) {
    return ContentCompareFiles(callback, CompareIndexContent, first, second, nullptr);
  });
}


fake::ScriptedImage Frames(std::vector<fake::ScriptedImage> later, const Gdiplus::Guid& dimension) {
  fake::ScriptedImage first = fake::PatternImage(16, 8);
  first.laterFrames = std::move(later);
  first.frameDimension = dimension;
  return first;
}

fake::ScriptedImage WithPixel(fake::ScriptedImage image, std::size_t index, std::uint32_t argb) {
  image.argb[index] = argb;
  return image;
}

class ContentCompare : public OnFakeImaging {
 protected:
  void SetUp() override {
    OnFakeImaging::SetUp();
    fake::AddImage("a.png", fake::PatternImage(64, 48));
    fake::AddImage("same.bmp", fake::PatternImage(64, 48));
  }
};

TEST_F(ContentCompare, OtherIndexesAreNotSupportedAndOpenNothing) {
  EXPECT_EQ(Compare("a.png", "same.bmp", 9999), CompareNotSupported);
  EXPECT_EQ(Compare("a.png", "same.bmp", 10001), CompareNotSupported);
  EXPECT_TRUE(fake::Calls().empty());
}

// Both files are decoded at once, so their calls come in either order.
std::vector<std::string> Sorted(std::vector<std::string> calls) {
  std::sort(calls.begin(), calls.end());
  return calls;
}

TEST_F(ContentCompare, SamePixelsAreEqualAndLockedForReadingAs32BitArgb) {
  EXPECT_EQ(Compare("a.png", "same.bmp"), CompareEqual);
  EXPECT_EQ(Sorted(fake::CallsNamed("GdipCreateBitmapFromStream")),
            (std::vector<std::string>{"GdipCreateBitmapFromStream(a.png)",
                                      "GdipCreateBitmapFromStream(same.bmp)"}));
  EXPECT_EQ(Sorted(fake::CallsNamed("GdipBitmapLockBits")),
            (std::vector<std::string>{
                "GdipBitmapLockBits(a.png rect=0,0,64,48 flags=1 format=0x26200a)",
                "GdipBitmapLockBits(same.bmp rect=0,0,64,48 flags=1 format=0x26200a)"}));
  EXPECT_EQ(fake::CallsNamed("GdipBitmapUnlockBits").size(), 2u);
}

TEST_F(ContentCompare, OneFileOrSameBytesNeedNoDecoding) {
  fake::AddFile("copy.png", fake::ImageFileBytes("a.png", fake::PatternImage(64, 48)));
  EXPECT_EQ(Compare("a.png", "a.png"), CompareEqual);
  EXPECT_EQ(Compare("a.png", "copy.png"), CompareEqual);
  EXPECT_TRUE(fake::CallsNamed("GdipCreateBitmapFromStream").empty());
}

TEST_F(ContentCompare, OneByteInTheLastRowDiffers) {
  fake::ScriptedImage changed = fake::PatternImage(64, 48);
  changed.argb.back() ^= 0x01000000u;  // alpha of the very last pixel
  fake::AddImage("changed.png", changed);
  EXPECT_EQ(Compare("a.png", "changed.png"), CompareDifferent);
}

// Large images are locked and compared a band of rows at a time.
TEST_F(ContentCompare, EveryBandOfALargeImageIsCompared) {
  fake::AddImage("wide.png", fake::PatternImage(1024, 600));
  fake::AddImage("wide-changed.png", WithPixel(fake::PatternImage(1024, 600), 1024 * 600 - 1, 0));
  EXPECT_EQ(Compare("wide.png", "wide-changed.png"), CompareDifferent);
  const std::vector<std::string> locks = Sorted(fake::CallsNamed("GdipBitmapLockBits"));
  ASSERT_EQ(locks.size(), 6u);
  EXPECT_EQ(locks[5], "GdipBitmapLockBits(wide.png rect=0,512,1024,88 flags=1 format=0x26200a)");
}

TEST_F(ContentCompare, SameByteCountInAnotherShapeDiffers) {
  fake::AddImage("wide.png", fake::PatternImage(640, 480));
  fake::AddImage("tall.png", fake::PatternImage(480, 640));
  fake::AddImage("short.png", fake::PatternImage(64, 40));
  EXPECT_EQ(Compare("wide.png", "tall.png"), CompareDifferent);
  EXPECT_EQ(Compare("a.png", "short.png"), CompareDifferent);
  EXPECT_TRUE(fake::CallsNamed("GdipBitmapLockBits").empty());
}

TEST_F(ContentCompare, StridesArePaddingAndDirectionAware) {
  fake::ScriptedImage padded = fake::PatternImage(64, 48);
  padded.stridePadding = 12;
  fake::ScriptedImage bottomUp = fake::PatternImage(64, 48);
  bottomUp.bottomUp = true;
  fake::AddImage("padded.bmp", padded);
  fake::AddImage("bottom-up.bmp", bottomUp);
  EXPECT_EQ(Compare("a.png", "padded.bmp"), CompareEqual);
  EXPECT_EQ(Compare("bottom-up.bmp", "padded.bmp"), CompareEqual);

  fake::AddImage("bottom-up-changed.bmp", WithPixel(bottomUp, 64 * 47, 1));  // first pixel, last row
  EXPECT_EQ(Compare("bottom-up-changed.bmp", "a.png"), CompareDifferent);
}

// A lock that hands back anything but the block asked for proves nothing,
// and is still unlocked.
TEST_F(ContentCompare, LocksThatDeliverSomethingElseAreNeverRead) {
  for (fake::Delivery delivery : {fake::Delivery::WrongSize, fake::Delivery::WrongFormat,
                                  fake::Delivery::OverlappingRows}) {
    fake::ScriptedImage spoiled = fake::PatternImage(64, 48);
    spoiled.delivery = delivery;
    fake::AddImage("spoiled.png", spoiled);
    EXPECT_EQ(Compare("a.png", "spoiled.png"), CompareDifferent) << static_cast<int>(delivery);
    EXPECT_EQ(fake::LiveLocks(), 0);
  }
}

TEST_F(ContentCompare, FailedLockProvesNothingAndUnlocksOnlyWhatWasLocked) {
  fake::FailLockOf("same.bmp");
  EXPECT_EQ(Compare("a.png", "same.bmp"), CompareDifferent);
  EXPECT_EQ(fake::CallsNamed("GdipBitmapUnlockBits"),
            std::vector<std::string>{"GdipBitmapUnlockBits(a.png)"});
}

// Every image a file holds counts, along pages or frames in time alike.
TEST_F(ContentCompare, EveryFrameOrPageIsCompared) {
  const fake::ScriptedImage second = fake::PatternImage(16, 8);
  const fake::ScriptedImage secondChanged = WithPixel(second, 5, 0xFF00FF00u);
  for (const Gdiplus::Guid& dimension : {Gdiplus::FrameDimensionPage, Gdiplus::FrameDimensionTime}) {
    fake::AddImage("two.gif", Frames({second}, dimension));
    fake::AddImage("two.tif", Frames({second}, Gdiplus::FrameDimensionPage));
    EXPECT_EQ(Compare("two.gif", "two.tif"), CompareEqual);
    fake::AddImage("two-again.gif", Frames({second}, dimension));
    fake::AddImage("two-changed.gif", Frames({secondChanged}, dimension));
    fake::AddImage("three.gif", Frames({second, second}, dimension));
    EXPECT_EQ(Compare("two.gif", "two-again.gif"), CompareEqual);
    EXPECT_EQ(Compare("two.gif", "two-changed.gif"), CompareDifferent);
    EXPECT_EQ(Compare("two.gif", "three.gif"), CompareDifferent);
  }
  fake::AddImage("one.png", fake::PatternImage(16, 8));
  EXPECT_EQ(Compare("one.png", "two.gif"), CompareDifferent);
}

// The library lists a GIF's one image along time and a PNG's along pages:
// what a dimension is called says nothing about the pictures.
TEST_F(ContentCompare, OneImageAlongAnyDimensionIsComparedByItsPixels) {
  fake::AddImage("one.gif", Frames({}, Gdiplus::FrameDimensionTime));
  fake::AddImage("one.png", Frames({}, Gdiplus::FrameDimensionPage));
  fake::AddImage("other.gif", WithPixel(Frames({}, Gdiplus::FrameDimensionTime), 3, 0));
  EXPECT_EQ(Compare("one.gif", "one.png"), CompareEqual);
  EXPECT_EQ(Compare("one.png", "other.gif"), CompareDifferent);
}

TEST_F(ContentCompare, SamplesDeeperThan8BitsAreLeftToTheBytes) {
  fake::ScriptedImage deep = fake::PatternImage(64, 48);
  deep.pixelFormat = Gdiplus::PixelFormat64bppARGB;
  fake::AddImage("deep.png", deep);
  fake::AddImage("deep-twin.png", deep);
  EXPECT_EQ(Compare("deep.png", "deep-twin.png"), CompareDifferent);
  EXPECT_EQ(Compare("deep.png", "deep.png"), CompareEqual);
}

// Two images together may not take more than the decode budget.
TEST_F(ContentCompare, PairsBeyondTheBudgetAreNeverDecoded) {
  fake::ScriptedImage huge;
  huge.width = 16384;
  huge.height = 16384;
  fake::AddImage("huge.png", huge);
  fake::AddImage("huge-twin.png", huge);
  EXPECT_EQ(Compare("huge.png", "huge-twin.png"), CompareDifferent);
  // The header says nothing here: the size comes from an image object,
  // before a bitmap could decode anything.
  EXPECT_TRUE(fake::CallsNamed("GdipCreateBitmapFromStream").empty());
}

// The header tells of the first frame only: what was decoded so far counts
// against the budget, so a later frame that would pass it by the first
// frame's pixels is never locked, though all its pixels would agree.
TEST_F(ContentCompare, FramesTogetherBeyondTheBudgetAreNeverDecoded) {
  fake::ScriptedImage large;  // 2^27 pixels: two of them fill the budget
  large.width = 16384;
  large.height = 8192;
  fake::AddImage("large.gif", Frames({large}, Gdiplus::FrameDimensionTime));
  fake::AddImage("large-twin.gif", Frames({large}, Gdiplus::FrameDimensionTime));
  EXPECT_EQ(Compare("large.gif", "large-twin.gif"), CompareDifferent);
  EXPECT_EQ(fake::CallsNamed("GdipBitmapLockBits").size(), 2u) << "the large frame was locked";
}

TEST_F(ContentCompare, UndecodableFilesAreEqualOnlyWhenByteIdentical) {
  const std::string prefix(70 * 1024, 'x');
  fake::AddFile("first.bin", prefix + "same tail");
  fake::AddFile("copy.bin", prefix + "same tail");
  fake::AddFile("late.bin", prefix + "late tail");
  fake::AddFile("longer.bin", prefix + "same tail.");
  for (const char* name : {"first.bin", "copy.bin", "late.bin", "longer.bin"}) fake::FailLoadOf(name);
  EXPECT_EQ(Compare("first.bin", "copy.bin"), CompareEqual);
  EXPECT_EQ(Compare("first.bin", "late.bin"), CompareDifferent);
  EXPECT_EQ(Compare("first.bin", "longer.bin"), CompareDifferent);
  EXPECT_EQ(Compare("a.png", "first.bin"), CompareDifferent);
  EXPECT_EQ(Compare("missing.png", "missing.png"), CompareFileError);
  EXPECT_EQ(Compare("a.png", "missing.png"), CompareFileError);
}

// Files several read chunks long that differ only after the first chunk.
class ByteRoad : public ContentCompare {
 protected:
  void SetUp() override {
    ContentCompare::SetUp();
    const std::string start(1536 * 1024, 'x');
    for (const auto& [name, tail] : {std::pair<const char*, const char*>{"first.bin", "same tail"},
                                     {"copy.bin", "same tail"}, {"late.bin", "late tail"}}) {
      fake::AddFile(name, start + tail);
      fake::FailLoadOf(name);
    }
  }
  const std::int64_t fileBytes = 1536 * 1024 + 9;
};

TEST_F(ByteRoad, EveryChunkCountsAndTheHostIsToldOfEveryByte) {
  ProgressLog log;
  EXPECT_EQ(CompareWithProgress("first.bin", "copy.bin", log), CompareEqual);
  EXPECT_GE(log.counts.size(), 2u);
  for (int count : log.counts) {
    EXPECT_GE(count, 0);
    EXPECT_LE(count, 2 * 1024 * 1024);
  }
  EXPECT_EQ(log.Sum(), fileBytes);
  EXPECT_EQ(Compare("first.bin", "late.bin"), CompareDifferent);
}

TEST_F(ByteRoad, CancelStopsAtOnce) {
  ProgressLog log;
  log.stopAtCall = 1;
  EXPECT_EQ(CompareWithProgress("first.bin", "copy.bin", log), CompareStopped);
  EXPECT_EQ(log.counts.size(), 1u);
  EXPECT_TRUE(fake::CallsNamed("GdipCreateBitmapFromStream").empty());

  // Nothing more is read, so nothing more is told, however much is left.
  fake::AddFile("large.bin", std::string(4 << 20, 'z'));
  fake::AddFile("large-copy.bin", std::string(4 << 20, 'z'));
  ProgressLog stopLarge;
  stopLarge.stopAtCall = 1;
  EXPECT_EQ(CompareWithProgress("large.bin", "large-copy.bin", stopLarge), CompareStopped);
  EXPECT_EQ(stopLarge.counts.size(), 1u) << "the bytes were read on after the stop";
}

// A file written while it is read may have been read half old, half new:
// the same bytes read that way prove nothing.
TEST_F(ByteRoad, AFileThatChangesWhileReadIsNotEqual) {
  // Only the start changes, which was read before the first progress call.
  const std::string rewritten = std::string(512 * 1024, 'y') + std::string(1024 * 1024, 'x') + "same tail";
  ProgressLog rewrite;
  rewrite.duringFirstCall = [&] { fake::AddFile("copy.bin", rewritten); };
  EXPECT_EQ(CompareWithProgress("first.bin", "copy.bin", rewrite), CompareDifferent);

  ProgressLog grow;
  grow.duringFirstCall = [&] { fake::AddFile("copy.bin", std::string(1536 * 1024, 'x') + "same tail, longer"); };
  EXPECT_EQ(CompareWithProgress("first.bin", "copy.bin", grow), CompareDifferent);
}

// The pixels were decoded from a file that changed under them: they say
// nothing of what the file holds now, nor of what it held at the start.
TEST_F(ContentCompare, AFileRewrittenWhileItsPixelsAreComparedIsNotEqual) {
  fake::AddImage("wide.png", fake::PatternImage(1024, 600));
  fake::AddImage("wide-twin.png", fake::PatternImage(1024, 600));
  ProgressLog rewrite;
  rewrite.duringFirstCall = [] {
    fake::AddFile("wide-twin.png", fake::ImageFileBytes("wide-twin, rewritten", fake::PatternImage(1024, 600)));
  };
  EXPECT_EQ(CompareWithProgress("wide.png", "wide-twin.png", rewrite), CompareDifferent);
  EXPECT_GT(rewrite.counts.size(), 1u) << "the rewrite came after the pixels were compared";
  EXPECT_EQ(CompareWithProgress("wide.png", "wide-twin.png", rewrite), CompareEqual);
}

TEST_F(ContentCompare, PixelRoadReportsDecodedBytesAndStopsWhenAsked) {
  ProgressLog log;
  EXPECT_EQ(CompareWithProgress("a.png", "same.bmp", log), CompareEqual);
  EXPECT_EQ(log.Sum(), 64 * 48 * 4);

  fake::AddImage("wide.png", fake::PatternImage(1024, 600));
  fake::AddImage("wide-twin.png", fake::PatternImage(1024, 600));
  fake::ForgetCalls();
  ProgressLog stop;
  stop.stopAtCall = 1;
  EXPECT_EQ(CompareWithProgress("wide.png", "wide-twin.png", stop), CompareStopped);
  EXPECT_EQ(fake::CallsNamed("GdipBitmapLockBits").size(), 2u) << "a band was locked after the stop";

  ProgressLog stopAtEnd;
  stopAtEnd.stopAtCall = 1;
  EXPECT_EQ(CompareWithProgress("a.png", "same.bmp", stopAtEnd), CompareStopped);
}

// Both files' loads last until their reads are stopped; the host cancels
// at its first call. The compare ends stopped, well before the loads would
// end on their own, having asked the host once.
void CancelWhileBothLoad() {
  fake::LoadUntilStopped("a.png");
  fake::LoadUntilStopped("same.bmp");
  ProgressLog stop;
  stop.stopAtCall = 1;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(CompareWithProgress("a.png", "same.bmp", stop), CompareStopped);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(fake::LongestLoadSeconds / 4));
  EXPECT_EQ(stop.counts.size(), 1u);
  EXPECT_EQ(fake::LiveHandles(), 0);
  EXPECT_TRUE(fake::Faults().empty());
}

// A Cancel while both files are being decoded: the host is asked while the
// decoders work, both loads end at once, and nothing stays open.
TEST_F(ContentCompare, CancelWhileBothDecodesRunStopsBoth) {
  fake::DecodeSideBySide();
  CancelWhileBothLoad();
  EXPECT_EQ(fake::MostLoadsAtOnce(), 2);
  EXPECT_EQ(fake::LiveLocks(), 0);
}

// Where the platform decodes one file after the other, the reads of the
// decode under way ask the host, and a Cancel ends it without the second.
TEST_F(ContentCompare, CancelWhileDecodingOneAfterTheOtherStopsAtOnce) {
  CancelWhileBothLoad();
  EXPECT_EQ(fake::MostLoadsAtOnce(), 1);
  EXPECT_EQ(fake::CallsNamed("GdipCreateBitmapFromStream").size(), 1u);
}

// The second file breaks off half-way through its decode: different, and
// every band of both is unlocked and every image disposed.
TEST_F(ContentCompare, ASecondFileThatFailsHalfWayIsDifferentAndLeavesNothing) {
  fake::AddImage("wide.png", fake::PatternImage(1024, 600));
  fake::AddImage("wide-broken.png", fake::PatternImage(1024, 600));
  fake::FailLockFromRow("wide-broken.png", 300);
  EXPECT_EQ(Compare("wide.png", "wide-broken.png"), CompareDifferent);
  EXPECT_EQ(fake::CallsNamed("GdipBitmapUnlockBits").size(), 3u);  // two of wide.png, one of the other
  EXPECT_EQ(fake::LiveHandles(), 0);
  EXPECT_EQ(fake::LiveLocks(), 0);
  EXPECT_TRUE(fake::Faults().empty());
}

// Side by side, files whose rows are not known to come in order (as here)
// are both decoded to the end first, so neither waits for the other band
// by band; then the bands follow. One that breaks off half-way is
// different there, and nothing stays locked or open.
TEST_F(ContentCompare, SideBySideDecodesToTheEndFirstWhereRowsMayComeOutOfOrder) {
  fake::DecodeSideBySide();
  fake::AddImage("wide.png", fake::PatternImage(1024, 600));
  fake::AddImage("wide-copy.png", fake::PatternImage(1024, 600));
  fake::AddImage("wide-broken.png", fake::PatternImage(1024, 600));
  fake::FailLockFromRow("wide-broken.png", 300);
  EXPECT_EQ(Compare("wide.png", "wide-copy.png"), CompareEqual);
  const std::vector<std::string> locks = fake::CallsNamed("GdipBitmapLockBits");
  ASSERT_EQ(locks.size(), 8u);
  EXPECT_EQ(Sorted({locks[0], locks[1]}),
            (std::vector<std::string>{"GdipBitmapLockBits(wide-copy.png rect=0,599,1024,1 flags=1 format=0x26200a)",
                                      "GdipBitmapLockBits(wide.png rect=0,599,1024,1 flags=1 format=0x26200a)"}));
  fake::ForgetCalls();
  EXPECT_EQ(Compare("wide.png", "wide-broken.png"), CompareDifferent);
  EXPECT_EQ(fake::CallsNamed("GdipBitmapLockBits").size(), 2u);
  EXPECT_EQ(fake::LiveHandles(), 0);
  EXPECT_EQ(fake::LiveLocks(), 0);
  EXPECT_TRUE(fake::Faults().empty());
}

// A baseline JPEG, width x 8 in one component, whose scan data codes four
// blocks (two 0 bits each, under tables of one code each).
std::string FourBlockJpeg(std::uint32_t width) {
  const Bytes frame = Segment(0xc0, Writer().Raw({8}).Be16(8).Be16(width).Raw({1, 1, 0x11, 0}).bytes);
  const Bytes jpeg =
      Writer().Raw({0xff, 0xd8}).Append(Tables).Append(frame).Append(Scan({1})).Raw({0x00, 0xff, 0xd9}).bytes;
  return {jpeg.begin(), jpeg.end()};
}

// A JPEG whose scan data ends before its last block decodes to whatever
// its decoder makes up for the rest; here to the pixels of a BMP. The walk
// of its scan keeps that pair from being equal, whether it runs before the
// decodes (and spares them) or beside them, while the whole JPEG is equal
// to its BMP either way.
TEST_F(ContentCompare, AJpegWhoseScanEndsEarlyIsNeverEqualToItsDecode) {
  fake::AddFile("whole.jpg", FourBlockJpeg(32));
  fake::AddFile("cut.jpg", FourBlockJpeg(40));  // five blocks wide
  for (const char* name : {"whole.jpg", "whole.bmp"}) fake::AddImage(name, fake::PatternImage(32, 8));
  for (const char* name : {"cut.jpg", "cut.bmp"}) fake::AddImage(name, fake::PatternImage(40, 8));
  EXPECT_EQ(Compare("whole.jpg", "whole.bmp"), CompareEqual);
  fake::ForgetCalls();
  EXPECT_EQ(Compare("cut.bmp", "cut.jpg"), CompareDifferent);
  EXPECT_TRUE(fake::CallsNamed("GdipCreateBitmapFromStream").empty());
  fake::DecodeSideBySide();
  EXPECT_EQ(Compare("whole.bmp", "whole.jpg"), CompareEqual);
  EXPECT_EQ(Compare("cut.jpg", "cut.bmp"), CompareDifferent);
  // A walk that ends after the decodes is waited for.
  fake::PutOnSlowDisk("cut.jpg");
  EXPECT_EQ(Compare("cut.jpg", "cut.bmp"), CompareDifferent);
  // One that fails while the decodes run settles the compare: they give up
  // at once rather than decode to their end.
  fake::LoadUntilStopped("cut.bmp");
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Compare("cut.jpg", "cut.bmp"), CompareDifferent);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(fake::LongestLoadSeconds / 4));
  EXPECT_EQ(fake::LiveHandles(), 0);
}

// The job beside the decodes: once it has failed, every Run fails, on both
// roads; one still reading when the compare ends is stopped through its
// watch and waited for.
TEST_F(ContentCompare, TheJobBesideTheDecodesBindsThemAndEndsWithThem) {
  CompareProgress progress(nullptr);
  const auto watch = [] { return std::make_shared<ReadWatch>(); };
  const auto succeeds = [] { return true; };
  for (bool sideBySide : {false, true}) {
    if (sideBySide) fake::DecodeSideBySide();
    SideBySide decodes(progress, watch(), watch());
    decodes.StartBeside([] { return false; }, watch());
    EXPECT_FALSE(decodes.BesideSucceeded());
    EXPECT_FALSE(decodes.Run(succeeds, succeeds));
  }
  std::atomic<bool> started{false};
  std::atomic<bool> stopped{false};
  {
    const auto walkWatch = watch();
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(fake::LongestLoadSeconds);
    const auto waitFor = [&](auto done) {
      while (!done() && std::chrono::steady_clock::now() < giveUp) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    };
    SideBySide decodes(progress, watch(), watch());
    decodes.StartBeside(
        [&] {
          started = true;
          waitFor([&] { return !walkWatch->Allows(); });
          stopped = !walkWatch->Allows();
          return true;
        },
        walkWatch);
    const auto afterTheStart = [&] {
      waitFor([&] { return started.load(); });
      return true;
    };
    EXPECT_TRUE(decodes.Run(afterTheStart, afterTheStart));
  }
  EXPECT_TRUE(stopped);
}

// A baseline JPEG, 256 x 768 in one component, whose scan codes each of
// its 3072 blocks in 134 bytes: DC '0', then every AC coefficient under a
// code of 16 bits and one extra bit. On a slow disk its walk takes about a
// hundred reads.
std::string LongScanJpeg() {
  const Bytes acTable = Segment(0xc4, Writer().Raw({0x10}).Zeros(15).Raw({1, 0x01}).bytes);
  const Bytes frame = Segment(0xc0, Writer().Raw({8}).Be16(768).Be16(256).Raw({1, 1, 0x11, 0}).bytes);
  const Bytes jpeg = Writer().Raw({0xff, 0xd8}).Append(QuantTable).Append(HuffmanTable(0x00)).Append(acTable)
                         .Append(frame).Append(Scan({1})).Zeros(3072 * 134).Raw({0xff, 0xd9}).bytes;
  return {jpeg.begin(), jpeg.end()};
}

// A Cancel while the walk still reads, beside the decodes or before them:
// the compare ends about as soon as the host says so, not when the walk
// would, and the host is not asked again.
TEST_F(ContentCompare, ACancelWhileTheWalkReadsEndsTheCompareSoon) {
  fake::AddFile("long.jpg", LongScanJpeg());
  for (const char* name : {"long.jpg", "long.bmp"}) fake::AddImage(name, fake::PatternImage(256, 768));
  fake::PutOnSlowDisk("long.jpg");
  for (bool sideBySide : {false, true}) {
    if (sideBySide) fake::DecodeSideBySide();
    ProgressLog whole;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(CompareWithProgress("long.jpg", "long.bmp", whole), CompareEqual);
    const auto wholeTime = std::chrono::steady_clock::now() - start;
    // The longest run of calls that tell no bytes: the host asked while
    // only the walk read.
    std::size_t runStart = 0;
    std::size_t runLength = 0;
    for (std::size_t i = 0, length = 0; i < whole.counts.size(); ++i) {
      length = whole.counts[i] == 0 ? length + 1 : 0;
      if (length > runLength) {
        runLength = length;
        runStart = i + 1 - length;
      }
    }
    ASSERT_GE(runLength, 4u) << sideBySide;
    ProgressLog stop;
    stop.stopAtCall = static_cast<int>(runStart + 2);  // the run's second call
    fake::ForgetCalls();
    start = std::chrono::steady_clock::now();
    EXPECT_EQ(CompareWithProgress("long.jpg", "long.bmp", stop), CompareStopped);
    // One after the other, the walk comes first: nothing was decoded.
    if (!sideBySide) {
      EXPECT_TRUE(fake::CallsNamed("GdipCreateBitmapFromStream").empty());
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, wholeTime - std::chrono::seconds(1)) << sideBySide;
    EXPECT_EQ(static_cast<int>(stop.counts.size()), stop.stopAtCall) << sideBySide;
    EXPECT_EQ(fake::LiveHandles(), 0);
  }
}

}  // namespace
