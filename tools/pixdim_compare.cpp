// pixdim-compare: the plugin's "Content" compare outside a host, for a file
// manager that never asks a plugin to compare (Double Commander) or for a
// script. It is linked with the plugin's own code and calls the plugin's
// ContentCompareFiles export, so its verdicts are the plugin's.
//
//   pixdim-compare [--] FILE1 FILE2    exits like cmp: 0 equal, 1 different,
//                                      2 a file could not be opened
//   pixdim-compare [--] DIR1 DIR2      pairs the files of both folders by
//                                      relative path, one line per pair and
//                                      a summary; 0 only when all are equal
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "plugin/codes.h"
#include "plugin/exports.h"
#include "tools/file_tree.h"

namespace {

constexpr int ExitEqual = 0;
constexpr int ExitDifferent = 1;
constexpr int ExitTrouble = 2;

const char* const Usage =
    "usage: pixdim-compare [--] FILE1 FILE2\n"
    "       pixdim-compare [--] DIR1 DIR2\n"
    "\n"
    "Says whether two pictures show the same pixels, whatever their formats\n"
    "(pixdim's \"Content\" compare): \"equal\" only with proof, the same bytes or\n"
    "the same size, colour and alpha in every pixel of every image they hold.\n"
    "For two folders it pairs their files by relative path, recursively, and\n"
    "prints one line per pair and a summary.\n"
    "\n"
    "Exit status: 0 equal (every pair equal), 1 different (some pair different\n"
    "or a file in one folder only), 2 a file or folder could not be read.\n";

int Compare(const std::string& first, const std::string& second) {
  return ContentCompareFiles(nullptr, CompareIndexContent, first.c_str(), second.c_str(), nullptr);
}

// " (a.png has samples deeper than 8 bits, so only the same bytes count)"
// after a "different" that came from the bytes; empty when the pixels were
// compared. The first file that gives a reason names it.
std::string BytesReasonNote(const std::string& first, const std::string& second) {
  char text[256] = {};
  for (const std::string* name : {&first, &second}) {
    if (PixdimBytesReason(name->c_str(), text, sizeof text) != 0) {
      return " (" + *name + " " + text + ", so only the same bytes count)";
    }
  }
  return "";
}

// Says on standard error which of the two files could not be opened, and why.
void ReportUnopened(const std::string& first, const std::string& second) {
  bool told = false;
  for (const std::string* name : {&first, &second}) {
    const std::string why = OpenFailure(*name);
    if (why.empty()) continue;
    std::fprintf(stderr, "pixdim-compare: %s: %s\n", name->c_str(), why.c_str());
    told = true;
  }
  if (!told) std::fprintf(stderr, "pixdim-compare: %s, %s: could not be read\n", first.c_str(), second.c_str());
}

int CompareTwoFiles(const std::string& first, const std::string& second) {
  const int code = Compare(first, second);
  if (code == CompareEqual) {
    std::printf("equal: %s and %s show the same pixels\n", first.c_str(), second.c_str());
    return ExitEqual;
  }
  if (code == CompareDifferent) {
    std::printf("different: %s and %s%s\n", first.c_str(), second.c_str(),
                BytesReasonNote(first, second).c_str());
    return ExitDifferent;
  }
  if (code == CompareFileError) {
    ReportUnopened(first, second);
  } else {
    std::fprintf(stderr, "pixdim-compare: the compare answered %d\n", code);
  }
  return ExitTrouble;
}

// "compared 120 of 4000" on a terminal's standard error once a run has
// taken a second, renewed at most five times a second. It is wiped before
// each line of the report, so on a terminal it stays below the report.
class Progress {
 public:
  explicit Progress(std::size_t pairs) : total(pairs), shown(IsTerminal(stderr)) {}
  ~Progress() { Wipe(); }
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  void Wipe() {
    if (width == 0) return;
    std::fprintf(stderr, "\r%*s\r", width, "");
    width = 0;
  }

  void Done(std::size_t count) {
    if (!shown) return;
    const Clock::time_point now = Clock::now();
    if (now - start < std::chrono::seconds(1) || now - last < std::chrono::milliseconds(200)) return;
    last = now;
    std::fflush(stdout);
    Wipe();
    width = std::max(0, std::fprintf(stderr, "compared %zu of %zu", count, total));
    std::fflush(stderr);
  }

