// DES (FIPS 46-3) in ECB mode. Every bit permutation, the key schedule
// included, goes through PermuteBits; each round's key is selected afresh from
// the key bytes, so nothing is prepared in advance and decryption can simply
// take the rounds backwards.
#include "crypto/des.h"

#include <cstring>

#include "common/secure_wipe.h"
#include "crypto/des_tables.h"

namespace {

constexpr unsigned kDesRounds = 16;

// One output bit: 1 if the selected source bit is set, shifted into place
// without a branch.
inline unsigned SelectedBit(const BitSelector& selector, const std::uint8_t* source,
                            unsigned position) {
    return static_cast<unsigned>((source[selector.byteIndex] & selector.mask) != 0) << position;
}

}  // namespace

void PermuteBits(std::uint16_t count, const BitSelector* table, const std::uint8_t* source,
                 std::uint8_t* destination) {
    // Whole bytes only: a count that is not a multiple of 8 is rounded up.
    const unsigned bytes = (count + 7u) / 8u;
    for (unsigned b = 0; b < bytes; ++b, table += 8) {
        const unsigned value = SelectedBit(table[0], source, 7) | SelectedBit(table[1], source, 6) |
                               SelectedBit(table[2], source, 5) | SelectedBit(table[3], source, 4) |
                               SelectedBit(table[4], source, 3) | SelectedBit(table[5], source, 2) |
                               SelectedBit(table[6], source, 1) | SelectedBit(table[7], source, 0);
        destination[b] = static_cast<std::uint8_t>(value);
    }
}

void DesRoundKey(unsigned round, const std::uint8_t* key, std::uint8_t* roundKey) {
    std::uint8_t cd[7];  // Cn followed by Dn
    PermuteBits(56, kDesRoundKeySelection[round].data(), key, cd);
    PermuteBits(48, kDesPermutedChoice2.data(), cd, roundKey);
    SecureWipe(cd);
}

void DesRoundFunction(const std::uint8_t* roundKey, const std::uint8_t* half, std::uint8_t* result) {
    // The seventh byte stays zero so that the last group's 16-bit window
    // stays inside the buffer.
    std::uint8_t expanded[7] = {};
    std::uint8_t sboxOutput[4] = {};
    PermuteBits(48, kDesExpansion.data(), half, expanded);
    for (unsigned i = 0; i < 6; ++i) expanded[i] ^= roundKey[i];

    for (unsigned k = 0; k < 8; ++k) {
        const unsigned offset = 6 * k;
        const unsigned word = (static_cast<unsigned>(expanded[offset / 8]) << 8) |
                              expanded[offset / 8 + 1];
        const unsigned group = (word & (0xFC00u >> (offset % 8))) >> (10 - offset % 8);
        sboxOutput[k / 2] |= kDesSBoxes[k][group];
    }

    PermuteBits(32, kDesPermutation.data(), sboxOutput, result);
    SecureWipe(expanded);  // holds the round key mixed with a known half
}

void DesEncryptBlocks(const std::uint8_t* key, const std::uint8_t* input, std::uint8_t* output,
                      std::uint16_t count) {
    std::uint8_t state[8];  // L in bytes 0..3, R in bytes 4..7
    std::uint8_t roundKey[6];
    std::uint8_t tf[8];  // T (the old R) then F: one copy moves both into the state

    for (std::uint16_t block = 0; block < count; ++block) {
        // The input block is read in full here, before its output is written,
        // so input and output may be the same buffer.
        PermuteBits(64, kDesInitialPermutation.data(), input, state);
        for (unsigned r = 0; r < kDesRounds; ++r) {
            DesRoundKey(r, key, roundKey);
            DesRoundFunction(roundKey, state + 4, tf + 4);
            for (unsigned i = 0; i < 4; ++i) tf[4 + i] ^= state[i];
            std::memcpy(tf, state + 4, 4);
            std::memcpy(state, tf, 8);
        }
        // Preoutput R16 L16.
        std::memcpy(state, tf + 4, 4);
        std::memcpy(state + 4, tf, 4);
        PermuteBits(64, kDesFinalPermutation.data(), state, output);
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
        PermuteBits(64, kDesInitialPermutation.data(), input, x);
        // The input holds R16 L16: exchange the halves at once.
        std::memcpy(state, x + 4, 4);
        std::memcpy(state + 4, x, 4);
        for (unsigned r = kDesRounds; r-- > 0;) {
            DesRoundKey(r, key, roundKey);
            DesRoundFunction(roundKey, state, fl);
            for (unsigned i = 0; i < 4; ++i) fl[i] ^= state[4 + i];
            std::memcpy(fl + 4, state, 4);
            std::memcpy(state, fl, 8);
        }
        // State is now L0 R0; no exchange after the last round.
        PermuteBits(64, kDesFinalPermutation.data(), state, output);
        input += kDesBlockSize;
        output += kDesBlockSize;
    }

    SecureWipe(x);
    SecureWipe(state);
    SecureWipe(roundKey);
    SecureWipe(fl);
}
