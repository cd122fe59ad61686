// The compiled form of a selector table, and PermuteBits on it.
//
// A selector table says, for each output bit, which source bit to copy. Its
// compiled form says the same thing the other way round: for each unit of
// source bits that the table reads (a nibble or a whole byte) and for each
// value that unit can take, the output bits that value sets. Permuting is
// then one lookup per source unit, ORed together, instead of one test per
// output bit. The compiled forms of the engine's tables are derived from
// those tables at compile time, so the selector tables stay the single
// statement of every permutation.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "crypto/des.h"

// Units of UnitBits source bits (4 or 8); OutputBytes bytes of result.
template <unsigned UnitBits, std::size_t Units, std::size_t OutputBytes>
struct CompiledPermutation {
    static_assert(UnitBits == 4 || UnitBits == 8, "a unit is a nibble or a byte");
    static_assert(OutputBytes >= 1 && OutputBytes <= 8, "at most 64 output bits");
    // The output bits in one word, the first output bit in its top bit.
    using Bits = std::conditional_t<(OutputBytes <= 4), std::uint32_t, std::uint64_t>;
    static constexpr unsigned kValues = 1u << UnitBits;
    static constexpr unsigned kWordBits = sizeof(Bits) * 8;

    std::uint8_t sourceByte[Units];  // the source byte that unit u lies in
    std::uint8_t shift[Units];       // how far unit u lies from that byte's low end
    Bits contribution[Units][kValues];
};

namespace bit_permutation_detail {

// A unit's number among all units of a 256-byte source, in source order.
constexpr unsigned UnitOf(unsigned unitBits, unsigned byteIndex, unsigned bit) {
    return byteIndex * (8 / unitBits) + (8 / unitBits - 1 - bit / unitBits);
}

// Which of the 512 (nibble) or 256 (byte) possible units the selectors read.
template <unsigned UnitBits>
constexpr std::array<bool, 512> UnitsTouched(const BitSelector* table, std::size_t count) {
    std::array<bool, 512> touched{};
    for (std::size_t i = 0; i < count; ++i) {
        for (unsigned bit = 0; bit < 8; ++bit) {
            if ((table[i].mask >> bit) & 1u) touched[UnitOf(UnitBits, table[i].byteIndex, bit)] = true;
        }
    }
    return touched;
}

}  // namespace bit_permutation_detail

// The number of distinct source units that count selectors read.
template <unsigned UnitBits>
constexpr std::size_t PermutationUnits(const BitSelector* table, std::size_t count) {
    const std::array<bool, 512> touched = bit_permutation_detail::UnitsTouched<UnitBits>(table, count);
    std::size_t units = 0;
    for (bool t : touched) units += t ? 1u : 0u;
    return units;
}

// Compiles OutputBytes * 8 selectors that read exactly Units source units
// (PermutationUnits). Selector i, testing source bit b, sets output bit i for
// every value of b's unit in which b is set; a mask of several bits sets it
// when any of them is set, as the selector's test does.
template <unsigned UnitBits, std::size_t Units, std::size_t OutputBytes>
constexpr CompiledPermutation<UnitBits, Units, OutputBytes> CompilePermutation(const BitSelector* table) {
    using Compiled = CompiledPermutation<UnitBits, Units, OutputBytes>;
    using Bits = typename Compiled::Bits;
    constexpr unsigned kUnitsPerByte = 8 / UnitBits;
    Compiled compiled{};

    const std::array<bool, 512> touched = bit_permutation_detail::UnitsTouched<UnitBits>(table, OutputBytes * 8);
    std::size_t slot[512] = {};
    std::size_t units = 0;
    for (unsigned unit = 0; unit < 256 * kUnitsPerByte && units < Units; ++unit) {
        if (!touched[unit]) continue;
        slot[unit] = units;
        compiled.sourceByte[units] = static_cast<std::uint8_t>(unit / kUnitsPerByte);
        compiled.shift[units] = static_cast<std::uint8_t>((kUnitsPerByte - 1 - unit % kUnitsPerByte) * UnitBits);
        ++units;
    }
    // Units a table does not need read a byte that it reads anyway and add nothing.
    for (std::size_t u = units; u < Units; ++u) {
        compiled.sourceByte[u] = units > 0 ? compiled.sourceByte[0] : 0;
        compiled.shift[u] = 0;
    }

    for (std::size_t i = 0; i < OutputBytes * 8; ++i) {
        const Bits outputBit = static_cast<Bits>(Bits{1} << (Compiled::kWordBits - 1 - i));
        for (unsigned bit = 0; bit < 8; ++bit) {
            if (((table[i].mask >> bit) & 1u) == 0) continue;
            const std::size_t u = slot[bit_permutation_detail::UnitOf(UnitBits, table[i].byteIndex, bit)];
            const unsigned unitBit = 1u << (bit % UnitBits);
            for (unsigned value = 0; value < Compiled::kValues; ++value) {
                if (value & unitBit) compiled.contribution[u][value] |= outputBit;
            }
        }
    }
    return compiled;
}

// The permutation primitive on a compiled table: one lookup per source unit,
// then the result is stored most significant bit first, in whole bytes,
// replacing what the destination held.
template <unsigned UnitBits, std::size_t Units, std::size_t OutputBytes>
inline void PermuteBits(const CompiledPermutation<UnitBits, Units, OutputBytes>& table,
                        const std::uint8_t* source, std::uint8_t* destination) {
    using Compiled = CompiledPermutation<UnitBits, Units, OutputBytes>;
    typename Compiled::Bits bits = 0;
#pragma GCC unroll 16
    for (std::size_t u = 0; u < Units; ++u) {
        bits |= table.contribution[u][(source[table.sourceByte[u]] >> table.shift[u]) & (Compiled::kValues - 1)];
    }
#pragma GCC unroll 8
    for (std::size_t i = 0; i < OutputBytes; ++i) {
        destination[i] = static_cast<std::uint8_t>(bits >> (Compiled::kWordBits - 8 - 8 * i));
    }
}
