#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "plugin/codes.h"
#include "plugin/exports.h"

namespace {

struct Answer {
  int type;
  std::string name;
  std::string units;
};

Answer Ask(int index, int maxLen = 64) {
  char name[64];
  char units[64];
  std::memset(name, '#', sizeof name);
  std::memset(units, '#', sizeof units);
  name[63] = units[63] = '\0';
  const int type = ContentGetSupportedField(index, name, units, maxLen);
  return {type, name, units};
}

TEST(SupportedField, NamesTheThreeFieldsAndTheComparison) {
  const Answer width = Ask(0);
  const Answer height = Ask(1);
  const Answer dimensions = Ask(2);
  const Answer content = Ask(CompareIndexContent);
  EXPECT_EQ(width.type, FieldTypeInt32);
  EXPECT_EQ(width.name, "Width");
  EXPECT_EQ(height.type, FieldTypeInt32);
  EXPECT_EQ(height.name, "Height");
  EXPECT_EQ(dimensions.type, FieldTypeString);
  EXPECT_EQ(dimensions.name, "Dimensions");
  EXPECT_EQ(content.type, FieldTypeCompareContent);
  EXPECT_EQ(content.name, "Content");
  for (const Answer& answer : {width, height, dimensions, content}) EXPECT_EQ(answer.units, "");
}

TEST(SupportedField, EveryOtherIndexEndsTheListAndTouchesNothing) {
  for (int index : {3, 4, 9999, 10001, -1, -2147483647 - 1, 2147483647}) {
    const Answer answer = Ask(index);
    EXPECT_EQ(answer.type, FieldTypeNoMoreFields) << index;
    EXPECT_EQ(answer.name, std::string(63, '#')) << index;
    EXPECT_EQ(answer.units, std::string(63, '#')) << index;
  }
}

TEST(SupportedField, NameIsBoundedButUnitsAlwaysEmptied) {
  const Answer cut = Ask(2, 4);
  EXPECT_EQ(cut.type, FieldTypeString);
  EXPECT_EQ(cut.name, "Dim");

  for (int index : {0, CompareIndexContent}) {
    const Answer none = Ask(index, 0);
    EXPECT_EQ(none.name, std::string(63, '#')) << index;
    EXPECT_EQ(none.units, "") << index;
    EXPECT_EQ(none.type, index == 0 ? FieldTypeInt32 : FieldTypeCompareContent);
  }
}

}  // namespace
