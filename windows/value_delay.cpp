#include "plugin/field_values.h"

// Reading a size through the imaging library can decode the whole image:
// the host asks again in the background when a value is delayed.
const bool DelayedValuesAllowed = true;
