#include "password/scramble.h"

#include <cstring>

#include "common/secure_wipe.h"

namespace {

constexpr std::uint8_t kScrambleLead = 'x';
constexpr std::uint32_t kFillerRange = 94;  // printable bytes 32 (space) to 125
constexpr std::uint8_t kFillerBase = 32;
constexpr std::size_t kLastSlotPosition = kScrambledPasswordSize - 2;  // 249

thread_local std::uint32_t tScrambleState = 1;

// Length of typed, reading at most limit + 1 bytes: a result above limit
// only says the text is too long.
std::size_t BoundedLength(const char* typed, std::size_t limit) {
    std::size_t length = 0;
    while (length <= limit && typed[length] != '\0') ++length;
    return length;
}

bool SameStoredText(const std::uint8_t* scrambled, std::size_t scrambledLength, const std::uint8_t* stored,
                    std::size_t storedLength) {
    // The scrambled text is never empty, so an empty or null stored text
    // fails on length before any byte is read.
    return StoredPasswordLength(stored, storedLength) == scrambledLength &&
           std::memcmp(scrambled, stored, scrambledLength) == 0;
}

}  // namespace

void SeedScrambleGenerator(std::uint32_t seed) { tScrambleState = seed; }

std::uint32_t DrawScrambleGenerator() {
    tScrambleState = tScrambleState * kScrambleMultiplier + kScrambleIncrement;
    return (tScrambleState >> 16) & 0x7FFFu;
}

bool ScramblePassword(const char* typed, std::uint8_t* field) {
    SeedScrambleGenerator(kScrambleSeed);
    if (typed == nullptr) return false;
    const std::size_t length = BoundedLength(typed, kMaxScrambleLength);
    if (length == 0 || length > kMaxScrambleLength) return false;

    const std::size_t step = kMaxScrambleLength / length;
    std::size_t next = 0;  // index of the typed byte for the next slot down
    for (std::size_t position = kLastSlotPosition; position >= 1; --position) {
        if (position % step == 0) {
            // Past the terminator the text counts as followed by zero bytes.
            const auto source = next < length ? static_cast<std::uint8_t>(typed[next]) : std::uint8_t{0};
            field[position] = static_cast<std::uint8_t>(source << 2);
            ++next;
        } else {
            field[position] = static_cast<std::uint8_t>(DrawScrambleGenerator() % kFillerRange + kFillerBase);
        }
    }
    field[kScrambledPasswordSize - 1] = 0;
    field[0] = kScrambleLead;
    return true;
}

std::size_t StoredPasswordLength(const std::uint8_t* stored, std::size_t length) {
    if (stored == nullptr || length > kStoredPasswordLimit) return 0;
    std::size_t textLength = 0;
    while (textLength < length && stored[textLength] != 0) ++textLength;
    return textLength;
}

bool TypedPasswordMatches(const char* typed, const std::uint8_t* master, std::size_t masterLength,
                          const std::uint8_t* access, std::size_t accessLength) {
    std::uint8_t field[kScrambledPasswordSize];
    if (!ScramblePassword(typed, field)) return false;
    // Position 250 is always zero, so the scrambled text ends within the field.
    std::size_t scrambledLength = 0;
    while (field[scrambledLength] != 0) ++scrambledLength;
    const bool matches = SameStoredText(field, scrambledLength, master, masterLength) ||
                         SameStoredText(field, scrambledLength, access, accessLength);
    SecureWipe(field);
    return matches;
}
