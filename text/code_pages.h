#pragma once
// The fixed-size conversion of the imaging library's UTF-16 text into the
// host's 8-bit text.

constexpr int NarrowBufferBytes = 260;

// Converts zero-terminated UTF-16 text into narrow (NarrowBufferBytes bytes).
// Text that does not fit is cut to the longest prefix that does; the result
// always stays terminated.
void NarrowText(const char16_t* wideText, char* narrow);
