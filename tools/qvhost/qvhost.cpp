// qvhost: loads VEZIVOD.dll the way a setup program does and runs its exports
// on one ScriptCallBlock, from the command line or from a small script.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "host/host_table.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitError = 2;

// Every export is called with the block pointer, as a setup program does;
// the caller removes the argument, so exports that take none ignore it.
using ExportFn = std::int32_t(__cdecl*)(ScriptCallBlock*);

struct Settings {
    std::string dll;
    unsigned long capacity = 64;
    unsigned long nameWidth = 32;
    unsigned long valueWidth = 256;
};

const char kUsage[] =
    "usage: qvhost [--dll PATH] [--capacity N] [--name-width N] [--value-width N]\n"
    "              [--param TEXT] [NAME=VALUE ...] EXPORT...\n"
    "       qvhost [--dll PATH] [--capacity N] [--name-width N] [--value-width N] --script FILE\n"
    "\n"
    "EXPORT is an export's name or #ordinal. Each export is called in order on\n"
    "one block; after each call qvhost prints \"EXPORT = RESULT\", and after the\n"
    "last, every variable in slot order as NAME=VALUE.\n"
    "\n"
    "A script has one command a line: set NAME=VALUE, param TEXT, call EXPORT,\n"
    "print NAME. Blank lines and lines starting with # are skipped.\n";

int Fail(const std::string& message) {
    std::fprintf(stderr, "qvhost: %s\n", message.c_str());
    return kExitError;
}

std::string DefaultDllPath() {
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length);
    const std::size_t slash = folder.find_last_of("\\/");
    folder = slash == std::string::npos ? std::string() : folder.substr(0, slash + 1);
    return folder + "VEZIVOD.dll";
}

bool ParseCount(const char* text, unsigned long max, unsigned long* value) {
    if (text == nullptr || *text < '0' || *text > '9') return false;
    char* end = nullptr;
    errno = 0;
    const unsigned long parsed = std::strtoul(text, &end, 10);
    if (errno != 0 || *end != '\0' || parsed > max) return false;
    *value = parsed;
    return true;
}

class Host {
public:
    Host(HMODULE module, const Settings& settings)
        : module_(module),
          table_(static_cast<std::uint32_t>(settings.capacity), static_cast<std::uint32_t>(settings.nameWidth),
                 static_cast<std::uint32_t>(settings.valueWidth)) {}

    // "NAME=VALUE": false with a message when it is malformed or does not fit.
    bool Set(const std::string& assignment, std::string* error) {
        const std::size_t equals = assignment.find('=');
        if (equals == std::string::npos || equals == 0) {
            *error = "expected NAME=VALUE, got '" + assignment + "'";
            return false;
        }
        if (!table_.Set(assignment.substr(0, equals), assignment.substr(equals + 1))) {
            *error = "variable '" + assignment.substr(0, equals) + "' does not fit the table";
            return false;
        }
        return true;
    }

    void SetParam(const std::string& text) { table_.SetParam(text.c_str()); }

    bool Call(const std::string& name, std::string* error) {
        FARPROC proc = nullptr;
        if (!name.empty() && name[0] == '#') {
            unsigned long ordinal = 0;
            if (!ParseCount(name.c_str() + 1, 0xFFFF, &ordinal) || ordinal == 0) {
                *error = "bad ordinal '" + name + "'";
                return false;
            }
            proc = GetProcAddress(module_, MAKEINTRESOURCEA(ordinal));
        } else {
            proc = GetProcAddress(module_, name.c_str());
        }
        if (proc == nullptr) {
            *error = "unknown export '" + name + "'";
            return false;
        }
        const auto fn = reinterpret_cast<ExportFn>(reinterpret_cast<void*>(proc));
        const std::int32_t result = fn(table_.block());
        std::printf("%s = %ld\n", name.c_str(), static_cast<long>(result));
        std::fflush(stdout);
        return true;
    }

    void Print(const std::string& name) const {
        std::printf("%s=%s\n", name.c_str(), table_.Get(name).c_str());
    }

