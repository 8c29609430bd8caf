#include "plugin/field_values.h"

// Sizes come from a header read: answering at once costs the host less than
// a second call, and one host shows nothing for a delayed answer.
const bool DelayedValuesAllowed = false;
