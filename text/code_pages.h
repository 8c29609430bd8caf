#pragma once
// The conversion of GDI+'s UTF-16 text into the host's 8-bit text.

// The conversion from UTF-16 into the system's 8-bit code page, provided by
// the platform. It takes its source length in units (-1: up to and
// including the terminating zero) and returns the number of bytes written,
// or 0 when the result does not fit the destination. Characters the code
// page cannot represent get the platform's replacement.
int Utf16ToAnsi(const char16_t* src, int srcLength, char* dest, int destCapacity);

constexpr int NarrowBufferBytes = 260;

// Converts zero-terminated UTF-16 text into narrow (NarrowBufferBytes bytes).
// Text that does not fit is cut to the longest prefix that does; the result
// always stays terminated.
void NarrowText(const char16_t* wideText, char* narrow);
