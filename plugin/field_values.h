#pragma once
// The value of one field for one file: width, height, or both as text.

#include <memory>

#include "plugin/codes.h"
#include "plugin/field_table.h"
#include "plugin/host_file.h"
#include "plugin/platform.h"

// Writes the value of field fieldIndex of file into fieldValue and returns
// the field's type. It returns ValueFileError for a name that cannot be
// opened as a regular file and ValueFieldEmpty for a file that holds no
// picture it can size, leaving fieldValue alone. With mayDelay it returns
// ValueDelayed instead, leaving fieldValue alone too, where the size is neither cached nor settled by the
// header of a file on a local fixed disk: the decoder would load the
// file, or the drive may be slow.
int WriteValue(HostFile& file, int fieldIndex, void* fieldValue, int maxLen, bool mayDelay);

// Returns ValueNoSuchField for an index outside the catalogue, else what
// WriteValue returns, delayed only when flags and the platform allow it.
// findFile() looks the file up.
template <typename FindFile>
int GetValue(FindFile findFile, int fieldIndex, void* fieldValue, int maxLen, int flags) {
  if (fieldIndex < 0 || fieldIndex >= FieldCount) return ValueNoSuchField;
  const std::unique_ptr<HostFile> file = findFile();
  return WriteValue(*file, fieldIndex, fieldValue, maxLen, DelayedValuesAllowed && (flags & DelayIfSlowFlag) != 0);
}
