// The scramble and the comparison of QV_CompPass, with the typed text and
// the two stored values taken from the input (each in a buffer of exactly
// its size, so that a read past it is caught). Checked:
//  - a typed text of 1 to 250 bytes scrambles to "x", its bytes shifted left
//    by two at the slots, printable filler elsewhere and a zero at 250, the
//    same every time; any other text leaves the field alone;
//  - a stored value that is the scrambled text (with or without its zero
//    byte, with anything behind that) matches; the result of the comparison
//    is that of comparing the texts up to their first zero byte.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "password/scramble.h"

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

constexpr std::size_t kGuard = 16;
constexpr std::uint8_t kGuardByte = 0xC3;

// A value read from the registry: its bytes in a heap block of exactly that
// size (ASan reports any read beyond).
struct Stored {
    std::unique_ptr<std::uint8_t[]> bytes;
    std::size_t length = 0;
};

Stored MakeStored(const std::string& text) {
    Stored stored;
    stored.length = text.size();
    stored.bytes.reset(new std::uint8_t[text.size()]);
    std::memcpy(stored.bytes.get(), text.data(), text.size());
    return stored;
}

// The stored text: up to the first zero byte; a value over the read limit
// counts as empty.
std::string StoredText(const std::string& value) {
    if (value.size() > kStoredPasswordLimit) return std::string();
    return value.substr(0, value.find('\0'));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::uint8_t choice = in.ConsumeIntegral<std::uint8_t>();
    const std::string typed = in.ConsumeRandomLengthString(300).c_str();
    std::string master = in.ConsumeRandomLengthString(260);
    std::string access = in.ConsumeRemainingBytesAsString().substr(0, 260);

    // The typed text in a block of exactly its size and terminator.
    std::unique_ptr<char[]> typedCopy(new char[typed.size() + 1]);
    std::memcpy(typedCopy.get(), typed.c_str(), typed.size() + 1);

    std::uint8_t field[kGuard + kScrambledPasswordSize + kGuard];
    std::memset(field, kGuardByte, sizeof field);
    std::uint8_t* scrambled = field + kGuard;
    const bool written = ScramblePassword(typedCopy.get(), scrambled);
    for (std::size_t i = 0; i < kGuard; ++i) {
        Require(field[i] == kGuardByte && field[kGuard + kScrambledPasswordSize + i] == kGuardByte);
    }
    const std::size_t length = typed.size();
    Require(written == (length >= 1 && length <= kMaxScrambleLength));

    std::string scrambledText;
    if (written) {
        Require(scrambled[0] == 'x' && scrambled[kScrambledPasswordSize - 1] == 0);
        const std::size_t step = kMaxScrambleLength / length;
        std::size_t next = 0;
        for (std::size_t position = kScrambledPasswordSize - 2; position >= 1; --position) {
            if (position % step == 0) {
                const auto source = next < length ? static_cast<std::uint8_t>(typed[next]) : std::uint8_t{0};
                Require(scrambled[position] == static_cast<std::uint8_t>(source << 2));
                ++next;
            } else {
                Require(scrambled[position] >= 32 && scrambled[position] <= 125);
            }
        }
        std::uint8_t again[kScrambledPasswordSize];
        Require(ScramblePassword(typedCopy.get(), again));
        Require(std::memcmp(again, scrambled, sizeof again) == 0);
        scrambledText = reinterpret_cast<const char*>(scrambled);
        // Let the stored values be the scrambled text now and then, so that
        // matching is tried as often as not matching.
        const std::string withZero(reinterpret_cast<const char*>(scrambled), scrambledText.size() + 1);
        if (choice & 1) master = (choice & 2) ? withZero + master : scrambledText;
        if (choice & 4) access = (choice & 8) ? withZero + access : scrambledText;
        master = master.substr(0, 260);
        access = access.substr(0, 260);
    } else {
        Require(std::all_of(field, field + sizeof field, [](std::uint8_t b) { return b == kGuardByte; }));
    }

    const Stored storedMaster = MakeStored(master);
    const Stored storedAccess = MakeStored(access);
    const bool matches = TypedPasswordMatches(typedCopy.get(), storedMaster.bytes.get(), storedMaster.length,
                                              storedAccess.bytes.get(), storedAccess.length);
    const bool expected =
        written && (StoredText(master) == scrambledText || StoredText(access) == scrambledText);
    Require(matches == expected);
    Require(!TypedPasswordMatches(nullptr, storedMaster.bytes.get(), storedMaster.length,
                                  storedAccess.bytes.get(), storedAccess.length));
    return 0;
}