    void PrintAll() const {
        for (std::uint32_t i = 0; i < table_.count(); ++i) {
            std::printf("%s=%s\n", table_.NameAt(i).c_str(), table_.ValueAt(i).c_str());
        }
    }

private:
    HMODULE module_;
    HostTable table_;
};

// Runs a script file; returns the exit code.
int RunScript(Host& host, const char* path) {
    FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return Fail(std::string("cannot open script '") + path + "'");
    std::string line;
    int lineNumber = 0;
    int status = kExitOk;
    bool atEnd = false;
    while (!atEnd && status == kExitOk) {
        line.clear();
        int c = 0;
        while ((c = std::fgetc(file)) != EOF && c != '\n') line.push_back(static_cast<char>(c));
        atEnd = (c == EOF);
        if (atEnd && line.empty()) break;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line[start] == '#') continue;
        line = line.substr(start);
        const std::size_t space = line.find(' ');
        const std::string command = line.substr(0, space);
        const std::string argument = space == std::string::npos ? std::string() : line.substr(space + 1);
        std::string error;
        bool ok = true;
        if (command == "set") {
            ok = host.Set(argument, &error);
        } else if (command == "param") {
            host.SetParam(argument);
        } else if (command == "call" && !argument.empty()) {
            ok = host.Call(argument, &error);
        } else if (command == "print" && !argument.empty()) {
            host.Print(argument);
        } else {
            ok = false;
            error = "unknown command '" + line + "'";
        }
        if (!ok) status = Fail(std::string(path) + ":" + std::to_string(lineNumber) + ": " + error);
    }
    std::fclose(file);
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    // Values are bytes: print them as they are, with LF line ends.
    _setmode(_fileno(stdout), _O_BINARY);

    Settings settings;
    settings.dll = DefaultDllPath();
    const char* script = nullptr;
    const char* param = nullptr;
    int first = 1;
    for (; first < argc && std::strncmp(argv[first], "--", 2) == 0; ++first) {
        const std::string option = argv[first];
        if (option == "--help") {
            std::fputs(kUsage, stdout);
            return kExitOk;
        }
        const char* value = first + 1 < argc ? argv[first + 1] : nullptr;
        bool ok = value != nullptr;
        if (option == "--dll" && ok) {
            settings.dll = value;
        } else if (option == "--script" && ok) {
            script = value;
        } else if (option == "--param" && ok) {
            param = value;
        } else if (option == "--capacity") {
            ok = ok && ParseCount(value, 65535, &settings.capacity);
        } else if (option == "--name-width") {
            ok = ok && ParseCount(value, 1u << 20, &settings.nameWidth);
        } else if (option == "--value-width") {
            ok = ok && ParseCount(value, 1u << 24, &settings.valueWidth);
        } else {
            ok = false;
        }
        if (!ok) return Fail("bad option '" + option + "' (see qvhost --help)");
        ++first;
    }
    if (script == nullptr && first >= argc) return Fail("no export to call (see qvhost --help)");
    if (script != nullptr && first < argc) return Fail("--script takes no other arguments");

    HMODULE module = LoadLibraryA(settings.dll.c_str());
    if (module == nullptr) {
        return Fail("cannot load '" + settings.dll + "' (error " + std::to_string(GetLastError()) + ")");
    }
    Host host(module, settings);
    if (param != nullptr) host.SetParam(param);
    int status = kExitOk;
    if (script != nullptr) {
        status = RunScript(host, script);
    } else {
        std::string error;
        int i = first;
        for (; i < argc && std::strchr(argv[i], '=') != nullptr; ++i) {
            if (!host.Set(argv[i], &error)) break;
        }
        if (!error.empty()) {
            status = Fail(error);
        } else if (i >= argc) {
            status = Fail("no export to call (see qvhost --help)");
        } else {
            for (; i < argc && status == kExitOk; ++i) {
                if (!host.Call(argv[i], &error)) status = Fail(error);
            }
            if (status == kExitOk) host.PrintAll();
        }
    }
    std::fflush(stdout);
    FreeLibrary(module);
    return status;
}
