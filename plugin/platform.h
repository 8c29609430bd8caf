#pragma once
// What each platform supplies to the plugin: its files, its decoders and
// its policies. windows/ and linux/ each implement all of it on their own
// system's interfaces.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "imaging/header_facts.h"
#include "plugin/host_file.h"

// Looks up a name as the host passes it to the 8-bit exports: text in the
// system's code page on Windows, the file name's bytes on Linux.
std::unique_ptr<HostFile> FindHostFile(const char* name);

// Starts the platform's decoders for one user (the host, or a query that
// came while the host's start was not held); false when they cannot start.
// The library counts its users process-wide: each start that succeeded is
// stopped exactly once, with the token it gave.
bool StartDecoders(std::uintptr_t& token);
void StopDecoders(std::uintptr_t token);

// Each installed decoder's extensions in the library's own form
// ("*.BMP;*.DIB"), in the library's order; only while the decoders are
// started.
std::vector<std::string> DecoderExtensionLists();

// The extensions ("*.EXT;*.EXT") of the formats only the header reader
// reads on this platform, empty where the decoders read them all. The
// detect string names them after the decoders' own.
const char* HeaderOnlyExtensions();

// Whether the header's size is the size this platform shows for the format,
// so that no call needs a decoder for it: the formats whose decoder takes
// its size from the same header fields, and the formats no decoder reads,
// whose header is all there is.
bool HeaderSettlesSize(ImageFormat format);

// Whether a compare decodes its two files at once, each on a thread of its
// own, while a third thread reads both through ReadAt; where not, all of it
// runs one after the other on the compare's thread.
bool DecodesSideBySide();

// Whether a value asked for with the delay flag may be left for later: the
// Windows host asks again from a background thread, while one Linux host
// shows nothing for a delayed answer.
extern const bool DelayedValuesAllowed;

// A compare locks a picture's rows and compares them in bands of about this
// many bytes, so no lock converts a whole large image at once.
extern const std::uint64_t RowBandBytes;
