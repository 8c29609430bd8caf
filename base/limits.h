#pragma once
// The largest value a signed 32-bit number holds: the bound of the sizes
// and counts the host and the imaging libraries keep in an int.

#include <cstdint>

constexpr std::uint32_t Int31Max = 0x7fffffff;
