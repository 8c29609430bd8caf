// SVG: a drawing the imaging library renders at the size its root element
// gives. The renderer (librsvg's legacy sizing, at its 90 dots per inch)
// takes the root's width and height, 100% where missing: lengths in pixels
// or physical units convert directly; a percentage takes its size from the
// viewBox (both percentages: the viewBox's size; one: the other length and
// the viewBox's aspect). Each side is rounded to the nearest pixel. The
// reader scans a bounded prolog (XML declaration, comments, a document type
// without an internal subset) to the root element, and leaves the size open
// for anything it cannot follow: entities, style sheets named before the
// root, a style attribute, font-relative units, a root outside SVG's
// namespace.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "imaging/header_facts_formats.h"

namespace {

constexpr std::size_t MaxPrologBytes = 16 * 1024;
constexpr double DotsPerInch = 90.0;
constexpr double CentimetresPerInch = 2.54;
constexpr double MillimetresPerInch = 25.4;
constexpr double PointsPerInch = 72.0;
constexpr double PicasPerInch = 6.0;
constexpr double MaxSide = 2147483647.0;  // the renderer's sizes are 32-bit
constexpr const char* SvgNamespace = "http://www.w3.org/2000/svg";

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

struct Length {
  bool valid = false;
  bool percent = false;
  double value = 0;  // in pixels, or the percentage
};

// A non-negative number (digits, an optional fraction; the renderer keeps
// it in single precision) and a unit the renderer converts without a font.
Length ParseLength(std::string text) {
  Length length;
  while (!text.empty() && IsSpace(text.back())) text.pop_back();
  std::size_t at = 0;
  while (at < text.size() && IsSpace(text[at])) ++at;
  const std::size_t start = at;
  while (at < text.size() && (std::isdigit(static_cast<unsigned char>(text[at])) != 0 || text[at] == '.')) ++at;
  const std::string number = text.substr(start, at - start);
  const std::string unit = text.substr(at);
  if (number.empty() || number.find('.') != number.rfind('.') || number == ".") return length;
  const double value = static_cast<double>(std::strtof(number.c_str(), nullptr));
  // Physical units: inches, centimetres, millimetres, points and picas,
  // multiplied by the dots per inch, then divided, as the renderer does.
  const double perInch = unit == "in"   ? 1.0
                         : unit == "cm" ? CentimetresPerInch
                         : unit == "mm" ? MillimetresPerInch
                         : unit == "pt" ? PointsPerInch
                         : unit == "pc" ? PicasPerInch
                                        : 0.0;
  if (unit == "%") {
    length = {true, true, value};
  } else if (unit.empty() || unit == "px") {
    length = {true, false, value};
  } else if (unit == "in") {
    length = {true, false, value * DotsPerInch};
  } else if (perInch != 0.0) {
    length = {true, false, value * DotsPerInch / perInch};
  }
  return length;
}

struct ViewBox {
  bool valid = false;
  double width = 0;
  double height = 0;
};

// Four numbers apart by blanks or commas; the size must not be negative.
ViewBox ParseViewBox(const std::string& text) {
  ViewBox box;
  double values[4];
  const char* at = text.c_str();
  for (int i = 0; i < 4; ++i) {
    while (IsSpace(*at) || (i > 0 && *at == ',')) ++at;
    char* end = nullptr;
    values[i] = static_cast<double>(std::strtof(at, &end));
    // CSS numbers only: no hexadecimal, infinities or NaN.
    const bool number = std::all_of(at, static_cast<const char*>(end), [](char c) {
      return std::isdigit(static_cast<unsigned char>(c)) != 0 || c == '.' || c == 'e' || c == 'E' || c == '+' || c == '-';
    });
    if (end == at || !number) return box;
    at = end;
  }
  while (IsSpace(*at)) ++at;
  if (*at != '\0' || values[2] < 0 || values[3] < 0) return box;
  return {true, values[2], values[3]};
}

class Prolog {
 public:
  explicit Prolog(std::vector<char> bytes) : text(std::move(bytes)) {}

  // Steps past the declaration, comments, blanks and a document type to
  // the root element's name; false for anything else.
  bool ToRoot() {
    if (Starts("\xef\xbb\xbf")) at += 3;
    for (;;) {
      while (at < text.size() && IsSpace(text[at])) ++at;
      if (Starts("<?xml") && at + 5 < text.size() && IsSpace(text[at + 5])) {
        if (!Past("?>")) return false;
      } else if (Starts("<!--")) {
        if (!Past("-->")) return false;
      } else if (Starts("<!DOCTYPE")) {
        const std::size_t end = Find(">");
        if (end == std::string::npos || std::memchr(text.data() + at, '[', end - at) != nullptr) return false;
        at = end + 1;
      } else {
        return Starts("<svg") && at + 4 < text.size() && (IsSpace(text[at + 4]) || text[at + 4] == '>' || text[at + 4] == '/');
      }
    }
  }

