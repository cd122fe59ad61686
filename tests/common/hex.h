// Hex text to bytes and back, for test vectors written as data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace testhex {

inline int NibbleValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Decodes pairs of hex digits; spaces are skipped so that vectors can be
// grouped for reading. Returns false on any other character or an odd digit.
inline bool Decode(const std::string& text, std::vector<std::uint8_t>& bytes) {
    bytes.clear();
    int high = -1;
    for (char c : text) {
        if (c == ' ') continue;
        const int value = NibbleValue(c);
        if (value < 0) return false;
        if (high < 0) {
            high = value;
        } else {
            bytes.push_back(static_cast<std::uint8_t>(high * 16 + value));
            high = -1;
        }
    }
    return high < 0;
}

// For vectors known to be well formed: a malformed one decodes as empty,
// which then fails any comparison.
inline std::vector<std::uint8_t> FromHex(const std::string& text) {
    std::vector<std::uint8_t> bytes;
    if (!Decode(text, bytes)) bytes.clear();
    return bytes;
}

inline std::string ToHex(const std::uint8_t* bytes, std::size_t size) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(size * 2);
    for (std::size_t i = 0; i < size; ++i) {
        text.push_back(kDigits[bytes[i] >> 4]);
        text.push_back(kDigits[bytes[i] & 15]);
    }
    return text;
}

inline std::string ToHex(const std::vector<std::uint8_t>& bytes) {
    return ToHex(bytes.data(), bytes.size());
}

}  // namespace testhex
