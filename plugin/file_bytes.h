#pragma once
// Byte-for-byte comparison of two files, read in bounded chunks.

// True only when both files can be read to their ends and hold the same
// bytes.
bool SameFileBytes(const char* fileName1, const char* fileName2);
