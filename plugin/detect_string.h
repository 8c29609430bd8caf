#pragma once
// The detect string: one EXT term for every extension of every installed
// decoder, then of every format only the header reader reads, so the host
// offers the fields for exactly the files the plugin can measure.

// Writes it into detectString, within maxLen bytes with the terminator and
// within the host's 2,047 characters, dropping whole terms where they do
// not all fit (never cutting one).
void WriteDetectString(char* detectString, int maxLen);
