#pragma once
// Which sizes the header reader settles on this platform, so that no call
// needs the imaging library for them: the formats whose header size is the
// size the platform's imaging library shows, and the formats that library
// cannot read at all, whose header is all there is. Each platform sets
// them.

#include "imaging/header_facts.h"

bool HeaderSettlesSize(ImageFormat format);

// The extensions ("*.EXT;*.EXT") of the formats only the header reader
// reads on this platform, empty where the imaging library reads them all.
// The detect string names them after the library's own.
const char16_t* HeaderOnlyExtensions();
