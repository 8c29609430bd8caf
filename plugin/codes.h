#pragma once
// The integer codes that cross the boundary to the host.

constexpr int FieldTypeNoMoreFields = 0;
constexpr int FieldTypeInt32 = 1;
constexpr int FieldTypeString = 8;
constexpr int FieldTypeCompareContent = 100;

constexpr int ValueDelayed = 0;
constexpr int ValueNoSuchField = -1;

constexpr int CompareDifferent = 0;
constexpr int CompareEqual = 100;
constexpr int CompareNotSupported = -3;

constexpr int DelayIfSlowFlag = 1;
constexpr int CompareIndexContent = 10000;