 private:
  using Clock = std::chrono::steady_clock;
  const std::size_t total;
  const bool shown;
  const Clock::time_point start = Clock::now();
  Clock::time_point last{};
  int width = 0;  // of the line on the terminal now, 0 when none is
};

struct Tally {
  std::size_t equal = 0, different = 0, alone = 0, errors = 0;
};

// One pair of files with the same relative path, or a file on one side only.
struct Pairing {
  std::string relative;
  bool inFirst;
  bool inSecond;
};

// Merges the two sorted lists of relative paths.
std::vector<Pairing> Pair(const std::vector<std::string>& first, const std::vector<std::string>& second) {
  std::vector<Pairing> pairs;
  std::size_t i = 0, j = 0;
  while (i < first.size() || j < second.size()) {
    if (j == second.size() || (i < first.size() && first[i] < second[j])) {
      pairs.push_back({first[i++], true, false});
    } else if (i == first.size() || second[j] < first[i]) {
      pairs.push_back({second[j++], false, true});
    } else {
      pairs.push_back({first[i], true, true});
      ++i, ++j;
    }
  }
  return pairs;
}

void ReportUnreadable(const std::string& root, const FileTree& tree, Tally& tally) {
  for (const std::string& folder : tree.unreadable) {
    std::printf("error (folder could not be read): %s/%s\n", root.c_str(), folder.c_str());
    ++tally.errors;
  }
}

int CompareTwoFolders(const std::string& first, const std::string& second) {
  const FileTree firstTree = ListFiles(first);
  const FileTree secondTree = ListFiles(second);
  Tally tally;
  ReportUnreadable(first, firstTree, tally);
  ReportUnreadable(second, secondTree, tally);

  const std::vector<Pairing> pairs = Pair(firstTree.files, secondTree.files);
  Progress progress(pairs.size());
  for (std::size_t n = 0; n < pairs.size(); ++n) {
    const Pairing& pair = pairs[n];
    std::string verdict;
    std::string note;
    if (!pair.inFirst || !pair.inSecond) {
      verdict = "only in " + (pair.inFirst ? first : second) + ":";
      ++tally.alone;
    } else {
      const std::string firstPath = first + "/" + pair.relative;
      const std::string secondPath = second + "/" + pair.relative;
      const int code = Compare(firstPath, secondPath);
      if (code == CompareEqual) {
        verdict = "equal:";
        ++tally.equal;
      } else if (code == CompareDifferent) {
        verdict = "different:";
        note = BytesReasonNote(firstPath, secondPath);
        ++tally.different;
      } else {
        verdict = "error (could not be opened):";
        ++tally.errors;
      }
    }
    progress.Wipe();
    std::printf("%s %s%s\n", verdict.c_str(), pair.relative.c_str(), note.c_str());
    progress.Done(n + 1);
  }
  std::printf("%zu equal, %zu different, %zu in one folder only, %zu errors\n", tally.equal, tally.different,
              tally.alone, tally.errors);
  if (tally.errors > 0) return ExitTrouble;
  return tally.different + tally.alone > 0 ? ExitDifferent : ExitEqual;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> names;
  bool options = true;
  for (int i = 1; i < argc; ++i) {
    if (options && std::strcmp(argv[i], "--") == 0) {
      options = false;
    } else if (options && std::strcmp(argv[i], "--help") == 0) {
      std::fputs(Usage, stdout);
      return ExitEqual;
    } else if (options && argv[i][0] == '-' && argv[i][1] != '\0') {
      std::fprintf(stderr, "pixdim-compare: unknown option %s\n%s", argv[i], Usage);
      return ExitTrouble;
    } else {
      names.emplace_back(argv[i]);
    }
  }
  if (names.size() != 2) {
    std::fputs(Usage, stderr);
    return ExitTrouble;
  }
  ContentSetDefaultParams(nullptr);
  const bool firstIsFolder = IsFolder(names[0]);
  int status = ExitTrouble;
  if (firstIsFolder != IsFolder(names[1])) {
    const std::string& file = firstIsFolder ? names[1] : names[0];
    const std::string why = OpenFailure(file);
    std::fprintf(stderr, "pixdim-compare: %s: %s\n", file.c_str(),
                 why.empty() ? "a file, compared with a folder: give two files or two folders" : why.c_str());
  } else {
    status = firstIsFolder ? CompareTwoFolders(names[0], names[1]) : CompareTwoFiles(names[0], names[1]);
  }
  ContentPluginUnloading();
  return status;
}
