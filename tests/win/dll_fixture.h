// Loads the built VEZIVOD.dll (beside the test program) once per process and
// finds its exports, as a setup program does.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "host/script_call_block.h"

using BlockExport = std::int32_t(__cdecl*)(ScriptCallBlock*);
using PlainExport = std::int32_t(__cdecl*)();

// The DLL's full path: VEZIVOD.dll in the test program's own folder.
std::string VezivodDllPath();

// The loaded DLL; the test fails (and the process aborts) if it cannot load.
HMODULE VezivodDll();

// An export found by name (nullptr when missing).
FARPROC VezivodExport(const char* name);
// An export found by ordinal (nullptr when missing).
FARPROC VezivodExportByOrdinal(unsigned ordinal);

// Calls an export as a 32-bit setup program does, whatever the export takes:
// the block pointer pushed as one argument and removed by the caller after
// the call. stackIntact tells whether the stack pointer came back to where it
// was (an export that removed its argument itself would move it). On 64-bit
// Windows there is one calling convention and the call is a plain one.
std::int32_t CallWithBlockPushed(FARPROC fn, ScriptCallBlock* block, bool* stackIntact);

inline BlockExport BlockFn(const char* name) {
    return reinterpret_cast<BlockExport>(reinterpret_cast<void*>(VezivodExport(name)));
}
inline PlainExport PlainFn(const char* name) {
    return reinterpret_cast<PlainExport>(reinterpret_cast<void*>(VezivodExport(name)));
}
