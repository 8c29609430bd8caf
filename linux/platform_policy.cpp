// What the Linux plugin settles without gdk-pixbuf, and when it answers.
#include "linux/pixbuf_formats.h"
#include "plugin/platform.h"

// Formats with a signature of their own, where the installed module reads
// the very size the header gives. Icons and PNM are left to the picture,
// which checks that gdk-pixbuf would pick the module the header names.
bool HeaderSettlesSize(ImageFormat format) { return SignatureModuleInstalled(format); }

// gdk-pixbuf's modules read every format the header reader knows.
const char* HeaderOnlyExtensions() { return ""; }

// Sizes come from a header read, and the loader reads little more where
// the header does not settle them: answering at once costs the host less
// than a second call, and one host shows nothing for a delayed answer.
const bool DelayedValuesAllowed = false;
