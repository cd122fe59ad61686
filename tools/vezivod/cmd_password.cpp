// Password codes and raw DES from the command line. The code commands run
// the library's own exports on a table of their own, so they print exactly
// what the script variable would hold.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "commands.h"
#include "common/secure_wipe.h"
#include "crypto/des.h"
#include "host/exports.h"
#include "host/host_table.h"
#include "password/password_code.h"

namespace vezivod {
namespace {

// Room for any value an option can carry; the exports read at most 255.
constexpr std::uint32_t kToolValueWidth = 4096;
constexpr std::size_t kPasswordArgSize = 4096;

struct Options {
    const char* key = nullptr;
    const char* access = nullptr;
    const char* positional = nullptr;
    bool encrypt = false;
    bool decrypt = false;
};

// True when option is one of the space-separated words of allowed.
bool IsAllowed(const char* option, const char* allowed) {
    const std::size_t length = std::strlen(option);
    for (const char* word = std::strstr(allowed, option); word != nullptr; word = std::strstr(word + 1, option)) {
        const bool starts = word == allowed || word[-1] == ' ';
        const bool ends = word[length] == '\0' || word[length] == ' ';
        if (starts && ends) return true;
    }
    return false;
}

// Parses "--key K", "--access A", "--encrypt", "--decrypt" and one positional
// argument; only the options in allowed are accepted.
bool ParseOptions(int argc, char** argv, const char* allowed, Options* options) {
    for (int i = 0; i < argc; ++i) {
        const char* arg = argv[i];
        const bool wantsValue = std::strcmp(arg, "--key") == 0 || std::strcmp(arg, "--access") == 0;
        if (std::strncmp(arg, "--", 2) == 0 && !IsAllowed(arg, allowed)) return false;
        if (wantsValue) {
            if (i + 1 >= argc) return false;
            (arg[2] == 'k' ? options->key : options->access) = argv[++i];
        } else if (std::strcmp(arg, "--encrypt") == 0) {
            options->encrypt = true;
        } else if (std::strcmp(arg, "--decrypt") == 0) {
            options->decrypt = true;
        } else if (options->positional == nullptr) {
            options->positional = arg;
        } else {
            return false;
        }
    }
    return options->key != nullptr && options->positional != nullptr;
}

int PrintVariable(HostTable& table, const char* name) {
    std::printf("%s\n", table.Get(name).c_str());
    return kExitOk;
}

int RunEncrypt(int argc, char** argv, bool data) {
    Options options;
    if (!ParseOptions(argc, argv, data ? "--key --access" : "--key", &options) ||
        (data && options.access == nullptr)) {
        return Fail(data ? "usage: vezivod encrypt-data --key KEY --access ACCESSPWD PASSWORD"
                         : "usage: vezivod encrypt --key KEY PASSWORD");
    }
    char password[kPasswordArgSize];
    if (!ReadPasswordArg(options.positional, password, sizeof(password))) {
        return Fail("the password could not be read");
    }
    const bool tooLong = std::strlen(password) > kMaxPasswordLength;
    HostTable table(8, 32, kToolValueWidth);
    table.Set("KEY", options.key);
    table.Set(data ? "SUPERPWD" : "PWD1", password);
    if (data) table.Set("ACCESSPWD", options.access);
    SecureWipe(password);
    if (tooLong) return Fail("a password has at most 24 characters");
    if (data) {
        QV_DESEncryptData(table.block());
    } else {
        QV_DESEncrypt(table.block());
    }
    return PrintVariable(table, "ENCPWD");
}

}  // namespace

int CmdEncrypt(int argc, char** argv) { return RunEncrypt(argc, argv, false); }

int CmdEncryptData(int argc, char** argv) { return RunEncrypt(argc, argv, true); }

int CmdDecrypt(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, "--key", &options)) return Fail("usage: vezivod decrypt --key KEY CODE");
    char code[kPasswordArgSize];
    if (!ReadPasswordArg(options.positional, code, sizeof(code))) return Fail("the code could not be read");
    std::uint8_t cipher[kPasswordBlockSize];
    const bool whole = ParsePasswordCode(code, cipher) == kPasswordBlockSize;
    SecureWipe(cipher);
    if (!whole) return Fail("a password code holds 24 numbers separated by commas");
    HostTable table(8, 32, kToolValueWidth);
    table.Set("KEY", options.key);
    table.Set("ENCPWD", code);
    QV_DESDecrypt(table.block());
    return PrintVariable(table, "PWD");
}

int CmdDes(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, "--key --encrypt --decrypt", &options) || options.encrypt == options.decrypt) {
        return Fail("usage: vezivod des --encrypt|--decrypt --key HEX16 HEX");
    }
    std::uint8_t key[kDesBlockSize];
    std::size_t keyLength = 0;
    if (!DecodeHex(options.key, key, sizeof(key), &keyLength) || keyLength != kDesBlockSize) {
        return Fail("the key must be 16 hex digits");
    }
    const std::size_t maxBlocks = 0xFFFF;
    std::string data(maxBlocks * kDesBlockSize, '\0');
    std::uint8_t* bytes = reinterpret_cast<std::uint8_t*>(&data[0]);
    std::size_t length = 0;
    if (!DecodeHex(options.positional, bytes, data.size(), &length) || length == 0 ||
        length % kDesBlockSize != 0) {
        return Fail("the data must be whole 8-byte blocks in hex (16 digits a block)");
    }
    const auto count = static_cast<std::uint16_t>(length / kDesBlockSize);
    if (options.encrypt) {
        DesEncryptBlocks(key, bytes, bytes, count);
    } else {
        DesDecryptBlocks(key, bytes, bytes, count);
    }
    for (std::size_t i = 0; i < length; ++i) std::printf("%02x", bytes[i]);
    std::printf("\n");
    return kExitOk;
}

}  // namespace vezivod
