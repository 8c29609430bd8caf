#pragma once
// The integer codes that cross the boundary to the host.

constexpr int FieldTypeNoMoreFields = 0;
constexpr int FieldTypeInt32 = 1;
constexpr int FieldTypeString = 8;
constexpr int FieldTypeCompareContent = 100;

constexpr int ValueDelayed = 0;
constexpr int ValueNoSuchField = -1;
// The name cannot be opened as a file (missing, a folder, a device): the
// host's search leaves it out.
constexpr int ValueFileError = -2;
// A readable file that holds no picture of a size: the host shows nothing.
constexpr int ValueFieldEmpty = -3;

// The host shows 1 as "equal" and -1 as an error; 100 is only the field
// type of the compare entry, never a compare result.
constexpr int CompareEqual = 1;
constexpr int CompareDifferent = 0;
constexpr int CompareFileError = -1;
constexpr int CompareStopped = -2;
constexpr int CompareNotSupported = -3;

constexpr int DelayIfSlowFlag = 1;
constexpr int CompareIndexContent = 10000;
