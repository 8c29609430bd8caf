// The library's entry point. The C runtime's own start-up runs before it
// (and refuses the load when it fails); the plugin has no work of its own to
// do at load or unload, so every notification succeeds.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE /*instance*/, DWORD /*reason*/, LPVOID /*reserved*/) {
  return TRUE;
}
