#pragma once
// Whether two image files show the same pixels, whatever their formats.

// Returns CompareEqual only with proof: the same size and the same 32-bit
// ARGB pixels, or, when either file cannot be decoded or locked, the same
// bytes. Anything else is CompareDifferent.
int CompareContent(const char* fileName1, const char* fileName2);
