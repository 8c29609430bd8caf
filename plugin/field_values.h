#pragma once
// The value of one field for one file: width, height, or both as text.

#include <memory>

#include "plugin/codes.h"
#include "plugin/field_table.h"
#include "plugin/host_file.h"

// Whether a value asked for with the delay flag is left for later: the
// Windows host asks again in the background, while the Linux sizes come
// from a header read, cheap enough to answer at once. Each platform sets
// it.
extern const bool DelayedValuesAllowed;

// Writes the value of field fieldIndex of file into fieldValue and returns
// the field's type.
int WriteValue(HostFile& file, int fieldIndex, void* fieldValue, int maxLen);

// Returns ValueDelayed when flags ask to delay, ValueNoSuchField for an
// index outside the catalogue, else the field's type with the value
// written. findFile() looks the file up, and is called only when the value
// is written.
template <typename FindFile>
int GetValue(FindFile findFile, int fieldIndex, void* fieldValue, int maxLen, int flags) {
  if (DelayedValuesAllowed && (flags & DelayIfSlowFlag) != 0) return ValueDelayed;
  if (fieldIndex < 0 || fieldIndex >= FieldCount) return ValueNoSuchField;
  const std::unique_ptr<HostFile> file = findFile();
  return WriteValue(*file, fieldIndex, fieldValue, maxLen);
}
