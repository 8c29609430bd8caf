#include "plugin/field_values.h"

// Sizes come from a header read, and the loader reads little more where
// the header does not settle them: answering at once costs the host less
// than a second call, and one host shows nothing for a delayed answer.
const bool DelayedValuesAllowed = false;
