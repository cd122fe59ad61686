// QV_AutoAppend: the startup file rewritten without the product's lines,
// created empty when it is missing, and given back its attributes. The file
// is read whole and cleaned before it is cut to zero length, so a failure on
// the way leaves its content as it was.
#include <windows.h>

#include <cstdint>

#include "cleanup/startup_clean.h"
#include "host/exports.h"

namespace {

constexpr std::int32_t kFailed = -1;
// The result when the file was missing and has been created: the number a
// failed existence test leaves in errno (ENOENT), kept for setup scripts.
constexpr std::int32_t kCreated = 2;
// An attribute set that could not be read.
constexpr std::int32_t kUnknownAttributes = -1;
// The most asked of one ReadFile or WriteFile.
constexpr std::size_t kMostPerCall = 1u << 30;
constexpr DWORD kSharing = FILE_SHARE_READ | FILE_SHARE_WRITE;

bool PathExists(const char* path) {
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

// The size that the file's directory entry gives (its low 32 bits), or -1.
std::int64_t QueryFileSize(const char* path) {
    WIN32_FIND_DATAA entry;
    const HANDLE find = FindFirstFileA(path, &entry);
    if (find == INVALID_HANDLE_VALUE) return -1;
    FindClose(find);
    return entry.nFileSizeLow;
}

// The entry's attribute set, 0 for FILE_ATTRIBUTE_NORMAL alone, or -1.
std::int32_t QueryFileAttrib(const char* path) {
    WIN32_FIND_DATAA entry;
    const HANDLE find = FindFirstFileA(path, &entry);
    if (find == INVALID_HANDLE_VALUE) return kUnknownAttributes;
    FindClose(find);
    return entry.dwFileAttributes == FILE_ATTRIBUTE_NORMAL ? 0 : static_cast<std::int32_t>(entry.dwFileAttributes);
}

// Gives the file an attribute set; 0 stands for FILE_ATTRIBUTE_NORMAL.
bool ApplyFileAttrib(const char* path, std::int32_t attributes) {
    const DWORD applied = attributes == 0 ? FILE_ATTRIBUTE_NORMAL : static_cast<DWORD>(attributes);
    return SetFileAttributesA(path, applied) != 0;
}

// Reads the whole file into content. sizeHint sizes the first allocation;
// a file that has grown since is still read to its end.
bool ReadWholeFile(const char* path, std::size_t sizeHint, StartupBuffer* content) {
    const HANDLE file = CreateFileA(path, GENERIC_READ, kSharing, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    // One byte more than the hint, so that the end shows as a read of nothing.
    bool done = sizeHint < SIZE_MAX && ReserveStartupBuffer(content, sizeHint + 1);
    while (done) {
        if (content->size == content->capacity) {
            const std::size_t grown = content->capacity + content->capacity / 2 + 4096;
            done = grown > content->capacity && ReserveStartupBuffer(content, grown);
            if (!done) break;
        }
        const std::size_t room = content->capacity - content->size;
        DWORD read = 0;
        done = ReadFile(file, content->bytes + content->size,
                        static_cast<DWORD>(room < kMostPerCall ? room : kMostPerCall), &read, nullptr) != 0;
        if (read == 0) break;
        content->size += read;
    }
    CloseHandle(file);
    return done;
}

// Creates the file, or cuts it to zero length, and writes text. False when
// it cannot be opened or not every byte was written.
bool RewriteFile(const char* path, const StartupBuffer& text) {
    const HANDLE file = CreateFileA(path, GENERIC_WRITE, kSharing, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool done = true;
    for (std::size_t at = 0; done && at < text.size;) {
        const std::size_t left = text.size - at;
        const auto asked = static_cast<DWORD>(left < kMostPerCall ? left : kMostPerCall);
        DWORD written = 0;
        done = WriteFile(file, text.bytes + at, asked, &written, nullptr) && written == asked;
        at += written;
    }
    return CloseHandle(file) && done;
}

}  // namespace

extern "C" std::int32_t QV_CALL QV_AutoAppend() {
    const bool existed = PathExists(kStartupFilePath);
    std::int32_t saved = 0;
    StartupBuffer cleaned{};
    bool done = true;
    if (existed) {
        const std::int64_t size = QueryFileSize(kStartupFilePath);
        saved = QueryFileAttrib(kStartupFilePath);
        // A read-only, hidden or system file cannot be rewritten; should this
        // fail, the rewrite fails and says so.
        ApplyFileAttrib(kStartupFilePath, 0);
        StartupBuffer content{};
        done = ReadWholeFile(kStartupFilePath, size < 0 ? 0 : static_cast<std::size_t>(size), &content) &&
               CleanStartupText(content.bytes, content.size, &cleaned, nullptr, nullptr);
        ReleaseStartupBuffer(&content);
    }
    done = done && RewriteFile(kStartupFilePath, cleaned);
    ReleaseStartupBuffer(&cleaned);

    const bool restored = ApplyFileAttrib(kStartupFilePath, saved == kUnknownAttributes ? 0 : saved);
    if (!done) return kFailed;
    if (!restored) return 0;
    return existed ? 0 : kCreated;
}
