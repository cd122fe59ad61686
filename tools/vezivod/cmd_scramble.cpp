// Scrambled passwords from the command line: the stored form of a password,
// a registry file that stores it where QV_CompPass looks, and the check that
// QV_CompPass makes against given stored bytes.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "commands.h"
#include "common/secure_wipe.h"
#include "password/scramble.h"

namespace vezivod {
namespace {

constexpr std::size_t kPasswordArgSize = 4096;
// Stored values on the command line may be longer than the read limit (they
// then count as empty, as the failed read does); this bounds the hex text.
constexpr std::size_t kStoredArgSize = 4096;
// Bytes per line of a hex value, as Registry Editor writes them.
constexpr std::size_t kRegBytesPerLine = 25;

constexpr char kRegHeader[] = "REGEDIT4";
constexpr char kRegKey[] = "[HKEY_LOCAL_MACHINE\\Software\\Denholt\\Quorvane\\Passwords]";
// Registry files end their lines with CR LF, whatever the platform.
constexpr char kRegLineEnd[] = "\r\n";

struct Password {
    char text[kPasswordArgSize];
};

// Reads a PASSWORD argument; false after a message on stderr.
bool ReadPassword(const char* arg, Password* password, int* status) {
    if (!ReadPasswordArg(arg, password->text, sizeof(password->text))) {
        *status = Fail("the password could not be read");
        return false;
    }
    return true;
}

// The scrambled text of a password (its bytes before the first zero byte) in
// field; 0 when the password has no scrambled form.
std::size_t ScrambleText(const char* password, std::uint8_t (&field)[kScrambledPasswordSize]) {
    if (!ScramblePassword(password, field)) return 0;
    std::size_t length = 0;
    while (field[length] != 0) ++length;
    return length;
}

// Takes the value of an option that wants one; false when it is missing or
// the option was given twice.
bool TakeValue(int argc, char** argv, int* i, const char** value) {
    if (*value != nullptr || *i + 1 >= argc) return false;
    *value = argv[++*i];
    return true;
}

void PrintRegValue(const char* name, const std::uint8_t* bytes, std::size_t length) {
    std::printf("\"%s\"=hex:", name);
    for (std::size_t i = 0; i < length; ++i) {
        std::printf("%02x", bytes[i]);
        if (i + 1 == length) break;
        std::printf(",");
        if ((i + 1) % kRegBytesPerLine == 0) std::printf("\\%s  ", kRegLineEnd);
    }
    std::printf("%s", kRegLineEnd);
}

int PrintRegFile(const char* masterArg, const char* accessArg) {
    const char* const names[] = {"Master", "Access"};
    const char* const args[] = {masterArg, accessArg};
    std::uint8_t fields[2][kScrambledPasswordSize];
    std::size_t lengths[2] = {0, 0};
    int status = kExitOk;
    for (int v = 0; v < 2 && status == kExitOk; ++v) {
        if (args[v] == nullptr) continue;
        Password password;
        if (!ReadPassword(args[v], &password, &status)) break;
        lengths[v] = ScrambleText(password.text, fields[v]);
        SecureWipe(password.text);
        if (lengths[v] == 0) status = Fail("a password has 1 to 250 characters");
    }
    if (status == kExitOk) {
#ifdef _WIN32
        _setmode(_fileno(stdout), _O_BINARY);
#endif
        std::printf("%s%s%s%s%s", kRegHeader, kRegLineEnd, kRegLineEnd, kRegKey, kRegLineEnd);
        for (int v = 0; v < 2; ++v) {
            if (args[v] != nullptr) PrintRegValue(names[v], fields[v], lengths[v]);
        }
        std::printf("%s", kRegLineEnd);
    }
    SecureWipe(fields);
    return status;
}

}  // namespace

int CmdScramble(int argc, char** argv) {
    static const char kUsage[] =
        "usage: vezivod scramble PASSWORD | vezivod scramble --reg --master PASSWORD [--access PASSWORD]";
    bool reg = false;
    const char* master = nullptr;
    const char* access = nullptr;
    const char* positional = nullptr;
    for (int i = 0; i < argc; ++i) {
        const char* arg = argv[i];
        bool ok = true;
        if (std::strcmp(arg, "--reg") == 0) {
            ok = !reg;
            reg = true;
        } else if (std::strcmp(arg, "--master") == 0) {
            ok = TakeValue(argc, argv, &i, &master);
        } else if (std::strcmp(arg, "--access") == 0) {
            ok = TakeValue(argc, argv, &i, &access);
        } else if (std::strncmp(arg, "--", 2) == 0 || positional != nullptr) {
            ok = false;
        } else {
            positional = arg;
        }
        if (!ok) return Fail(kUsage);
    }
    if (reg) {
        if (master == nullptr || positional != nullptr) return Fail(kUsage);
        return PrintRegFile(master, access);
    }
    if (positional == nullptr || master != nullptr || access != nullptr) return Fail(kUsage);

    Password password;
    int status = kExitOk;
    if (!ReadPassword(positional, &password, &status)) return status;
    std::uint8_t field[kScrambledPasswordSize];
    const std::size_t length = ScrambleText(password.text, field);
    SecureWipe(password.text);
    if (length == 0) return Fail("a password has 1 to 250 characters");
    for (std::size_t i = 0; i < length; ++i) std::printf("%02x", field[i]);
    std::printf("\n");
    SecureWipe(field);
    return kExitOk;
}

int CmdVerify(int argc, char** argv) {
    static const char kUsage[] = "usage: vezivod verify --master-hex HEX [--access-hex HEX] PASSWORD";
    const char* masterHex = nullptr;
    const char* accessHex = nullptr;
    const char* positional = nullptr;
    for (int i = 0; i < argc; ++i) {
        const char* arg = argv[i];
        bool ok = true;
        if (std::strcmp(arg, "--master-hex") == 0) {
            ok = TakeValue(argc, argv, &i, &masterHex);
        } else if (std::strcmp(arg, "--access-hex") == 0) {
            ok = TakeValue(argc, argv, &i, &accessHex);
        } else if (std::strncmp(arg, "--", 2) == 0 || positional != nullptr) {
            ok = false;
        } else {
            positional = arg;
        }
        if (!ok) return Fail(kUsage);
    }
    if (masterHex == nullptr || positional == nullptr) return Fail(kUsage);

    static std::uint8_t master[kStoredArgSize];
    static std::uint8_t access[kStoredArgSize];
    std::size_t masterLength = 0;
    std::size_t accessLength = 0;
    if (!DecodeHex(masterHex, master, kStoredArgSize, &masterLength) ||
        (accessHex != nullptr && !DecodeHex(accessHex, access, kStoredArgSize, &accessLength))) {
        return Fail("a stored value is written as hex digits, two for each byte");
    }
    Password password;
    int status = kExitOk;
    if (!ReadPassword(positional, &password, &status)) return status;
    const bool matches = TypedPasswordMatches(password.text, master, masterLength, access, accessLength);
    SecureWipe(password.text);
    std::printf("%d\n", matches ? 1 : 0);
    return kExitOk;
}

}  // namespace vezivod
