// DES (FIPS 46-3) in ECB mode. Every bit permutation, the key schedule
// included, goes through PermuteBits; each round's key is selected afresh from
// the key bytes, so nothing is prepared in advance and decryption can simply
// take the rounds backwards. The engine's tables reach PermuteBits in their
// compiled form (crypto/bit_permutation.h), made from the selector tables at
// compile time: one lookup per source nibble or byte instead of one test per
// output bit.
#include "crypto/des.h"

#include <cstring>

#include "common/secure_wipe.h"
#include "crypto/des_tables.h"

namespace {

constexpr unsigned kDesRounds = 16;

}  // namespace

// A table known only at run time is compiled one output byte at a time (its
// eight selectors read at most sixteen nibbles) and permuted like the
// engine's own tables.
void PermuteBits(std::uint16_t count, const BitSelector* table, const std::uint8_t* source,
                 std::uint8_t* destination) {
    // Whole bytes only: a count that is not a multiple of 8 is rounded up.
    const unsigned bytes = (count + 7u) / 8u;
    for (unsigned b = 0; b < bytes; ++b, table += 8) {
        const CompiledPermutation<4, 16, 1> compiled = CompilePermutation<4, 16, 1>(table);
        PermuteBits(compiled, source, destination + b);
    }
}

namespace {

// The round key and the cipher function, inlined into the block loops so
// that, with the rounds unrolled, every table a round uses is a constant.
inline void RoundKey(unsigned round, const std::uint8_t* key, std::uint8_t* roundKey) {
    std::uint8_t cd[7];  // Cn followed by Dn
    PermuteBits(kDesRoundKeySelectionCompiled[round], key, cd);
    PermuteBits(kDesPermutedChoice2Compiled, cd, roundKey);
    SecureWipe(cd);
}

inline void RoundFunction(const std::uint8_t* roundKey, const std::uint8_t* half, std::uint8_t* result) {
    // The seventh byte stays zero so that the last group's 16-bit window
    // stays inside the buffer.
    std::uint8_t expanded[7] = {};
    std::uint8_t sboxOutput[4] = {};
    PermuteBits(kDesExpansionCompiled, half, expanded);
    for (unsigned i = 0; i < 6; ++i) expanded[i] ^= roundKey[i];

#pragma GCC unroll 8
    for (unsigned k = 0; k < 8; ++k) {
        const unsigned offset = 6 * k;
        const unsigned word = (static_cast<unsigned>(expanded[offset / 8]) << 8) |
                              expanded[offset / 8 + 1];
        const unsigned group = (word & (0xFC00u >> (offset % 8))) >> (10 - offset % 8);
        sboxOutput[k / 2] |= kDesSBoxes[k][group];
    }

    PermuteBits(kDesPermutationCompiled, sboxOutput, result);
    SecureWipe(expanded);  // holds the round key mixed with a known half
}

}  // namespace

void DesRoundKey(unsigned round, const std::uint8_t* key, std::uint8_t* roundKey) {
    RoundKey(round, key, roundKey);
}

void DesRoundFunction(const std::uint8_t* roundKey, const std::uint8_t* half, std::uint8_t* result) {
    RoundFunction(roundKey, half, result);
}

void DesEncryptBlocks(const std::uint8_t* key, const std::uint8_t* input, std::uint8_t* output,
                      std::uint16_t count) {
    std::uint8_t state[8];  // L in bytes 0..3, R in bytes 4..7
    std::uint8_t roundKey[6];
    std::uint8_t tf[8];  // T (the old R) then F: one copy moves both into the state

    for (std::uint16_t block = 0; block < count; ++block) {
        // The input block is read in full here, before its output is written,
        // so input and output may be the same buffer.
        PermuteBits(kDesInitialPermutationCompiled, input, state);
#pragma GCC unroll 16
        for (unsigned r = 0; r < kDesRounds; ++r) {
            RoundKey(r, key, roundKey);
            RoundFunction(roundKey, state + 4, tf + 4);
            for (unsigned i = 0; i < 4; ++i) tf[4 + i] ^= state[i];
            std::memcpy(tf, state + 4, 4);
            std::memcpy(state, tf, 8);
        }
        // Preoutput R16 L16.
        std::memcpy(state, tf + 4, 4);
        std::memcpy(state + 4, tf, 4);
        PermuteBits(kDesFinalPermutationCompiled, state, output);
        input += kDesBlockSize;
        output += kDesBlockSize;
    }

    SecureWipe(state);
    SecureWipe(roundKey);
    SecureWipe(tf);
}

void DesDecryptBlocks(const std::uint8_t* key, const std::uint8_t* input, std::uint8_t* output,
                      std::uint16_t count) {
    std::uint8_t x[8];
    std::uint8_t state[8];  // L in bytes 0..3, R in bytes 4..7
    std::uint8_t roundKey[6];
    std::uint8_t fl[8];  // F then the old L: one copy moves both into the state

    for (std::uint16_t block = 0; block < count; ++block) {
        PermuteBits(kDesInitialPermutationCompiled, input, x);
        // The input holds R16 L16: exchange the halves at once.
        std::memcpy(state, x + 4, 4);
        std::memcpy(state + 4, x, 4);
#pragma GCC unroll 16
        for (unsigned r = kDesRounds; r-- > 0;) {
            RoundKey(r, key, roundKey);
            RoundFunction(roundKey, state, fl);
            for (unsigned i = 0; i < 4; ++i) fl[i] ^= state[4 + i];
            std::memcpy(fl + 4, state, 4);
            std::memcpy(state, fl, 8);
        }
        // State is now L0 R0; no exchange after the last round.
        PermuteBits(kDesFinalPermutationCompiled, state, output);
        input += kDesBlockSize;
        output += kDesBlockSize;
    }

    SecureWipe(x);
    SecureWipe(state);
    SecureWipe(roundKey);
    SecureWipe(fl);
}
