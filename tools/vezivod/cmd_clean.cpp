// clean-startup: the startup file cleaning of the library applied to any
// file. The file is read and written in parts, so memory stays small however
// large the file is.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "cleanup/startup_clean.h"
#include "commands.h"

namespace vezivod {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kReadPart = 256 * 1024;
constexpr const char* kCleanUsage = "usage: vezivod clean-startup FILE [-o OUT] [--dry-run]";

struct CleanOptions {
    const char* file = nullptr;
    const char* out = nullptr;
    bool dryRun = false;
};

bool ParseCleanOptions(int argc, char** argv, CleanOptions* options) {
    for (int i = 0; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "-o") == 0) {
            if (i + 1 >= argc || options->out != nullptr) return false;
            options->out = argv[++i];
        } else if (std::strcmp(arg, "--dry-run") == 0) {
            options->dryRun = true;
        } else if (arg[0] == '-' && arg[1] != '\0') {
            return false;
        } else if (options->file == nullptr) {
            options->file = arg;
        } else {
            return false;
        }
    }
    // A dry run writes nothing, so an output makes no sense with it.
    return options->file != nullptr && !(options->dryRun && options->out != nullptr);
}

// One line per dropped piece: its line in the file, the keyword, its text.
void PrintDropped(const DroppedPiece& piece, void* /*context*/) {
    std::printf("%zu\t%s\t", piece.line, kDropKeywords[piece.keyword]);
    std::fwrite(piece.text, 1, piece.length, stdout);
    std::putchar('\n');
}

// Reads in to its end, cleaning as it goes, writes the result to out
// (nothing when out is null) and closes in. False on a read or write error,
// or when memory runs out; message says which.
bool CleanStream(FILE* in, FILE* out, bool listDropped, const char** message) {
    StartupCleaner cleaner{listDropped ? PrintDropped : nullptr, nullptr, 0, false};
    StartupBuffer part{};
    StartupBuffer cleaned{};
    bool done = ReserveStartupBuffer(&part, kReadPart + kStartupPieceMax + 1);
    *message = "out of memory";
    while (done && !cleaner.ended) {
        const std::size_t read = std::fread(part.bytes + part.size, 1, part.capacity - part.size, in);
        part.size += read;
        if (std::ferror(in)) {
            *message = "cannot read the file";
            done = false;
            break;
        }
        const bool atEnd = std::feof(in) != 0;
        std::size_t used = 0;
        if (!CleanStartupPart(&cleaner, part.bytes, part.size, atEnd, &cleaned, &used)) {
            done = false;
            break;
        }
        if (out != nullptr && cleaned.size != 0 && std::fwrite(cleaned.bytes, 1, cleaned.size, out) != cleaned.size) {
            *message = "cannot write the result";
            done = false;
            break;
        }
        cleaned.size = 0;
        // A last piece that the next part may lengthen is passed again.
        std::memmove(part.bytes, part.bytes + used, part.size - used);
        part.size -= used;
        if (atEnd) break;
    }
    ReleaseStartupBuffer(&part);
    ReleaseStartupBuffer(&cleaned);
    std::fclose(in);
    return done;
}

// A name beside path that no file has yet, for the new version of it.
bool FreeNameBeside(const std::string& path, std::string* name) {
    for (int n = 0; n < 100; ++n) {
        *name = path + ".clean" + std::to_string(n);
        std::error_code error;
        if (!fs::exists(*name, error) && !error) return true;
    }
    return false;
}

// Writes the cleaned text of in (which it closes) to a new file at path. A
// file that could not be written whole is removed again.
bool CleanToNewFile(FILE* in, const std::string& path, const char** message) {
    FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) {
        std::fclose(in);
        *message = "cannot create the output file";
        return false;
    }
    bool done = CleanStream(in, out, false, message);
    if (std::fclose(out) != 0 && done) {
        *message = "cannot write the result";
        done = false;
    }
    if (!done) std::remove(path.c_str());
    return done;
}

// Writes the cleaned file beside path, then puts it in path's place, so that
// path holds either the old or the whole new content, never a part. The
// input is closed before the rename: Windows renames nothing over an open
// file.
int ReplaceCleaned(FILE* in, const char* path) {
    std::string fresh;
    if (!FreeNameBeside(path, &fresh)) {
        std::fclose(in);
        return Fail("cannot find a free name for the new file beside the file");
    }
    const char* message = nullptr;
    if (!CleanToNewFile(in, fresh, &message)) return Fail(message);
    // The new file keeps the old one's permissions where they can be read.
    std::error_code permissionsError;
    const fs::perms permissions = fs::status(path, permissionsError).permissions();
    if (!permissionsError) fs::permissions(fresh, permissions, permissionsError);
    std::error_code error;
    fs::rename(fresh, path, error);
    if (error) {
        fs::remove(fresh, error);
        return Fail("cannot put the cleaned file in place");
    }
    return kExitOk;
}

int WriteCleaned(FILE* in, const char* path) {
    const char* message = nullptr;
    return CleanToNewFile(in, path, &message) ? kExitOk : Fail(message);
}

int WriteCleanedToStdout(FILE* in) {
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    const char* message = nullptr;
    if (!CleanStream(in, stdout, false, &message)) return Fail(message);
    if (std::fflush(stdout) != 0) return Fail("cannot write the result");
    return kExitOk;
}

bool SameFile(const char* first, const char* second) {
    std::error_code error;
    return fs::equivalent(first, second, error) && !error;
}

}  // namespace

int CmdCleanStartup(int argc, char** argv) {
    CleanOptions options;
    if (!ParseCleanOptions(argc, argv, &options)) return Fail(kCleanUsage);
    FILE* in = std::fopen(options.file, "rb");
    if (in == nullptr) return Fail("cannot open the file");

    // Each way on closes in.
    if (options.dryRun) {
        const char* message = nullptr;
        return CleanStream(in, nullptr, true, &message) ? kExitOk : Fail(message);
    }
    if (options.out != nullptr && std::strcmp(options.out, "-") == 0) return WriteCleanedToStdout(in);
    if (options.out != nullptr && !SameFile(options.file, options.out)) return WriteCleaned(in, options.out);
    return ReplaceCleaned(in, options.file);
}

}  // namespace vezivod
