// The password code exports: read the script's variables, make or read a
// code, write the result variable. Every buffer that held a key, a password
// or cipher bytes is wiped before returning.
#include <cstdint>
#include <cstring>

#include "common/secure_wipe.h"
#include "host/exports.h"
#include "host/script_vars.h"
#include "password/password_code.h"

namespace {

// Key buffers start cleared, so a short or missing KEY gives zero bytes
// after its text instead of stack leftovers.
void ReadKey(const ScriptCallBlock* block, char (&key)[kScriptValueSize]) {
    GetScriptVar(block, "KEY", key, sizeof(key));
}

std::uint8_t* KeyBytes(char* key) {
    return reinterpret_cast<std::uint8_t*>(key);
}

}  // namespace

extern "C" std::int32_t QV_CALL QV_DESEncrypt(ScriptCallBlock* block) {
    char key[kScriptValueSize] = {};
    char password[kScriptValueSize] = {};
    char code[kPasswordCodeSize];
    ReadKey(block, key);
    GetScriptVar(block, "PWD1", password, sizeof(password));
    SubstituteKeyStars(KeyBytes(key));
    EncryptPasswordCode(KeyBytes(key), password, code);
    SetScriptVar(block, "ENCPWD", code);
    SecureWipe(key);
    SecureWipe(password);
    SecureWipe(code);
    return 1;
}

extern "C" std::int32_t QV_CALL QV_DESEncryptData(ScriptCallBlock* block) {
    char key[kScriptValueSize] = {};
    char access[kScriptValueSize] = {};
    char password[kScriptValueSize] = {};
    std::uint8_t dataKey[kDataKeySize];
    char code[kPasswordCodeSize];
    ReadKey(block, key);
    GetScriptVar(block, "ACCESSPWD", access, sizeof(access));
    GetScriptVar(block, "SUPERPWD", password, sizeof(password));
    BuildDataKey(access, key, dataKey);
    EncryptPasswordCode(dataKey, password, code);
    SetScriptVar(block, "ENCPWD", code);
    SecureWipe(key);
    SecureWipe(access);
    SecureWipe(password);
    SecureWipe(dataKey);
    SecureWipe(code);
    return 1;
}

extern "C" std::int32_t QV_CALL QV_DESDecrypt(ScriptCallBlock* block) {
    char key[kScriptValueSize] = {};
    char code[kScriptValueSize] = {};
    char password[kPasswordBlockSize + 1];
    ReadKey(block, key);
    GetScriptVar(block, "ENCPWD", code, sizeof(code));
    SubstituteKeyStars(KeyBytes(key));
    DecryptPasswordCode(KeyBytes(key), code, password);
    SetScriptVar(block, "PWD", password);
    SecureWipe(key);
    SecureWipe(code);
    SecureWipe(password);
    return 1;
}
