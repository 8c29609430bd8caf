#include "imaging/gdiplus_base.h"

#include "imaging/flat_api.h"

namespace Gdiplus {

void* GdiplusBase::operator new(std::size_t size) noexcept { return GdipAlloc(size); }

void GdiplusBase::operator delete(void* memory) noexcept { GdipFree(memory); }

}  // namespace Gdiplus
