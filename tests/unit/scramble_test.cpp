#include "password/scramble.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "common/hex.h"
#include "common/scramble_vectors.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint8_t kUntouched = 0xA5;

// The whole 251-byte field; bytes the scramble did not write stay kUntouched.
Bytes ScrambleField(const std::string& typed) {
    Bytes field(kScrambledPasswordSize, kUntouched);
    ScramblePassword(typed.c_str(), field.data());
    return field;
}

// The scrambled text: the field's bytes before its first zero byte.
Bytes ScrambledText(const std::string& typed) {
    const Bytes field = ScrambleField(typed);
    return Bytes(field.begin(), std::find(field.begin(), field.end(), std::uint8_t{0}));
}

// L lower-case letters. Shifted left by two bits they give bytes from 132 to
// 228, which filler (32 to 125) never holds, so slots are easy to find.
std::string Letters(std::size_t length, char first = 'a') {
    std::string text;
    for (std::size_t i = 0; i < length; ++i) text += static_cast<char>(first + i % 26);
    return text;
}

bool IsFiller(std::uint8_t byte) { return byte >= 32 && byte <= 125; }

std::uint8_t Shifted(char c) { return static_cast<std::uint8_t>(static_cast<std::uint8_t>(c) << 2); }

bool Matches(const std::string& typed, const Bytes& master, const Bytes& access = Bytes()) {
    return TypedPasswordMatches(typed.c_str(), master.data(), master.size(), access.data(), access.size());
}

TEST(ScrambleGenerator, FirstDrawsSeededWithOne) {
    SeedScrambleGenerator(1);
    for (std::uint32_t expected : {41u, 18467u, 6334u, 26500u, 19169u}) {
        EXPECT_EQ(DrawScrambleGenerator(), expected);
    }
}

TEST(ScrambleGenerator, DrawsOnAnotherThreadLeaveThisThreadsSequence) {
    SeedScrambleGenerator(1);
    EXPECT_EQ(DrawScrambleGenerator(), 41u);
    EXPECT_EQ(DrawScrambleGenerator(), 18467u);

    Bytes otherField;
    std::thread other([&otherField] {
        SeedScrambleGenerator(1);
        for (int i = 0; i < 1000; ++i) DrawScrambleGenerator();
        otherField = ScrambleField("Quorvane-7");
    });
    other.join();

    EXPECT_EQ(DrawScrambleGenerator(), 6334u);
    EXPECT_EQ(DrawScrambleGenerator(), 26500u);
    EXPECT_EQ(DrawScrambleGenerator(), 19169u);
    EXPECT_EQ(otherField, ScrambleField("Quorvane-7"));
}

TEST(ScramblePassword, KnownTexts) {
    for (const ScrambleVector& v : kScrambleVectors) {
        SCOPED_TRACE(v.password);
        EXPECT_EQ(testhex::ToHex(ScrambledText(v.password)), testhex::ToHex(testhex::FromHex(v.text)));
    }
}

TEST(ScramblePassword, RepeatsWhateverStateTheGeneratorIsIn) {
    const Bytes first = ScrambleField("Quorvane-7");
    SeedScrambleGenerator(12345);
    DrawScrambleGenerator();
    EXPECT_EQ(ScrambleField("Quorvane-7"), first);
}

TEST(ScramblePassword, LeavesTheGeneratorAfterItsLastDraw) {
    // "abc" has three slots among 249 positions: 246 draws.
    SeedScrambleGenerator(kScrambleSeed);
    for (int i = 0; i < 246; ++i) DrawScrambleGenerator();
    const std::uint32_t next = DrawScrambleGenerator();
    ScrambleField("abc");
    EXPECT_EQ(DrawScrambleGenerator(), next);
}

TEST(ScramblePassword, SlotPositions) {
    struct Case {
        std::size_t length;
        std::vector<std::size_t> slots;  // first typed character first
        std::size_t terminatorSlot;      // 0: the text has no room for it
    };
    std::vector<std::size_t> eighteen;
    for (std::size_t p = 247; p >= 26; p -= 13) eighteen.push_back(p);
    const Case cases[] = {
        {3, {249, 166, 83}, 0},
        {4, {248, 186, 124, 62}, 0},
        {5, {200, 150, 100, 50}, 0},  // the fifth character has no slot
        {18, eighteen, 13},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        const std::string typed = Letters(c.length);
        const Bytes field = ScrambleField(typed);
        EXPECT_EQ(field[0], 'x');
        EXPECT_EQ(field[250], 0);
        std::vector<std::size_t> found;
        for (std::size_t p = 249; p >= 1; --p) {
            if (field[p] >= 128) {
                found.push_back(p);
                EXPECT_EQ(field[p], Shifted(typed[found.size() - 1]));
            } else if (p != c.terminatorSlot) {
                EXPECT_TRUE(IsFiller(field[p])) << "position " << p;
            }
        }
        EXPECT_EQ(found, c.slots);
        if (c.terminatorSlot != 0) {
            EXPECT_EQ(field[c.terminatorSlot], 0);
        }
    }
}

