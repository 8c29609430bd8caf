#pragma once
// Text as the probe passes it on, the way a host would: the command line
// read as UTF-8 on every platform, turned into what each kind of export
// takes.

#include <string>
#include <vector>

// The program's arguments as UTF-8, whatever the platform hands over.
std::vector<std::string> Utf8Arguments(int argc, char** argv);

// A name for the 8-bit exports: the system code page on Windows (a
// character it cannot hold becomes the system's replacement, as the host
// converts), the bytes unchanged on Linux.
std::string Utf8ToHostAnsi(const std::string& utf8);

// A name for the Unicode exports; a malformed sequence becomes U+FFFD.
std::u16string Utf8ToUtf16(const std::string& utf8);
