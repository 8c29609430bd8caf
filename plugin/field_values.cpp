#include "plugin/field_values.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <memory>

#include "imaging/image.h"
#include "plugin/codes.h"
#include "plugin/field_table.h"
#include "text/bounded_text.h"
#include "text/code_pages.h"

namespace {

struct ImageSize {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
};

// Opens the file once and reads what the field shows. An image object that
// cannot be allocated reads like an unreadable file: 0 by 0.
ImageSize Measure(const char* fileName, int fieldIndex) {
  char16_t path[PathBufferUnits];
  WidenFileName(fileName, path);
  ImageSize size;
  const std::unique_ptr<Gdiplus::Image> image(new Gdiplus::Image(path, false));
  if (!image) return size;
  if (fieldIndex != FieldHeight) size.width = image->ReadWidth();
  if (fieldIndex != FieldWidth) size.height = image->ReadHeight();
  return size;
}

// Sizes are unsigned: no size may ever show a minus sign.
void WriteDimensions(char* fieldValue, int maxLen, ImageSize size) {
  char width[32] = {};
  char height[32] = {};
  std::snprintf(width, sizeof width, "%" PRIu32, size.width);
  std::snprintf(height, sizeof height, "%" PRIu32, size.height);
  CopyBounded(fieldValue, maxLen, width);
  AppendBounded(fieldValue, maxLen, " x ");
  AppendBounded(fieldValue, maxLen, height);
}

}  // namespace

int GetValue(const char* fileName, int fieldIndex, void* fieldValue, int maxLen, int flags) {
  if ((flags & DelayIfSlowFlag) != 0) return ValueDelayed;
  if (fieldIndex < 0 || fieldIndex >= FieldCount) return ValueNoSuchField;

  const ImageSize size = Measure(fileName, fieldIndex);
  switch (fieldIndex) {
    case FieldWidth:
      std::memcpy(fieldValue, &size.width, sizeof size.width);
      break;
    case FieldHeight:
      std::memcpy(fieldValue, &size.height, sizeof size.height);
      break;
    default:
      WriteDimensions(static_cast<char*>(fieldValue), maxLen, size);
      break;
  }
  return FieldTable[fieldIndex].type;
}
