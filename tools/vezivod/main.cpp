// vezivod: the library's offline jobs from the command line.
#include <cstdio>
#include <cstring>

#include "commands.h"

namespace {

struct Command {
    const char* name;
    int (*run)(int argc, char** argv);
    const char* usage;
};

constexpr Command kCommands[] = {
    {"encrypt", vezivod::CmdEncrypt, "encrypt --key KEY PASSWORD"},
    {"encrypt-data", vezivod::CmdEncryptData, "encrypt-data --key KEY --access ACCESSPWD PASSWORD"},
    {"decrypt", vezivod::CmdDecrypt, "decrypt --key KEY CODE"},
    {"des", vezivod::CmdDes, "des --encrypt|--decrypt --key HEX16 HEX"},
    {"clean-startup", vezivod::CmdCleanStartup, "clean-startup FILE [-o OUT] [--dry-run]"},
    {"scramble", vezivod::CmdScramble, "scramble [--reg --master PASSWORD [--access PASSWORD] | PASSWORD]"},
    {"verify", vezivod::CmdVerify, "verify --master-hex HEX [--access-hex HEX] PASSWORD"},
};

void PrintHelp(FILE* out) {
    std::fprintf(out, "usage: vezivod COMMAND [OPTIONS]\n\ncommands:\n");
    for (const Command& command : kCommands) std::fprintf(out, "  vezivod %s\n", command.usage);
    std::fprintf(out,
                 "\nA PASSWORD of \"-\" is read from the first line of standard input.\n"
                 "Exit status: 0 on success, 2 for bad usage or refused input.\n");
}

}  // namespace

namespace vezivod {

int Fail(const char* message) {
    std::fprintf(stderr, "vezivod: %s\n", message);
    return kExitUsage;
}

bool ReadPasswordArg(const char* arg, char* buffer, std::size_t size) {
    if (size == 0) return false;
    if (std::strcmp(arg, "-") != 0) {
        const std::size_t length = std::strlen(arg);
        if (length >= size) return false;
        std::memcpy(buffer, arg, length + 1);
        return true;
    }
    std::size_t length = 0;
    int c = 0;
    while ((c = std::getchar()) != EOF && c != '\n') {
        if (length + 1 >= size) return false;
        buffer[length++] = static_cast<char>(c);
    }
    if (length > 0 && buffer[length - 1] == '\r') --length;
    buffer[length] = '\0';
    return true;
}

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

bool DecodeHex(const char* text, unsigned char* bytes, std::size_t size, std::size_t* length) {
    const std::size_t digits = std::strlen(text);
    if (digits % 2 != 0 || digits / 2 > size) return false;
    for (std::size_t i = 0; i < digits / 2; ++i) {
        const int high = HexValue(text[2 * i]);
        const int low = HexValue(text[2 * i + 1]);
        if (high < 0 || low < 0) return false;
        bytes[i] = static_cast<unsigned char>(high * 16 + low);
    }
    *length = digits / 2;
    return true;
}

}  // namespace vezivod

int main(int argc, char** argv) {
    if (argc < 2) {
        PrintHelp(stderr);
        return vezivod::kExitUsage;
    }
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0 ||
        std::strcmp(argv[1], "help") == 0) {
        PrintHelp(stdout);
        return vezivod::kExitOk;
    }
    for (const Command& command : kCommands) {
        if (std::strcmp(argv[1], command.name) == 0) return command.run(argc - 2, argv + 2);
    }
    std::fprintf(stderr, "vezivod: unknown command '%s' (see vezivod --help)\n", argv[1]);
    return vezivod::kExitUsage;
}
