#pragma once
// The fields the plugin offers, and the one comparison function.

struct FieldEntry {
  const char* name;
  int type;
};

enum FieldIndex { FieldWidth = 0, FieldHeight = 1, FieldDimensions = 2, FieldCount = 3 };

extern const FieldEntry FieldTable[FieldCount];

// Names the entry at fieldIndex into fieldName (bounded by maxLen), empties
// units for every valid index and returns the entry's type.
int GetSupportedField(int fieldIndex, char* fieldName, char* units, int maxLen);
