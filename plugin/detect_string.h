#pragma once
// The detect string: one EXT term for every extension of every installed
// decoder, then of every format only the header reader reads, so the host
// offers the fields for exactly the files the plugin can measure.

// Writes it into detectString, bounded by maxLen (and by 999 characters).
void WriteDetectString(char* detectString, int maxLen);
