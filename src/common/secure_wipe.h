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

template <typename T, std::size_t N>
inline void SecureWipe(T (&array)[N]) {
    SecureWipe(array, sizeof(array));
}
