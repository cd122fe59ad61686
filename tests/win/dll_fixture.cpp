#include "win/dll_fixture.h"

#include <cstdio>
#include <cstdlib>

std::string VezivodDllPath() {
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length);
    const std::size_t slash = folder.find_last_of("\\/");
    folder = slash == std::string::npos ? std::string() : folder.substr(0, slash + 1);
    return folder + "VEZIVOD.dll";
}

HMODULE VezivodDll() {
    static HMODULE module = [] {
        HMODULE loaded = LoadLibraryA(VezivodDllPath().c_str());
        if (loaded == nullptr) {
            std::fprintf(stderr, "cannot load %s (error %lu)\n", VezivodDllPath().c_str(), GetLastError());
            std::abort();
        }
        return loaded;
    }();
    return module;
}

FARPROC VezivodExport(const char* name) { return GetProcAddress(VezivodDll(), name); }

FARPROC VezivodExportByOrdinal(unsigned ordinal) {
    return GetProcAddress(VezivodDll(), MAKEINTRESOURCEA(ordinal));
}

std::int32_t CallWithBlockPushed(FARPROC fn, ScriptCallBlock* block, bool* stackIntact) {
#if defined(__i386__)
    std::int32_t result = 0;
    std::uint32_t before = 0;
    std::uint32_t after = 0;
    // ESI is kept by every cdecl callee; it holds the stack pointer across
    // the call, which also restores it for the rest of the test.
    __asm__ __volatile__(
        "movl %%esp, %%esi\n\t"
        "pushl %[block]\n\t"
        "call *%[fn]\n\t"
        "addl $4, %%esp\n\t"
        "movl %%esp, %[after]\n\t"
        "movl %%esi, %[before]\n\t"
        "movl %%esi, %%esp\n\t"
        : "=a"(result), [after] "=r"(after), [before] "=r"(before)
        : [block] "r"(block), [fn] "r"(fn)
        : "ecx", "edx", "esi", "memory", "cc");
    *stackIntact = before == after;
    return result;
#else
    *stackIntact = true;
    return reinterpret_cast<BlockExport>(reinterpret_cast<void*>(fn))(block);
#endif
}
