#include "imaging/gdiplus_image.h"

#include <memory>

#include "tests/fake_gdiplus/fake_state.h"
#include "tests/native/fake_test_support.h"

namespace {

IStream aPng{"a.png"};

using ImagingLayer = OnFakeImaging;

TEST_F(ImagingLayer, ReadsSizeOfADecodableFile) {
  fake::AddImage("a.png", fake::PatternImage(640, 480));
  Gdiplus::Image image(&aPng);
  EXPECT_EQ(image.ReadWidth(), 640u);
  EXPECT_EQ(image.ReadHeight(), 480u);
  EXPECT_EQ(image.LastStatus(), Gdiplus::Ok);
  EXPECT_EQ(fake::Calls().front(), "GdipLoadImageFromStream(a.png)");
}

TEST_F(ImagingLayer, MissingOrUndecodableFileReadsZeroByZero) {
  fake::FailLoadOf("text.txt");
  for (const char* name : {"missing.png", "text.txt"}) {
    IStream stream{name};
    Gdiplus::Image image(&stream);
    EXPECT_EQ(image.Handle(), nullptr);
    EXPECT_EQ(image.ReadWidth(), 0u);
    EXPECT_EQ(image.ReadHeight(), 0u);
    EXPECT_NE(image.LastStatus(), Gdiplus::Ok);
  }
}

TEST_F(ImagingLayer, LatchKeepsTheLastFailingStatus) {
  fake::AddImage("a.png", fake::PatternImage(2, 2));
  Gdiplus::Image image(&aPng);
  EXPECT_EQ(image.LatchStatus(7), 7);
  EXPECT_EQ(image.LatchStatus(Gdiplus::Ok), Gdiplus::Ok);
  EXPECT_EQ(image.LastStatus(), 7);
  EXPECT_EQ(image.LatchStatus(3), 3);
  image.ReadWidth();  // succeeds, keeps the failure
  EXPECT_EQ(image.LastStatus(), 3);
}

TEST_F(ImagingLayer, HeapImageUsesTheLibraryAllocator) {
  fake::AddImage("a.png", fake::PatternImage(3, 2));
  std::unique_ptr<Gdiplus::Image> image(new Gdiplus::Bitmap(&aPng));
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(fake::LiveAllocations(), 1);
  EXPECT_EQ(image->ReadWidth(), 3u);
  image.reset();  // through the virtual destructor
  EXPECT_EQ(fake::CallsNamed("GdipFree").size(), 1u);
}

TEST_F(ImagingLayer, FailedAllocationYieldsNullAndOpensNothing) {
  fake::AddImage("a.png", fake::PatternImage(3, 2));
  fake::FailNextAlloc();
  std::unique_ptr<Gdiplus::Image> image(new Gdiplus::Image(&aPng));
  EXPECT_EQ(image, nullptr);
  EXPECT_TRUE(fake::CallsNamed("GdipLoadImageFromStream").empty());
  EXPECT_TRUE(fake::CallsNamed("GdipDisposeImage").empty());
}

}  // namespace
