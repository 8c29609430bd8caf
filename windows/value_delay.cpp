#include "plugin/field_values.h"

// A size the header does not settle needs the imaging library, which may
// decode the whole image, and a slow drive can hold any read: the host
// asks again from a background thread when a value is delayed.
const bool DelayedValuesAllowed = true;
