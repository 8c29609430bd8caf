// libFuzzer target: the fuzzed bytes become a file, and the plugin is asked
// for all three fields and a comparison against a real image, as the host
// would ask for a file that merely claims to be a picture.
#include <cstdint>

#include "fuzz/input_file.h"
#include "plugin/exports.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool started = (ContentSetDefaultParams(nullptr), true);
  (void)started;
  if (!WriteInput(data, size)) return 0;
  const char* file = InputPath().c_str();
  std::int32_t number = 0;
  char text[64];
  ContentGetValue(file, 0, 0, &number, sizeof number, 0);
  ContentGetValue(file, 1, 0, &number, sizeof number, 0);
  ContentGetValue(file, 2, 0, text, sizeof text, 0);
  ContentCompareFiles(nullptr, 10000, file, PIXDIM_FIXTURES "/photo.png", nullptr);
  ContentCompareFiles(nullptr, 10000, file, file, nullptr);
  return 0;
}
