#include "plugin/detect_string.h"

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

#include "plugin/imaging_lifecycle.h"
#include "plugin/platform.h"
#include "text/bounded_text.h"

namespace {

// The extensions of one decoder's list ("*.BMP;*.DIB" gives BMP and DIB).
// Asterisks and full stops are dropped wherever they stand; each semicolon
// ends an extension.
std::vector<std::string> Extensions(const std::string& list) {
  std::vector<std::string> extensions(1);
  for (const char c : list) {
    if (c == ';') {
      extensions.emplace_back();
    } else if (c != '*' && c != '.') {
      extensions.back() += c;
    }
  }
  return extensions;
}

// The host matches extensions without regard to case.
bool SameExtension(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// The terms listed, each with what decides which goes first when they do
// not all fit: its place in its own decoder's list (a decoder's first
// extension names it; later ones are other spellings), then its place in
// the whole list.
struct Term {
  std::string text;
  std::size_t placeInList;
};

// The host's buffer holds 2,048 bytes with the terminator.
constexpr std::size_t MaxDetectLength = 2047;
constexpr std::size_t SeparatorLength = 3;  // " | "

// Drops whole terms until the string fits within limit characters. Other
// spellings go first, the furthest down their decoder's list first; a
// decoder's first extension goes only when no other spelling is left. Among
// equals the last listed goes first, so the library's own decoders outlast
// the formats only the header reader reads, and each format stays named by
// one term for as long as there is room.
void DropTermsBeyond(std::vector<Term>& terms, std::size_t limit) {
  const auto length = [&] {
    std::size_t total = 0;
    for (const Term& term : terms) total += term.text.size() + (total == 0 ? 0 : SeparatorLength);
    return total;
  };
  while (!terms.empty() && length() > limit) {
    auto dropped = terms.begin();
    for (auto term = terms.begin(); term != terms.end(); ++term) {
      if (term->placeInList >= dropped->placeInList) dropped = term;
    }
    terms.erase(dropped);
  }
}

}  // namespace

void WriteDetectString(char* detectString, int maxLen) {
  if (maxLen <= 0) return;
  const ImagingInUse imaging;
  // Two decoders may claim one extension (two loaders for AVIF); an empty
  // entry ("*.PNG;") names none. Each extension is listed once. The
  // formats only the header reader reads come after the decoders'.
  std::vector<Term> terms;
  std::vector<std::string> listed;
  const auto list = [&](const std::string& extensionList) {
    std::size_t place = 0;
    for (const std::string& extension : Extensions(extensionList)) {
      if (extension.empty()) continue;
      bool repeated = false;
      for (const std::string& earlier : listed) repeated = repeated || SameExtension(earlier, extension);
      if (repeated) continue;
      terms.push_back({"EXT=\"" + extension + "\"", place++});
      listed.push_back(extension);
    }
  };
  for (const std::string& decoder : DecoderExtensionLists()) list(decoder);
  list(HeaderOnlyExtensions());
  DropTermsBeyond(terms, std::min(MaxDetectLength, static_cast<std::size_t>(maxLen) - 1));
  std::string text;
  for (const Term& term : terms) text += (text.empty() ? "" : " | ") + term.text;
  CopyBounded(detectString, maxLen, text.c_str());
}
