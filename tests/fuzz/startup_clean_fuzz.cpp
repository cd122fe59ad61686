// The startup-file transformation on any bytes. Checked on every input:
//  - every line of the output ends in CR LF, and no line holds a keyword in
//    any letter case or a zero byte;
//  - each output line is a piece of the input, in the input's order;
//  - the output is that of the plain reading of the rules (a text stream
//    read 254 bytes or one line at a time), and the same when the file is
//    passed in parts, split where the input's last bytes say;
//  - each dropped piece holds the keyword that it is reported with.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cleanup/startup_clean.h"

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

std::string Upper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

bool HoldsKeyword(const std::string& text) {
    const std::string upper = Upper(text);
    for (const char* keyword : kDropKeywords) {
        if (upper.find(keyword) != std::string::npos) return true;
    }
    return false;
}

// The file as a text stream reads it: up to the first Ctrl-Z, CR LF as LF.
std::string Translated(const std::string& file) {
    std::string text;
    for (std::size_t i = 0; i < file.size() && file[i] != '\x1A'; ++i) {
        if (file[i] == '\r' && i + 1 < file.size() && file[i + 1] == '\n') continue;
        text += file[i];
    }
    return text;
}

// The rules read plainly: a piece is up to 254 bytes, ending after an LF;
// its text ends at a zero byte; it gains an LF when it has none; a piece with
// a keyword is dropped; every LF is written as CR LF.
std::string PlainReading(const std::string& file) {
    const std::string text = Translated(file);
    std::string out;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t length = 0;
        while (length < kStartupPieceMax && at + length < text.size()) {
            if (text[at + length++] == '\n') break;
        }
        std::string piece = text.substr(at, length);
        at += length;
        piece = piece.substr(0, std::strlen(piece.c_str()));
        if (piece.empty() || piece.back() != '\n') piece += '\n';
        if (HoldsKeyword(piece)) continue;
        piece.pop_back();
        out += piece + "\r\n";
    }
    return out;
}

std::string Clean(const std::string& file, std::vector<std::string>* dropped) {
    StartupBuffer out{};
    const auto collect = [](const DroppedPiece& piece, void* context) {
        const std::string text(reinterpret_cast<const char*>(piece.text), piece.length);
        Require(piece.keyword < kDropKeywordCount);
        Require(Upper(text).find(kDropKeywords[piece.keyword]) != std::string::npos);
        static_cast<std::vector<std::string>*>(context)->push_back(text);
    };
    Require(CleanStartupText(reinterpret_cast<const unsigned char*>(file.data()), file.size(), &out, collect,
                             dropped));
    std::string text(reinterpret_cast<const char*>(out.bytes), out.size);
    ReleaseStartupBuffer(&out);
    return text;
}

// As the offline tool passes a file: parts of the given sizes, a last piece
// that the next part may lengthen passed again.
std::string CleanInParts(const std::string& file, const std::vector<std::size_t>& partSizes) {
    StartupCleaner cleaner{nullptr, nullptr, 0, false};
    StartupBuffer out{};
    std::string pending;
    std::size_t offset = 0;
    std::size_t part = 0;
    while (!cleaner.ended) {
        const std::size_t take = std::min(file.size() - offset, part < partSizes.size() ? partSizes[part++] : file.size());
        pending.append(file, offset, take);
        offset += take;
        const bool atEnd = offset == file.size();
        // An exact-size copy, so that a read past the part is caught.
        std::vector<unsigned char> bytes(pending.begin(), pending.end());
        std::size_t used = 0;
        Require(CleanStartupPart(&cleaner, bytes.data(), bytes.size(), atEnd, &out, &used));
        Require(used <= bytes.size());
        pending.erase(0, used);
        if (atEnd) break;
    }
    std::string text(reinterpret_cast<const char*>(out.bytes), out.size);
    ReleaseStartupBuffer(&out);
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    std::vector<std::size_t> partSizes;
    for (int i = 0; i < 4; ++i) partSizes.push_back(in.ConsumeIntegralInRange<std::size_t>(0, 600));
    const std::string file = in.ConsumeRemainingBytesAsString();

    std::vector<std::string> dropped;
    const std::string out = Clean(file, &dropped);

    // Line by line: CR LF at each end, no keyword, no zero byte, and each a
    // piece of the translated input found after the one before.
    const std::string text = Translated(file);
    std::size_t cursor = 0;
    std::size_t start = 0;
    while (start < out.size()) {
        const std::size_t end = out.find("\r\n", start);
        Require(end != std::string::npos);
        const std::string line = out.substr(start, end - start);
        Require(line.size() <= kStartupPieceMax);
        Require(line.find('\n') == std::string::npos && line.find('\0') == std::string::npos);
        Require(!HoldsKeyword(line));
        const std::size_t found = text.find(line, cursor);
        Require(found != std::string::npos);
        cursor = found + line.size();
        start = end + 2;
    }

    Require(out == PlainReading(file));
    Require(CleanInParts(file, partSizes) == out);
    return 0;
}
