// The library's load and unload handler. The C runtime's own entry point runs
// first and fails the load if it cannot initialise; the library keeps no
// state of its own, so every notification simply succeeds.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE /*instance*/, DWORD /*reason*/, LPVOID /*reserved*/) {
    return TRUE;
}
