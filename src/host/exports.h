// The library's exports. Every export is extern "C", __cdecl on 32-bit
// Windows (the caller removes the arguments, so a host may pass the block to
// the exports that take none), and returns a 32-bit signed integer.
#pragma once

#include <cstdint>

#include "host/script_call_block.h"

#if defined(_WIN32) && !defined(_WIN64)
#define QV_CALL __cdecl
#else
#define QV_CALL
#endif

extern "C" {
std::int32_t QV_CALL QV_BootKeys(ScriptCallBlock* block);     // ordinal 1
std::int32_t QV_CALL QV_CloseRegedit();                        // ordinal 2
std::int32_t QV_CALL QV_Reboot();                              // ordinal 3
std::int32_t QV_CALL QV_AutoAppend();                          // ordinal 4
std::int32_t QV_CALL QV_Flush();                               // ordinal 5
std::int32_t QV_CALL QV_CompPass(ScriptCallBlock* block);     // ordinal 6
std::int32_t QV_CALL QV_ClearReg();                            // ordinal 7
std::int32_t QV_CALL QV_DESEncrypt(ScriptCallBlock* block);   // ordinal 8
std::int32_t QV_CALL QV_DESDecrypt(ScriptCallBlock* block);   // ordinal 9
std::int32_t QV_CALL QV_DESEncryptData(ScriptCallBlock* block);  // ordinal 10
}
