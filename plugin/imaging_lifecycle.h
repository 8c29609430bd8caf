#pragma once
// Start and shutdown of the imaging library for the module's lifetime.

#include <cstdint>

// Zero until the first start; the newest start's token afterwards.
extern std::uintptr_t StartupToken;

// Starts the imaging library; its status is not examined. A second start
// overwrites the token.
void StartImaging();

// Shuts the imaging library down with the newest token. Without a preceding
// start there is nothing the library issued, so nothing is shut down.
void StopImaging();