// The length classes that the slot rule gives, listed as the format's
// documentation lists them; every other length lies from 28 to 247.
const std::vector<std::size_t> kDivisorLengths = {1, 2, 5, 10, 25, 50, 125, 250};
const std::vector<std::size_t> kOneSlotEachLengths = {3,  4,  6,  7,  8,  9,  11, 12, 13, 14, 15, 16, 17, 19, 20,
                                                      22, 24, 27, 31, 35, 41, 49, 62, 83, 124, 249};
const std::vector<std::size_t> kOneSpareSlotLengths = {18, 21, 23, 26, 30, 34, 40, 48, 61, 82, 123, 248};

bool Contains(const std::vector<std::size_t>& list, std::size_t value) {
    return std::find(list.begin(), list.end(), value) != list.end();
}

TEST(ScramblePassword, LengthClasses) {
    std::size_t others = 0;
    for (std::size_t length = 1; length <= kMaxScrambleLength; ++length) {
        SCOPED_TRACE(length);
        const std::string typed = Letters(length);
        std::string lastChanged = typed;
        lastChanged.back() = '~';
        std::string firstChanged = typed;
        firstChanged.front() = '~';
        const Bytes text = ScrambledText(typed);
        const std::size_t step = 250 / length;

        if (Contains(kDivisorLengths, length)) {
            // The last character enters no slot.
            EXPECT_EQ(text.size(), 250u);
            EXPECT_EQ(ScrambledText(lastChanged), text);
            if (length > 1) {
                EXPECT_NE(ScrambledText(firstChanged), text);
            }
        } else if (Contains(kOneSlotEachLengths, length)) {
            EXPECT_EQ(text.size(), 250u);
            EXPECT_NE(ScrambledText(lastChanged), text);
            EXPECT_NE(ScrambledText(firstChanged), text);
        } else if (Contains(kOneSpareSlotLengths, length)) {
            // The terminator takes the lowest slot: "x" and step - 1 filler
            // bytes, the same for every password of this length.
            EXPECT_EQ(text.size(), step);
            EXPECT_EQ(ScrambledText(Letters(length, 'A')), text);
        } else {
            ++others;
            EXPECT_GE(length, 28u);
            EXPECT_LE(length, 247u);
            // The terminator takes the slot below the last character's, and
            // the slots below it take zero bytes: the lowest slot ends the
            // text just as in the class above.
            const Bytes field = ScrambleField(typed);
            std::size_t terminatorSlot = step;
            while (field[terminatorSlot + step] == 0) terminatorSlot += step;
            EXPECT_GE(terminatorSlot, 2 * step);
            EXPECT_EQ(field[terminatorSlot + step], Shifted(typed.back()));
            EXPECT_EQ(text.size(), step);
            EXPECT_EQ(ScrambledText(Letters(length, 'A')), text);
        }
    }
    EXPECT_EQ(others, 204u);
}

TEST(ScramblePassword, ReadsNothingPastTheTerminator) {
    // 28 characters leave three slots below the last character's: the one
    // for the terminator and two more, which must not take the bytes behind it.
    std::string buffer = Letters(28);
    buffer += '\0';
    buffer += "ZZZZZZZZ";
    Bytes field(kScrambledPasswordSize, kUntouched);
    ASSERT_TRUE(ScramblePassword(buffer.c_str(), field.data()));
    EXPECT_EQ(field[8], 0);
    EXPECT_EQ(field[16], 0);
    EXPECT_EQ(field[24], 0);
}

TEST(ScramblePassword, WritesNothingWithoutAScrambledForm) {
    const Bytes untouched(kScrambledPasswordSize, kUntouched);
    EXPECT_EQ(ScrambleField(""), untouched);
    EXPECT_EQ(ScrambleField(Letters(251)), untouched);
    Bytes field = untouched;
    EXPECT_FALSE(ScramblePassword(nullptr, field.data()));
    EXPECT_EQ(field, untouched);
}

TEST(ScramblePassword, CharactersWithSixZeroLowBitsEndTheText) {
    // A four-character password has slots 248, 186, 124 and 62: a zero byte
    // at 124 cuts off the two characters typed before it.
    for (const char zeroByte : {'@', '\x80', '\xC0'}) {
        SCOPED_TRACE(static_cast<int>(static_cast<std::uint8_t>(zeroByte)));
        const std::string typed = std::string("ab") + zeroByte + "d";
        const Bytes stored = ScrambledText(typed);
        EXPECT_EQ(stored.size(), 124u);
        EXPECT_TRUE(Matches(std::string("zy") + zeroByte + "d", stored));
        EXPECT_FALSE(Matches(std::string("ab") + zeroByte + "e", stored));
    }
}

