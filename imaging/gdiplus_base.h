#pragma once
// Heap objects of the imaging classes take their memory from the imaging
// library's allocator. The allocation function is non-throwing, so a failed
// new-expression yields null without running the constructor.

#include <cstddef>

namespace Gdiplus {

class GdiplusBase {
 public:
  static void* operator new(std::size_t size) noexcept;
  static void operator delete(void* memory) noexcept;
};

}  // namespace Gdiplus
