// pixdim-compare: the plugin's "Content" compare outside a host, for a file
// manager that never asks a plugin to compare (Double Commander) or for a
// script. It is linked with the plugin's own code and calls the plugin's
// ContentCompareFiles export, so its verdicts are the plugin's.
//
//   pixdim-compare [--] FILE1 FILE2    exits like cmp: 0 equal, 1 different,
//                                      2 a file could not be opened
//   pixdim-compare [--any-format] [--] DIR1 DIR2
//                                      pairs the files of both folders by
//                                      relative path, one line per pair and
//                                      a summary; 0 only when all are equal
// Every name it prints is escaped (tools/shown_name.h).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "plugin/codes.h"
#include "plugin/exports.h"
#include "tools/tool_platform.h"
#include "tools/folder_pairing.h"
#include "tools/shown_name.h"

namespace {

constexpr int ExitEqual = 0;
constexpr int ExitDifferent = 1;
constexpr int ExitTrouble = 2;

const char* const Usage =
    "usage: pixdim-compare [--] FILE1 FILE2\n"
    "       pixdim-compare [--any-format] [--] DIR1 DIR2\n"
    "       pixdim-compare -h | --help | --version\n"
    "\n"
    "Says whether two pictures show the same pixels, whatever their formats\n"
    "(pixdim's \"Content\" compare): \"equal\" only with proof, the same bytes or\n"
    "the same size, colour and alpha in every pixel of every image they hold.\n"
    "A \"different\" that only the bytes could settle says why in brackets.\n"
    "For two folders it pairs their files by relative path, recursively, and\n"
    "prints one line per pair and a summary. A folder that cannot be read is an\n"
    "error, and the other folder's files below it are not listed.\n"
    "\n"
    "  --any-format  pair files by relative path without the extension, so\n"
    "                a.png is compared with a.webp; where that path belongs to\n"
    "                more than one file in a folder (a.png and a.jpg), those\n"
    "                files are paired by full name, so no guess picks one\n"
    "  -h, --help    print this text\n"
    "  --version     print the version\n"
    "\n"
    "Names are printed escaped, so no name can forge a line or move the\n"
    "terminal's cursor: a backslash as \\\\, line feed, carriage return and tab\n"
    "as \\n, \\r and \\t, and any other control character or byte that is not\n"
    "part of valid UTF-8 as \\xHH (its value in hex).\n"
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
      return " (" + ShownName(*name) + " " + text + ", so only the same bytes count)";
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
    std::fprintf(stderr, "pixdim-compare: %s: %s\n", ShownName(*name).c_str(), why.c_str());
    told = true;
  }
  if (!told) {
    std::fprintf(stderr, "pixdim-compare: %s, %s: could not be read\n", ShownName(first).c_str(),
                 ShownName(second).c_str());
  }
}

int CompareTwoFiles(const std::string& first, const std::string& second) {
  const int code = Compare(first, second);
  if (code == CompareEqual) {
    std::printf("equal: %s and %s show the same pixels\n", ShownName(first).c_str(), ShownName(second).c_str());
    return ExitEqual;
  }
  if (code == CompareDifferent) {
    std::printf("different: %s and %s%s\n", ShownName(first).c_str(), ShownName(second).c_str(),
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

std::string Joined(const std::string& root, const std::string& relative) {
  return relative.empty() ? root : root + "/" + relative;
}

// Each folder that could not be listed is an error on its side.
void ReportUnreadable(const std::string& root, const FileTree& tree, Tally& tally) {
  for (const UnreadableFolder& folder : tree.unreadable) {
    std::printf("error (folder could not be read: %s): %s\n", folder.why.c_str(),
                ShownName(Joined(root, folder.relative)).c_str());
    ++tally.errors;
  }
}

// Whether relative lies in a folder that could not be listed on either
// side: what that side holds there is unknown, so a file of the other side
// is not "only in" its folder.
bool BelowUnreadable(const std::string& relative, const FileTree& first, const FileTree& second) {
  for (const FileTree* tree : {&first, &second}) {
    for (const UnreadableFolder& folder : tree->unreadable) {
      if (folder.relative.empty() || relative.compare(0, folder.relative.size() + 1, folder.relative + "/") == 0) {
        return true;
      }
    }
  }
  return false;
}

// The relative path of a pair as printed: one path, or both where
// --any-format paired two names.
std::string ShownPair(const Pairing& pair) {
  if (pair.first.empty() || pair.second.empty() || pair.first == pair.second) {
    return ShownName(pair.first.empty() ? pair.second : pair.first);
  }
  return ShownName(pair.first) + " and " + ShownName(pair.second);
}

int CompareTwoFolders(const std::string& first, const std::string& second, bool anyFormat) {
  const FileTree firstTree = ListFiles(first);
  const FileTree secondTree = ListFiles(second);
  Tally tally;
  ReportUnreadable(first, firstTree, tally);
  ReportUnreadable(second, secondTree, tally);

  std::vector<Pairing> pairs =
      anyFormat ? PairByStem(firstTree.files, secondTree.files) : PairByName(firstTree.files, secondTree.files);
  pairs.erase(std::remove_if(pairs.begin(), pairs.end(),
                             [&](const Pairing& pair) {
                               return (pair.first.empty() || pair.second.empty()) &&
                                      BelowUnreadable(pair.first + pair.second, firstTree, secondTree);
                             }),
              pairs.end());
  Progress progress(pairs.size());
  for (std::size_t n = 0; n < pairs.size(); ++n) {
    const Pairing& pair = pairs[n];
    std::string verdict;
    std::string note;
    if (pair.first.empty() || pair.second.empty()) {
      verdict = "only in " + ShownName(pair.first.empty() ? second : first) + ":";
      ++tally.alone;
    } else {
      const std::string firstPath = Joined(first, pair.first);
      const std::string secondPath = Joined(second, pair.second);
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
    std::printf("%s %s%s\n", verdict.c_str(), ShownPair(pair).c_str(), note.c_str());
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
  bool anyFormat = false;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (options && argument == "--") {
      options = false;
    } else if (options && (argument == "-h" || argument == "--help")) {
      std::fputs(Usage, stdout);
      return ExitEqual;
    } else if (options && argument == "--version") {
      std::printf("pixdim-compare %s\n", PIXDIM_VERSION);
      return ExitEqual;
    } else if (options && argument == "--any-format") {
      anyFormat = true;
    } else if (options && argument.size() > 1 && argument[0] == '-') {
      std::fprintf(stderr, "pixdim-compare: unknown option %s\n%s", ShownName(argument).c_str(), Usage);
      return ExitTrouble;
    } else {
      names.push_back(argument);
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
    std::fprintf(stderr, "pixdim-compare: %s: %s\n", ShownName(file).c_str(),
                 why.empty() ? "a file, compared with a folder: give two files or two folders" : why.c_str());
  } else if (!firstIsFolder && anyFormat) {
    std::fputs("pixdim-compare: --any-format pairs the files of two folders; give two folders\n", stderr);
  } else {
    status = firstIsFolder ? CompareTwoFolders(names[0], names[1], anyFormat) : CompareTwoFiles(names[0], names[1]);
  }
  ContentPluginUnloading();
  return status;
}
