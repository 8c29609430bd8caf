// The host calls every export with the system calling convention: the
// called function removes its own arguments. An export built with the C
// convention would leave the stack pointer off by the argument bytes.
#include <cstdint>
#include <vector>

#include "tests/e2e/plugin_fixture.h"

namespace {

// Pushes args right to left, calls function, and returns how far the stack
// pointer is from where it was before the pushes.
int StackDrift(void (*function)(), const std::vector<std::uint32_t>& args) {
  const std::uint32_t* first = args.data();
  const int count = static_cast<int>(args.size());
  int drift = 0;
  asm volatile(
      "movl %%esp, %%edi\n\t"
      "movl %[count], %%ecx\n\t"
      "1:\n\t"
      "testl %%ecx, %%ecx\n\t"
      "jz 2f\n\t"
      "pushl -4(%[first],%%ecx,4)\n\t"
      "decl %%ecx\n\t"
      "jmp 1b\n\t"
      "2:\n\t"
      "call *%[function]\n\t"
      "movl %%edi, %%eax\n\t"
      "subl %%esp, %%eax\n\t"
      "movl %%edi, %%esp\n\t"
      : "=a"(drift)
      : [function] "r"(function), [first] "r"(first), [count] "r"(count)
      : "ecx", "edx", "edi", "memory", "cc");
  return drift;
}

template <typename Function>
void (*Raw(Function function))() {
  return reinterpret_cast<void (*)()>(function);
}

std::uint32_t Address(const void* pointer) {
  return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(pointer));
}

TEST(StackBalance, EveryExportRemovesItsOwnArguments) {
  ASSERT_TRUE(Plugin().Loaded()) << Plugin().Error();
  ASSERT_NE(Exports().GetValueW, nullptr);
  const PluginExports& plugin = Exports();
  char text[256] = "";
  char units[256] = "";
  std::uint32_t value = 0;
  const std::string image = Fixture("photo.png");
  const std::u16string wideImage(image.begin(), image.end());

  EXPECT_EQ(StackDrift(Raw(plugin.SetDefaultParams), {0}), 0);
  EXPECT_EQ(StackDrift(Raw(plugin.GetDetectString), {Address(text), 256}), 0);
  EXPECT_EQ(StackDrift(Raw(plugin.GetSupportedField), {0, Address(text), Address(units), 256}), 0);
  EXPECT_EQ(StackDrift(Raw(plugin.GetValue), {Address(image.c_str()), 0, 0, Address(&value), 4, 0}), 0);
  EXPECT_EQ(StackDrift(Raw(plugin.CompareFiles),
                       {0, 10000, Address(image.c_str()), Address(image.c_str()), 0}),
            0);
  EXPECT_EQ(StackDrift(Raw(plugin.GetValueW), {Address(wideImage.c_str()), 0, 0, Address(&value), 4, 0}), 0);
  EXPECT_EQ(StackDrift(Raw(plugin.CompareFilesW),
                       {0, 10000, Address(wideImage.c_str()), Address(wideImage.c_str()), 0}),
            0);
  ASSERT_NE(plugin.StopGetValue, nullptr);
  EXPECT_EQ(StackDrift(Raw(plugin.StopGetValue), {Address(image.c_str())}), 0);
  EXPECT_EQ(StackDrift(Raw(plugin.StopGetValueW), {Address(wideImage.c_str())}), 0);
  EXPECT_EQ(StackDrift(Raw(plugin.PluginUnloading), {}), 0);
}

}  // namespace
