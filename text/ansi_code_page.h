#pragma once
// Conversions between the system's 8-bit code page and UTF-16, provided by
// the platform. Each takes its source length in units (-1: up to and
// including the terminating zero) and returns the number of units written,
// or 0 when the result does not fit the destination or the source cannot be
// converted.

int AnsiToUtf16(const char* src, int srcLength, char16_t* dest, int destCapacity);

// Characters the code page cannot represent get the platform's replacement.
int Utf16ToAnsi(const char16_t* src, int srcLength, char* dest, int destCapacity);
