#pragma once
// The detect string: one EXT term for every extension of every installed
// decoder, so the host offers the fields for exactly the files the imaging
// library can open.

// Writes it into detectString, bounded by maxLen (and by 999 characters).
void WriteDetectString(char* detectString, int maxLen);
