// A wipe of secrets that the optimiser cannot drop as a dead store.
#pragma once

#include <cstddef>

inline void SecureWipe(void* buffer, std::size_t size) {
    volatile unsigned char* p = static_cast<volatile unsigned char*>(buffer);
    while (size-- > 0) *p++ = 0;
#if defined(__GNUC__) || defined(__clang__)
    __asm__ __volatile__("" : : "r"(buffer) : "memory");
#endif
}

// Arrays of known size: the volatile stores alone cannot be dropped, and
// without a compiler barrier a small buffer wiped in a hot loop (a DES
// round) costs only its stores, not a reload of everything else.
template <typename T, std::size_t N>
inline void SecureWipe(T (&array)[N]) {
    volatile unsigned char* p = reinterpret_cast<volatile unsigned char*>(array);
    for (std::size_t i = 0; i < sizeof(array); ++i) p[i] = 0;
}
