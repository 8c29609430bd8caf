#pragma once
// What pixdim-compare needs from the platform: the kind of a path, the files
// under a folder, why a file cannot be opened, and whether a stream is a
// terminal. Names are bytes, passed and returned unchanged.

#include <cstdio>
#include <string>
#include <vector>

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
