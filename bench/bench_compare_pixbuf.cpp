// The Linux plugin's content compare against the least it could do:
//   an equal pair (a PNG and a BMP of the same pixels) against decoding both
//     with gdk-pixbuf, in time and in peak memory (each in a new child);
//   a byte-identical pair against reading both files;
//   a 24 Mpx JPEG against a copy with a comment added (the same coded
//     picture, re-tagged) against the JPEG and its byte-identical copy, and
//     the re-tagged pair's peak memory against decoding both;
//   a pair that differs in its first rows against one that differs only in
//     its last pixel (the full compare);
//   the equal pair with a progress callback, as a host passes one, against
//     none.
// Fails when a verdict is wrong.
//   bench_compare_pixbuf PLUGIN PICTURE SAME_PIXELS SAME_BYTES FIRST_ROWS_DIFFER LAST_PIXEL_DIFFERS
//                        JPEG JPEG_SAME_BYTES JPEG_RETAGGED
#include <fcntl.h>
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "bench/bench_support.h"

namespace {

constexpr int kRounds = 5;
// The pairs read without a decode take milliseconds, so their rounds are
// more; each still times one call, as a host makes it, on caches the other
// side's files have cooled.
constexpr int kQuickRounds = 15;
constexpr int kEqual = 1;

void DecodeBoth(const char* first, const char* second) {
  GdkPixbuf* pictures[2] = {gdk_pixbuf_new_from_file(first, nullptr),
                            gdk_pixbuf_new_from_file(second, nullptr)};
  for (GdkPixbuf* picture : pictures) {
    if (picture != nullptr) g_object_unref(picture);
  }
}

long long progressBytes = 0;

int PIXDIM_CALL CountProgress(int bytes) {
  progressBytes += bytes;
  return 0;
}

void ReadWhole(const char* file) {
  static char buffer[1 << 20];
  const int fd = open(file, O_RDONLY);
  if (fd < 0) return;
  while (read(fd, buffer, sizeof buffer) > 0) {
  }
  close(fd);
}

// Peak resident memory, in MiB, of a child that does the work and exits.
template <typename Work>
double PeakMiBOfChild(Work work) {
  std::fflush(stdout);
  const pid_t child = fork();
  if (child == 0) {
    work();
    _exit(0);
  }
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024;
}

void PrintPairRow(const char* what, const char* against, Pair times) {
  std::printf("| %s | %.1f | %s | %.1f | %.2fx | %.2f-%.2fx |\n", what, times.plugin * 1e3, against, times.bare * 1e3,
              times.plugin / times.bare, times.lowRatio, times.highRatio);
}

}  // namespace

