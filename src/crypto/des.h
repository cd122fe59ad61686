// DES (FIPS 46-3) in ECB mode over runs of 8-byte blocks. The key is 8
// bytes; the least significant bit of each key byte (parity) is never read.
#pragma once

#include <cstddef>
#include <cstdint>

// One entry of a bit permutation table: the source byte and the bit to test
// (0x80 is the most significant bit of that byte).
struct BitSelector {
    std::uint8_t byteIndex;
    std::uint8_t mask;
};

constexpr std::size_t kDesBlockSize = 8;

void DesEncryptBlocks(const std::uint8_t* key, const std::uint8_t* input, std::uint8_t* output,
                      std::uint16_t count);
void DesDecryptBlocks(const std::uint8_t* key, const std::uint8_t* input, std::uint8_t* output,
                      std::uint16_t count);

// Building blocks, exposed for the tests. PermuteBits takes any selector
// table; the engine passes its own tables compiled (crypto/bit_permutation.h).
void PermuteBits(std::uint16_t count, const BitSelector* table, const std::uint8_t* source,
                 std::uint8_t* destination);
void DesRoundKey(unsigned round, const std::uint8_t* key, std::uint8_t* roundKey);
void DesRoundFunction(const std::uint8_t* roundKey, const std::uint8_t* half, std::uint8_t* result);
