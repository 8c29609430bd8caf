#include "text/bounded_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// A buffer of 16 marked bytes, so any write outside what a call may touch
// shows up.
struct Buffer {
  char bytes[16];
  Buffer() { std::memset(bytes, '#', sizeof bytes); }
  std::string Text() const { return bytes; }
  bool Untouched() const {
    for (char c : bytes) {
      if (c != '#') return false;
    }
    return true;
  }
};

TEST(CopyBounded, CutsToSizeAndAlwaysTerminates) {
  Buffer five;
  EXPECT_EQ(CopyBounded(five.bytes, 5, "Width"), TextResultTruncated);
  EXPECT_EQ(five.Text(), "Widt");
  EXPECT_EQ(five.bytes[5], '#');

  Buffer six;
  EXPECT_EQ(CopyBounded(six.bytes, 6, "Width"), TextResultOk);
  EXPECT_EQ(six.Text(), "Width");
  EXPECT_EQ(six.bytes[6], '#');
}

TEST(CopyBounded, SizeOneLeavesEmptyString) {
  Buffer full;
  EXPECT_EQ(CopyBounded(full.bytes, 1, "Width"), TextResultTruncated);
  EXPECT_EQ(full.Text(), "");
  EXPECT_EQ(full.bytes[1], '#');

  Buffer empty;
  EXPECT_EQ(CopyBounded(empty.bytes, 1, ""), TextResultOk);
  EXPECT_EQ(empty.Text(), "");
}

TEST(BoundedWriters, InvalidSizesChangeNothing) {
  for (auto* writer : {&CopyBounded, &AppendBounded}) {
    for (int size : {0, -1, -2147483647 - 1}) {
      Buffer buffer;
      EXPECT_EQ(writer(buffer.bytes, size, "Width"), TextResultInvalidArgument) << size;
      EXPECT_TRUE(buffer.Untouched()) << size;
    }
  }
}

TEST(AppendBounded, KeepsLongestPrefixThatFits) {
  Buffer buffer;
  CopyBounded(buffer.bytes, 9, "1920");
  EXPECT_EQ(AppendBounded(buffer.bytes, 9, " x "), TextResultOk);
  EXPECT_EQ(AppendBounded(buffer.bytes, 9, "1080"), TextResultTruncated);
  EXPECT_EQ(buffer.Text(), "1920 x 1");
  EXPECT_EQ(buffer.bytes[9], '#');
  // Once full, every further non-empty append only rewrites the terminator.
  EXPECT_EQ(AppendBounded(buffer.bytes, 9, "more"), TextResultTruncated);
  EXPECT_EQ(buffer.Text(), "1920 x 1");
  EXPECT_EQ(AppendBounded(buffer.bytes, 9, ""), TextResultOk);
}

TEST(AppendBounded, FullBufferOnlyRewritesTerminator) {
  Buffer buffer;
  CopyBounded(buffer.bytes, 5, "1920");
  EXPECT_EQ(AppendBounded(buffer.bytes, 5, " x "), TextResultTruncated);
  EXPECT_EQ(buffer.Text(), "1920");
}

TEST(AppendBounded, RefusesBufferWithoutTerminatorWithinSize) {
  Buffer buffer;
  EXPECT_EQ(AppendBounded(buffer.bytes, 8, "x"), TextResultInvalidArgument);
  EXPECT_TRUE(buffer.Untouched());
}

}  // namespace