int main(int argc, char** argv) {
  const PluginExports& plugin = StartPlugin(
      argc, argv, 12,
      "bench_compare_pixbuf PLUGIN PICTURE SAME_PIXELS SAME_BYTES FIRST_ROWS_DIFFER LAST_PIXEL_DIFFERS JPEG "
      "JPEG_SAME_BYTES JPEG_RETAGGED PLAIN_JPEG PLAIN_JPEG_AS_BMP");
  const char* picture = argv[2];
  const char* samePixels = argv[3];
  const char* sameBytes = argv[4];
  const char* firstRows = argv[5];
  const char* lastPixel = argv[6];
  const char* jpeg = argv[7];
  const char* jpegSameBytes = argv[8];
  const char* jpegRetagged = argv[9];
  const char* plainJpeg = argv[10];  // no metadata, so its BMP may be equal
  const char* plainJpegAsBmp = argv[11];
  int verdicts[8] = {};
  const auto compare = [&](const char* other, int& verdict) {
    verdict = plugin.CompareFiles(nullptr, 10000, picture, other, nullptr);
  };
  const auto compareWithProgress = [&](const char* other, int& verdict) {
    verdict = plugin.CompareFiles(CountProgress, 10000, picture, other, nullptr);
  };

  // Memory first, while this process is still small; each child starts from it.
  const double idle = PeakMiBOfChild([] {});
  const double compareMiB = PeakMiBOfChild([&] { compare(samePixels, verdicts[0]); });
  const double decodeMiB = PeakMiBOfChild([&] { DecodeBoth(picture, samePixels); });
  const auto compareJpeg = [&](const char* other, int& verdict) {
    verdict = plugin.CompareFiles(nullptr, 10000, jpeg, other, nullptr);
  };
  const double retaggedMiB = PeakMiBOfChild([&] { compareJpeg(jpegRetagged, verdicts[5]); });
  const double decodeJpegMiB = PeakMiBOfChild([&] { DecodeBoth(jpeg, jpegRetagged); });

  std::printf("Linux plugin's compare: medians of %d rounds (%d where no decode is needed), and the lowest and\n"
              "highest ratio of one round\n\n",
              kRounds, kQuickRounds);
  std::printf("| pair | compare, ms | against | ms | ratio | rounds |\n|---|---:|---|---:|---:|---:|\n");
  PrintPairRow("equal pixels (PNG, BMP)", "decoding both",
               MedianPair([&] { compare(samePixels, verdicts[0]); }, [&] { DecodeBoth(picture, samePixels); },
                          1, kRounds));
  PrintPairRow("byte-identical", "reading both",
               MedianPair([&] { compare(sameBytes, verdicts[1]); },
                          [&] {
                            ReadWhole(picture);
                            ReadWhole(sameBytes);
                          },
                          1, kQuickRounds));
  PrintPairRow("24 Mpx JPEG, one copy re-tagged (a comment added)", "the byte-identical JPEG pair",
               MedianPair([&] { compareJpeg(jpegRetagged, verdicts[5]); },
                          [&] { compareJpeg(jpegSameBytes, verdicts[6]); }, 1, kQuickRounds));
  PrintPairRow("equal pixels (JPEG, the BMP of its decode)", "decoding both",
               MedianPair([&] { verdicts[7] = plugin.CompareFiles(nullptr, 10000, plainJpeg, plainJpegAsBmp, nullptr); },
                          [&] { DecodeBoth(plainJpeg, plainJpegAsBmp); }, 1, kRounds));
  PrintPairRow("differ in the first rows", "differ in the last pixel",
               MedianPair([&] { compare(firstRows, verdicts[2]); }, [&] { compare(lastPixel, verdicts[3]); },
                          1, kRounds));
  PrintPairRow("equal pixels, progress callback", "no callback",
               MedianPair([&] { compareWithProgress(samePixels, verdicts[4]); },
                          [&] { compare(samePixels, verdicts[0]); }, 1, kRounds));
  std::printf("\n| peak memory of a new child, MiB | total | above an idle child |\n|---|---:|---:|\n");
  std::printf("| idle | %.1f | 0 |\n", idle);
  std::printf("| compare of the equal pair | %.1f | %.1f |\n", compareMiB, compareMiB - idle);
  std::printf("| decoding both | %.1f | %.1f |\n", decodeMiB, decodeMiB - idle);
  std::printf("| ratio | | %.2fx |\n", (compareMiB - idle) / (decodeMiB - idle));
  std::printf("| compare of the re-tagged JPEG pair | %.1f | %.1f |\n", retaggedMiB, retaggedMiB - idle);
  std::printf("| decoding both JPEGs | %.1f | %.1f |\n", decodeJpegMiB, decodeJpegMiB - idle);
  std::printf("| ratio | | %.2fx |\n", (retaggedMiB - idle) / (decodeJpegMiB - idle));
  plugin.PluginUnloading();

  const bool right = verdicts[0] == kEqual && verdicts[1] == kEqual && verdicts[2] == 0 && verdicts[3] == 0 &&
                     verdicts[4] == kEqual && verdicts[5] == kEqual && verdicts[6] == kEqual &&
                     verdicts[7] == kEqual;
  if (!right) {
    std::printf("\nWRONG verdicts: %d %d %d %d %d %d %d %d (expected 1 1 0 0 1 1 1 1)\n", verdicts[0], verdicts[1],
                verdicts[2], verdicts[3], verdicts[4], verdicts[5], verdicts[6], verdicts[7]);
  }
  return right ? 0 : 1;
}
