#pragma once
// The value of one field for one file: width, height, or both as text.

// Writes the value of field fieldIndex of fileName into fieldValue and
// returns the field's type, ValueDelayed when flags ask to delay, or
// ValueNoSuchField for an index outside the catalogue.
int GetValue(const char* fileName, int fieldIndex, void* fieldValue, int maxLen, int flags);