TEST(ScramblePassword, OnlyTheTwoHighBitsAreLost) {
    struct Case {
        const char* a;
        const char* b;
        bool alike;
    };
    const Case cases[] = {
        {"pass", "p!ss", true},   // 'a' and the character 64 below it
        {"pin1", "pinq", true},   // '1' and the character 64 above it
        {"pass", "\xF0" "ass", true},  // 'p' and the byte 128 above it
        {"pass", "pAss", false},  // upper and lower case differ in bit 5
        {"pass", "pbss", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " / " + c.b);
        EXPECT_EQ(ScrambledText(c.a) == ScrambledText(c.b), c.alike);
    }
}

TEST(TypedPasswordMatches, MasterOrAccess) {
    const Bytes right = ScrambledText("Quorvane-7");
    const Bytes other = ScrambledText("another one");
    EXPECT_TRUE(Matches("Quorvane-7", right, other));
    EXPECT_TRUE(Matches("Quorvane-7", right, Bytes()));
    EXPECT_TRUE(Matches("Quorvane-7", other, right));
    EXPECT_TRUE(Matches("Quorvane-7", Bytes(), right));
    EXPECT_FALSE(Matches("Quorvane-7", other, other));
    EXPECT_FALSE(Matches("Quorvane-7", Bytes(), Bytes()));
    EXPECT_FALSE(Matches("quorvane-7", right, right));
    // Two 18-character passwords that differ everywhere scramble alike.
    EXPECT_TRUE(Matches(Letters(18, 'A'), ScrambledText(Letters(18))));
}

TEST(TypedPasswordMatches, NoPasswordNeverMatches) {
    const Bytes anything = ScrambledText("a");
    const Bytes empty;
    EXPECT_FALSE(TypedPasswordMatches(nullptr, anything.data(), anything.size(), anything.data(), anything.size()));
    EXPECT_FALSE(Matches("", empty, empty));
    EXPECT_FALSE(Matches("", Bytes{0}, Bytes{0}));
    EXPECT_FALSE(Matches("", anything, anything));
    EXPECT_FALSE(TypedPasswordMatches("", nullptr, 0, nullptr, 0));
}

TEST(TypedPasswordMatches, TooLongPasswordNeverMatches) {
    const std::string longest = Letters(250);
    const Bytes stored = ScrambledText(longest);
    EXPECT_TRUE(Matches(longest, stored));
    // Whatever follows the 250th character, the result is no match.
    EXPECT_FALSE(Matches(longest + "a", stored, stored));
    EXPECT_FALSE(Matches(longest + "a", ScrambledText(Letters(250, 'b')), stored));
}

TEST(TypedPasswordMatches, TextsCompareUpToTheirFirstZeroByte) {
    const std::string typed = "Quorvane-7";
    const Bytes text = ScrambledText(typed);
    ASSERT_EQ(text.size(), 250u);

    Bytes withTerminator = text;
    withTerminator.push_back(0);
    Bytes terminatorInside = Bytes(text.begin(), text.begin() + 100);
    terminatorInside.push_back(0);
    Bytes shorter(text.begin(), text.end() - 1);
    Bytes changedLast = text;
    changedLast.back() ^= 1;
    Bytes trailing = ScrambledText("ab@d");  // 124 bytes of text
    trailing.push_back(0);
    trailing.insert(trailing.end(), {'j', 'u', 'n', 'k'});

    // 250 bytes without a terminator: the text ends after the bytes read.
    EXPECT_TRUE(Matches(typed, text));
    // 251 bytes do not fit the read limit and count as empty.
    EXPECT_FALSE(Matches(typed, withTerminator));
    EXPECT_FALSE(Matches(typed, terminatorInside));
    EXPECT_FALSE(Matches(typed, shorter));
    EXPECT_FALSE(Matches(typed, changedLast));
    // Bytes after the stored text's zero byte take no part.
    EXPECT_TRUE(Matches("ab@d", trailing));
}

TEST(StoredPasswordLength, EndsAtTheFirstZeroOrAfterTheBytesRead) {
    const std::uint8_t bytes[] = {'x', 'y', 0, 'z'};
    EXPECT_EQ(StoredPasswordLength(bytes, 4), 2u);
    EXPECT_EQ(StoredPasswordLength(bytes, 2), 2u);
    EXPECT_EQ(StoredPasswordLength(bytes, 1), 1u);
    EXPECT_EQ(StoredPasswordLength(bytes, 0), 0u);
    EXPECT_EQ(StoredPasswordLength(nullptr, 10), 0u);
    const Bytes full(250, 'x');
    EXPECT_EQ(StoredPasswordLength(full.data(), 250), 250u);
    const Bytes tooLong(251, 'x');
    EXPECT_EQ(StoredPasswordLength(tooLong.data(), 251), 0u);
}

}  // namespace
