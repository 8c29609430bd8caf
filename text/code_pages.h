#pragma once
// The two fixed-size conversions between host text and the imaging library's
// UTF-16 text.

constexpr int PathBufferUnits = 260;
constexpr int NarrowBufferBytes = 260;

// Converts a zero-terminated 8-bit file name into path (PathBufferUnits
// units). A name that does not fit, or cannot be converted, leaves an empty
// path: a cut name could name a different file.
void WidenFileName(const char* name, char16_t* path);

// Converts zero-terminated UTF-16 text into narrow (NarrowBufferBytes bytes).
// Text that does not fit is cut to the longest prefix that does; the result
// always stays terminated.
void NarrowText(const char16_t* wideText, char* narrow);
