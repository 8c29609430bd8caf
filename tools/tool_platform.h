#pragma once
// What the tools need from the platform: its loader for dynamic libraries,
// as the host uses it; the command line and names as a host would pass
// them on; and, for pixdim-compare, the kind of a path, the files under a
// folder, why a file cannot be opened, and whether a stream is a terminal.
// Names are bytes, passed and returned unchanged. Each platform implements
// it (pixdim-compare is built on Linux only).

#include <cstdio>
#include <string>
#include <vector>

using AnyFunction = void (*)();

// Null when the file cannot be loaded; error then says why.
void* OpenModule(const std::string& path, std::string& error);
AnyFunction FindFunction(void* module, const char* name);
void CloseModule(void* module);

// Text as the probe passes it on: the command line read as UTF-8 on every
// platform, turned into what each kind of export takes.

// The program's arguments as UTF-8, whatever the platform hands over.
std::vector<std::string> Utf8Arguments(int argc, char** argv);

// A name for the 8-bit exports: the system code page on Windows (a
// character it cannot hold becomes the system's replacement, as the host
// converts), the bytes unchanged on Linux.
std::string Utf8ToHostAnsi(const std::string& utf8);

// A name for the Unicode exports; a malformed sequence becomes U+FFFD.
std::u16string Utf8ToUtf16(const std::string& utf8);

bool IsFolder(const std::string& path);

// A folder that could not be listed: its relative path ("" for the root
// itself) and why.
struct UnreadableFolder {
  std::string relative;
  std::string why;
};

struct FileTree {
  std::vector<std::string> files;  // relative paths of everything but folders, sorted bytewise
  std::vector<UnreadableFolder> unreadable;
};

// Walks root recursively. Folders reached through a symbolic link are not
// entered: the link is listed like a file, so a loop cannot trap the walk.
FileTree ListFiles(const std::string& root);

// Why the plugin could not open path ("No such file or directory", "not a
// regular file"); empty when it opens as a regular file.
std::string OpenFailure(const std::string& path);

bool IsTerminal(std::FILE* stream);
