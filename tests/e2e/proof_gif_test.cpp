// A GIF that shows the same pixels as a PNG is equal to it only while every
// block it holds is accounted for: copies of one with a block added or
// changed.
#include <string>

#include "tests/e2e/plugin_fixture.h"

namespace {

constexpr std::size_t ScreenDescriptorEnd = 13;

// Where the blocks start: after the screen descriptor and its colour table.
std::size_t FirstBlock(const std::string& gif) {
  const auto packed = static_cast<unsigned char>(gif[10]);
  return ScreenDescriptorEnd + ((packed & 0x80) != 0 ? std::size_t{3} << ((packed & 7) + 1) : 0);
}

// Where the first image descriptor starts, past the extensions before it.
std::size_t FirstFrame(const std::string& gif) {
  std::size_t at = FirstBlock(gif);
  while (gif[at] == '!') {
    at += 2;
    while (gif[at] != 0) at += 1 + static_cast<unsigned char>(gif[at]);
    ++at;
  }
  return at;
}

std::string WithBlocks(const std::string& blocks) {
  std::string gif = ReadFixture("flat.gif");
  return gif.insert(FirstBlock(gif), blocks);
}

std::string Loop(const std::string& id, char count) {
  return std::string("!\xff\x0b", 3) + id + std::string("\x03\x01", 2) + count + std::string(2, '\0');
}

using ProofGif = CraftedFiles;

TEST_F(ProofGif, AnAddedCommentKeepsItEqual) {
  const std::string comment = std::string("!\xfe\x05notes", 8) + std::string(1, '\0');
  EXPECT_EQ(CompareWith(Write("comment.gif", WithBlocks(comment)), "flat.png"), Equal);
}

TEST_F(ProofGif, BlocksNotAccountedForLeaveItToTheBytes) {
  const std::string plainText = std::string("!\x01\x0c", 3) + std::string(12, '\0') + "\x02hi" + std::string(1, '\0');
  std::string beyond = ReadFixture("flat.gif");
  beyond[FirstFrame(beyond) + 1] = 1;  // the frame's left edge moves one pixel right
  const struct {
    const char* name;
    std::string bytes;
    const char* reason;
  } cases[] = {
      {"plain-text.gif", WithBlocks(plainText), "holds a block pixdim does not know"},
      {"two-loops.gif", WithBlocks(Loop("NETSCAPE2.0", 0) + Loop("NETSCAPE2.0", 2)),
       "holds a structure twice that it may hold once"},
      {"anim-exts.gif", WithBlocks(Loop("NETSCAPE2.0", 0) + Loop("ANIMEXTS1.0", 3)),
       "holds a structure twice that it may hold once"},
      {"beyond.gif", beyond, "has a frame that reaches beyond its canvas"},
  };
  for (const auto& crafted : cases) {
    const std::string path = Write(crafted.name, crafted.bytes);
    EXPECT_EQ(CompareWith(path, "flat.png"), Different) << crafted.name;
    EXPECT_EQ(ReasonText(path), crafted.reason) << crafted.name;
  }
}

}  // namespace