  // The root's attributes, up to the end of its start tag; false when the
  // tag does not end inside the prolog or an attribute is malformed.
  template <typename Visit>
  bool Attributes(Visit visit) {
    at += 4;
    for (;;) {
      while (at < text.size() && IsSpace(text[at])) ++at;
      if (at >= text.size()) return false;
      if (text[at] == '>' || text[at] == '/') return true;
      const std::size_t nameStart = at;
      while (at < text.size() && text[at] != '=' && !IsSpace(text[at]) && text[at] != '>') ++at;
      const std::string name(text.data() + nameStart, at - nameStart);
      while (at < text.size() && IsSpace(text[at])) ++at;
      if (at >= text.size() || text[at] != '=') return false;
      ++at;
      while (at < text.size() && IsSpace(text[at])) ++at;
      if (at >= text.size() || (text[at] != '"' && text[at] != '\'')) return false;
      const char quote = text[at++];
      const std::size_t valueStart = at;
      while (at < text.size() && text[at] != quote) ++at;
      if (at >= text.size()) return false;
      visit(name, std::string(text.data() + valueStart, at - valueStart));
      ++at;
    }
  }

 private:
  bool Starts(const char* prefix) const {
    const std::size_t length = std::strlen(prefix);
    return at + length <= text.size() && std::memcmp(text.data() + at, prefix, length) == 0;
  }
  std::size_t Find(const char* needle) const {
    const std::string_view all(text.data(), text.size());
    return all.find(needle, at);
  }
  bool Past(const char* end) {
    const std::size_t found = Find(end);
    if (found == std::string::npos) return false;
    at = found + std::strlen(end);
    return true;
  }

  std::vector<char> text;
  std::size_t at = 0;
};

struct RootElement {
  bool followed = true;
  bool svgNamespace = false;
  std::string width = "100%";
  std::string height = "100%";
  std::string viewBox;
};

// The drawing's size in pixels, before rounding; false when the renderer
// would measure the drawing itself or draw nothing.
bool DrawingSize(const RootElement& root, double& width, double& height) {
  const Length w = ParseLength(root.width);
  const Length h = ParseLength(root.height);
  if (!w.valid || !h.valid) return false;
  if (!w.percent && !h.percent) {
    width = w.value;
    height = h.value;
    return true;
  }
  if (root.viewBox.empty()) return false;
  const ViewBox box = ParseViewBox(root.viewBox);
  if (!box.valid || box.width == 0 || box.height == 0) return false;
  width = w.percent ? (h.percent ? box.width : h.value * box.width / box.height) : w.value;
  height = h.percent ? (w.percent ? box.height : w.value * box.height / box.width) : h.value;
  return true;
}

}  // namespace

HeaderFacts ReadSvgFacts(HeaderReader& reader) {
  HeaderFacts facts;
  facts.bytesReason = BytesReason::VectorDrawing;
  std::vector<char> bytes(static_cast<std::size_t>(std::min<std::uint64_t>(reader.FileSize(), MaxPrologBytes)));
  bytes.resize(reader.ReadUpTo(0, reinterpret_cast<std::uint8_t*>(bytes.data()), bytes.size()));
  Prolog prolog(std::move(bytes));
  if (!prolog.ToRoot()) return facts;
  facts.format = ImageFormat::Svg;
  RootElement root;
  const bool tagRead = prolog.Attributes([&](const std::string& name, const std::string& value) {
    if (value.find('&') != std::string::npos || name == "style") root.followed = false;
    if (name == "xmlns") root.svgNamespace = value == SvgNamespace;
    if (name == "width") root.width = value;
    if (name == "height") root.height = value;
    if (name == "viewBox") root.viewBox = value;
  });
  double width = 0;
  double height = 0;
  if (!tagRead || !root.followed || !root.svgNamespace || !DrawingSize(root, width, height)) return facts;
  width = std::round(width);
  height = std::round(height);
  if (width >= 1 && height >= 1 && width <= MaxSide && height <= MaxSide) {
    facts.width = static_cast<std::uint32_t>(width);
    facts.height = static_cast<std::uint32_t>(height);
  }
  return facts;
}
