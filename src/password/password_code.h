// Password codes: a password of up to 24 characters, laid over a 24-byte
// block of "A" filler, DES-encrypted as three 8-byte blocks, and written as
// 24 signed decimal numbers joined by commas.
#pragma once

#include <cstddef>
#include <cstdint>

// Replace an asterisk in byte 0 or byte 7 of a key. Codes made under a
// starred key depend on these two values.
constexpr std::uint8_t kStarByteFirst = 0x51;   // "Q"
constexpr std::uint8_t kStarByteEighth = 0xD7;

constexpr std::size_t kPasswordBlockSize = 24;
// 24 characters fill the block exactly, with no terminator inside it.
constexpr std::size_t kMaxPasswordLength = 24;
// 24 numbers of up to four characters and 23 commas, plus the terminator.
constexpr std::size_t kPasswordCodeSize = 120;
// The DES key (8 bytes) and a terminator.
constexpr std::size_t kDataKeySize = 9;

// Works in place on bytes 0 and 7 of a key buffer of at least 8 bytes.
void SubstituteKeyStars(std::uint8_t* key);

// Fills block (kPasswordBlockSize + 1 bytes) with the password, its
// terminator and "A" filler. The password must have at most
// kMaxPasswordLength characters.
void BuildPasswordBlock(const char* password, std::uint8_t* block);

// Writes the code of 24 cipher bytes into text (kPasswordCodeSize bytes).
void FormatPasswordCode(const std::uint8_t* cipher, char* text);

// Reads up to 24 numbers of a code into cipher, each taken modulo 256, and
// returns how many it read. Between numbers a comma must follow at once;
// white space may precede a number. Bytes for numbers not read are zero.
std::size_t ParsePasswordCode(const char* text, std::uint8_t* cipher);

// The key of a data password code: "*", the first four characters of the
// access password, the first three of the key text, then a terminator; short
// sources are filled with zero bytes. Stars are already substituted.
void BuildDataKey(const char* accessPassword, const char* keyText, std::uint8_t* dataKey);

// Encrypts a password under an 8-byte DES key into its code. A password of
// more than kMaxPasswordLength characters is refused: code is set to the
// empty text and the result is false.
bool EncryptPasswordCode(const std::uint8_t* desKey, const char* password, char* code);

// Decrypts a code under an 8-byte DES key into password (at least
// kPasswordBlockSize + 1 bytes): the decrypted bytes up to the first zero
// byte, or all 24 when there is none. A code with fewer than 24 numbers is
// refused: password is set to the empty text and the result is false.
bool DecryptPasswordCode(const std::uint8_t* desKey, const char* code, char* password);
