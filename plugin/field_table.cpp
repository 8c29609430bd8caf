#include "plugin/field_table.h"

#include "plugin/codes.h"
#include "text/bounded_text.h"

const FieldEntry FieldTable[FieldCount] = {
    {"Width", FieldTypeInt32},
    {"Height", FieldTypeInt32},
    {"Dimensions", FieldTypeString},
};

namespace {
const FieldEntry CompareContentEntry = {"Content", FieldTypeCompareContent};
}

int GetSupportedField(int fieldIndex, char* fieldName, char* units, int maxLen) {
  const FieldEntry* entry = nullptr;
  if (fieldIndex >= 0 && fieldIndex < FieldCount) {
    entry = &FieldTable[fieldIndex];
  } else if (fieldIndex == CompareIndexContent) {
    entry = &CompareContentEntry;
  } else {
    return FieldTypeNoMoreFields;
  }
  CopyBounded(fieldName, maxLen, entry->name);
  units[0] = '\0';
  return entry->type;
}
