/* A small DLL for the runner's smoke test: one __cdecl export. */
#include <windows.h>

__declspec(dllexport) int __cdecl smoke_add(int a, int b) { return a + b; }

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)instance;
    (void)reason;
    (void)reserved;
    return TRUE;
}
