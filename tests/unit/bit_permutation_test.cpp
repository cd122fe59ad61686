// The compiled tables against their selector tables: for every table of the
// engine, permuting through the compiled form gives, bit for bit, what the
// selectors name.
#include "crypto/bit_permutation.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>

#include "common/hex.h"
#include "crypto/des_tables.h"

namespace {

using testhex::ToHex;

// Output bit i is the source bit that selector i names, most significant
// bit first.
void ReferencePermute(const BitSelector* table, std::size_t count, const std::uint8_t* source,
                      std::uint8_t* destination) {
    std::memset(destination, 0, count / 8);
    for (std::size_t i = 0; i < count; ++i) {
        if (source[table[i].byteIndex] & table[i].mask) {
            destination[i / 8] = static_cast<std::uint8_t>(destination[i / 8] | (0x80u >> (i % 8)));
        }
    }
}

template <typename Compiled, std::size_t N>
void ExpectSameAsSelectors(const char* name, const Compiled& compiled, const std::array<BitSelector, N>& table) {
    SCOPED_TRACE(name);
    std::mt19937 random(N);
    for (int trial = 0; trial < 2000; ++trial) {
        std::uint8_t source[8];
        for (std::uint8_t& byte : source) byte = static_cast<std::uint8_t>(random());
        // One bit set, to tie each output bit to its source bit alone.
        if (trial < 64) {
            std::memset(source, 0, sizeof source);
            source[trial / 8] = static_cast<std::uint8_t>(0x80u >> (trial % 8));
        }
        std::uint8_t expected[N / 8 + 1];
        std::uint8_t actual[N / 8 + 1];
        ReferencePermute(table.data(), N, source, expected);
        expected[N / 8] = 0xA5;
        actual[N / 8] = 0xA5;  // the byte after the result keeps its value
        PermuteBits(compiled, source, actual);
        ASSERT_EQ(ToHex(actual, N / 8 + 1), ToHex(expected, N / 8 + 1)) << "source " << ToHex(source, 8);
        PermuteBits(static_cast<std::uint16_t>(N), table.data(), source, actual);
        ASSERT_EQ(ToHex(actual, N / 8 + 1), ToHex(expected, N / 8 + 1)) << "selector form, source " << ToHex(source, 8);
    }
}

TEST(BitPermutation, CompiledTablesMatchTheirSelectors) {
    ExpectSameAsSelectors("IP", kDesInitialPermutationCompiled, kDesInitialPermutation);
    ExpectSameAsSelectors("IP-1", kDesFinalPermutationCompiled, kDesFinalPermutation);
    ExpectSameAsSelectors("PC-2", kDesPermutedChoice2Compiled, kDesPermutedChoice2);
    ExpectSameAsSelectors("E", kDesExpansionCompiled, kDesExpansion);
    ExpectSameAsSelectors("P", kDesPermutationCompiled, kDesPermutation);
    for (std::size_t r = 0; r < 16; ++r) {
        ExpectSameAsSelectors(("round key selection " + std::to_string(r)).c_str(),
                              kDesRoundKeySelectionCompiled[r], kDesRoundKeySelection[r]);
    }
}

TEST(BitPermutation, SelectorsFarApartAndRepeated) {
    // A run-time table that reads bytes far into the source, reads one bit
    // twice and spans more than 64 output bits.
    BitSelector table[72];
    for (unsigned i = 0; i < 72; ++i) {
        table[i] = BitSelector{static_cast<std::uint8_t>(255 - (i * 37) % 256),
                               static_cast<std::uint8_t>(0x80u >> (i * 3 % 8))};
    }
    table[71] = table[0];
    std::mt19937 random(7);
    std::uint8_t source[256];
    for (std::uint8_t& byte : source) byte = static_cast<std::uint8_t>(random());
    std::uint8_t expected[9];
    std::uint8_t actual[9];
    ReferencePermute(table, 72, source, expected);
    PermuteBits(72, table, source, actual);
    EXPECT_EQ(ToHex(actual, 9), ToHex(expected, 9));
}

}  // namespace
