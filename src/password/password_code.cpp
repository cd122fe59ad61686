#include "password/password_code.h"

#include <cstring>

#include "common/secure_wipe.h"
#include "crypto/des.h"

namespace {

constexpr std::uint16_t kPasswordBlockCount = kPasswordBlockSize / kDesBlockSize;
constexpr std::size_t kCodeNumbers = kPasswordBlockSize;

// Appends the decimal text of a signed byte; returns the new end.
char* AppendSignedByte(char* out, std::uint8_t byte) {
    int value = static_cast<std::int8_t>(byte);
    if (value < 0) {
        *out++ = '-';
        value = -value;
    }
    char digits[3];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (count > 0) *out++ = digits[--count];
    return out;
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Reads one number as formatted input does: white space, an optional sign,
// one or more digits. Only the low 8 bits of its value are kept, so numbers
// of any length wrap instead of overflowing.
bool ReadNumber(const char** cursor, std::uint8_t* byte) {
    const char* p = *cursor;
    while (IsSpace(*p)) ++p;
    bool negative = false;
    if (*p == '-' || *p == '+') negative = (*p++ == '-');
    if (*p < '0' || *p > '9') return false;
    unsigned value = 0;
    while (*p >= '0' && *p <= '9') value = (value * 10u + static_cast<unsigned>(*p++ - '0')) & 0xFFu;
    if (negative) value = (0u - value) & 0xFFu;
    *byte = static_cast<std::uint8_t>(value);
    *cursor = p;
    return true;
}

}  // namespace

void SubstituteKeyStars(std::uint8_t* key) {
    if (key[0] == '*') key[0] = kStarByteFirst;
    if (key[7] == '*') key[7] = kStarByteEighth;
}

void BuildPasswordBlock(const char* password, std::uint8_t* block) {
    std::memset(block, 'A', kPasswordBlockSize);
    block[kPasswordBlockSize] = 0;
    std::memcpy(block, password, std::strlen(password) + 1);
}

void FormatPasswordCode(const std::uint8_t* cipher, char* text) {
    char* out = text;
    for (std::size_t i = 0; i < kCodeNumbers; ++i) {
        if (i != 0) *out++ = ',';
        out = AppendSignedByte(out, cipher[i]);
    }
    *out = '\0';
}

std::size_t ParsePasswordCode(const char* text, std::uint8_t* cipher) {
    std::memset(cipher, 0, kPasswordBlockSize);
    const char* cursor = text;
    std::size_t count = 0;
    while (count < kCodeNumbers) {
        if (count != 0) {
            if (*cursor != ',') break;
            ++cursor;
        }
        if (!ReadNumber(&cursor, &cipher[count])) break;
        ++count;
    }
    return count;
}

void BuildDataKey(const char* accessPassword, const char* keyText, std::uint8_t* dataKey) {
    std::memset(dataKey, 0, kDataKeySize);
    dataKey[0] = '*';
    for (std::size_t i = 0; i < 4 && accessPassword[i] != '\0'; ++i) {
        dataKey[1 + i] = static_cast<std::uint8_t>(accessPassword[i]);
    }
    for (std::size_t i = 0; i < 3 && keyText[i] != '\0'; ++i) {
        dataKey[5 + i] = static_cast<std::uint8_t>(keyText[i]);
    }
    SubstituteKeyStars(dataKey);
}

bool EncryptPasswordCode(const std::uint8_t* desKey, const char* password, char* code) {
    code[0] = '\0';
    if (std::strlen(password) > kMaxPasswordLength) return false;
    std::uint8_t block[kPasswordBlockSize + 1];
    std::uint8_t cipher[kPasswordBlockSize];
    BuildPasswordBlock(password, block);
    DesEncryptBlocks(desKey, block, cipher, kPasswordBlockCount);
    FormatPasswordCode(cipher, code);
    SecureWipe(block);
    SecureWipe(cipher);
    return true;
}

bool DecryptPasswordCode(const std::uint8_t* desKey, const char* code, char* password) {
    std::uint8_t cipher[kPasswordBlockSize];
    const bool whole = ParsePasswordCode(code, cipher) == kCodeNumbers;
    std::uint8_t plain[kPasswordBlockSize + 1] = {};
    if (whole) DesDecryptBlocks(desKey, cipher, plain, kPasswordBlockCount);
    std::memcpy(password, plain, kPasswordBlockSize + 1);
    SecureWipe(cipher);
    SecureWipe(plain);
    return whole;
}
