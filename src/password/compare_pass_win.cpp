// QV_CompPass: reads the stored master and access texts from the registry and
// checks the typed password (the block's parameter text) against them.
#include <windows.h>

#include <cstdint>

#include "common/secure_wipe.h"
#include "host/exports.h"
#include "password/scramble.h"

namespace {

constexpr char kPasswordsKey[] = "Software\\Denholt\\Quorvane\\Passwords";

// Reads one value into field (kStoredPasswordLimit bytes) and returns how
// many bytes it holds. A read that fails or does not fit the limit reads as
// empty, and whatever it may have left in the field is wiped.
std::size_t ReadStoredPassword(HKEY key, const char* name, std::uint8_t* field) {
    DWORD size = kStoredPasswordLimit;
    const LONG status = RegQueryValueExA(key, name, nullptr, nullptr, field, &size);
    if (status != ERROR_SUCCESS || size > kStoredPasswordLimit) {
        SecureWipe(field, kStoredPasswordLimit);
        return 0;
    }
    return size;
}

}  // namespace

extern "C" std::int32_t QV_CALL QV_CompPass(ScriptCallBlock* block) {
    if (block == nullptr || block->paramText == nullptr) return 0;

    std::uint8_t master[kStoredPasswordLimit] = {};
    std::uint8_t access[kStoredPasswordLimit] = {};
    std::size_t masterLength = 0;
    std::size_t accessLength = 0;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPasswordsKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        masterLength = ReadStoredPassword(key, "Master", master);
        accessLength = ReadStoredPassword(key, "Access", access);
        RegCloseKey(key);
    }

    const bool matches = TypedPasswordMatches(block->paramText, master, masterLength, access, accessLength);
    SecureWipe(master);
    SecureWipe(access);
    return matches ? 1 : 0;
}
