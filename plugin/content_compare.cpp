#include "plugin/content_compare.h"

#include "imaging/header_facts.h"
#include "plugin/codes.h"
#include "plugin/coded_picture.h"
#include "plugin/file_bytes.h"
#include "plugin/imaging_lifecycle.h"
#include "plugin/pixel_compare.h"
#include "text/bounded_text.h"

namespace {

bool SameContent(HostFile& first, HostFile& second, CompareProgress& progress) {
  if (first.IsSameFileAs(second)) return true;
  // Identical bytes settle it at the cost of reading them, and the reading
  // stops at the first difference, so pairs that differ lose little.
  if (SameFileBytes(first, second, progress)) return first.UnchangedSinceOpen() && second.UnchangedSinceOpen();
  if (progress.Stopped()) return false;
  // Re-tagged copies: the same coded picture settles it without a decode.
  if (SameCodedPicture(first, second, progress)) return first.UnchangedSinceOpen() && second.UnchangedSinceOpen();
  if (progress.Stopped()) return false;
  const ImagingInUse imaging;
  return SamePixels(first, second, progress) && first.UnchangedSinceOpen() && second.UnchangedSinceOpen();
}

}  // namespace

int CompareContent(HostFile& first, HostFile& second, CompareProgress& progress) {
  if (!first.Open() || !second.Open()) return CompareFileError;
  const bool same = SameContent(first, second, progress);
  if (progress.Stopped() || !progress.Finish()) return CompareStopped;
  return same ? CompareEqual : CompareDifferent;
}

int ExplainBytesReason(HostFile& file, char* text, int maxLen) {
  const BytesReason reason = file.Open() ? BytesReasonOf(file.Facts(Reach::Comparison)) : BytesReason::None;
  CopyBounded(text, maxLen, BytesReasonText(reason));
  return static_cast<int>(reason);
}
