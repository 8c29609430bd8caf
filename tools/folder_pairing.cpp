#include "tools/folder_pairing.h"

#include <map>

namespace {

// "sub/a.png" -> "sub/a"; a name without a dot, or whose only dot leads it
// (".hidden"), is its own stem.
std::string Stem(const std::string& relative) {
  const std::size_t nameStart = relative.rfind('/') == std::string::npos ? 0 : relative.rfind('/') + 1;
  const std::size_t dot = relative.rfind('.');
  if (dot == std::string::npos || dot <= nameStart) return relative;
  return relative.substr(0, dot);
}

struct StemFiles {
  std::vector<std::string> first, second;  // each sorted, as the lists they come from
};

}  // namespace

std::vector<Pairing> PairByName(const std::vector<std::string>& first, const std::vector<std::string>& second) {
  std::vector<Pairing> pairs;
  std::size_t i = 0, j = 0;
  while (i < first.size() || j < second.size()) {
    if (j == second.size() || (i < first.size() && first[i] < second[j])) {
      pairs.push_back({first[i++], ""});
    } else if (i == first.size() || second[j] < first[i]) {
      pairs.push_back({"", second[j++]});
    } else {
      pairs.push_back({first[i], second[j]});
      ++i, ++j;
    }
  }
  return pairs;
}

std::vector<Pairing> PairByStem(const std::vector<std::string>& first, const std::vector<std::string>& second) {
  std::map<std::string, StemFiles> stems;
  for (const std::string& relative : first) stems[Stem(relative)].first.push_back(relative);
  for (const std::string& relative : second) stems[Stem(relative)].second.push_back(relative);
  std::vector<Pairing> pairs;
  for (const auto& [stem, files] : stems) {
    if (files.first.size() <= 1 && files.second.size() <= 1) {
      pairs.push_back({files.first.empty() ? "" : files.first[0], files.second.empty() ? "" : files.second[0]});
    } else {
      const std::vector<Pairing> byName = PairByName(files.first, files.second);
      pairs.insert(pairs.end(), byName.begin(), byName.end());
    }
  }
  return pairs;
}
