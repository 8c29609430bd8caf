#pragma once
// How pixdim-compare pairs the files of two folders: by relative path, or,
// with --any-format, by relative path without the extension where that
// pairs one file with one file.

#include <string>
#include <vector>

// Two files to compare, or a file in one folder only: relative paths, empty
// on the side that lacks it.
struct Pairing {
  std::string first;
  std::string second;
};

// Pairs equal relative paths of two bytewise sorted lists; in that order.
std::vector<Pairing> PairByName(const std::vector<std::string>& first, const std::vector<std::string>& second);

// Pairs files whose relative paths are equal without their extensions
// (a.png with a.webp), in the order of those paths. Where such a path
// belongs to more than one file in either folder (a.png and a.jpg), no
// guess picks one: the files of that path are paired by full name.
std::vector<Pairing> PairByStem(const std::vector<std::string>& first, const std::vector<std::string>& second);
