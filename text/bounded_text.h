#pragma once
// Bounded writers for the host's 8-bit text buffers. They never write past
// maxLen, always leave a terminating zero when they write at all, and cut
// silently. maxLen counts the terminator and is taken as unsigned, so a
// negative size counts as too large and leaves the buffer untouched.

#include <cstdint>

#include "base/limits.h"

using TextResult = std::uint32_t;

constexpr TextResult TextResultOk = 0;
constexpr TextResult TextResultInvalidArgument = 0x80070057u;
constexpr TextResult TextResultTruncated = 0x8007007Au;

// Replaces the contents of dest with src.
TextResult CopyBounded(char* dest, int maxLen, const char* src);

// Appends src after the text already in dest.
TextResult AppendBounded(char* dest, int maxLen, const char* src);
