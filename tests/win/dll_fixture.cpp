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
