// The scrambled form in which the product stores its passwords, and the
// check of a typed password against the stored master and access texts.
//
// A scrambled password is a 251-byte field: "x" at 0, the typed characters
// shifted left by two bits at evenly spaced slots (the first character in the
// highest slot), filler from the scramble generator everywhere else, and a
// zero byte at 250. The generator is reseeded with kScrambleSeed before every
// scramble, so a password always yields the same text; verification scrambles
// the typed password and compares texts, it never unscrambles.
#pragma once

#include <cstddef>
#include <cstdint>

// Seeds the scramble generator before every scramble; also the code that a
// close request to the product's window carries.
constexpr std::uint32_t kScrambleSeed = 2947;

constexpr std::size_t kScrambledPasswordSize = 251;
// Longest typed password with a scrambled form (step = 250 / length >= 1).
constexpr std::size_t kMaxScrambleLength = 250;
// Read limit of each stored value, in bytes.
constexpr std::size_t kStoredPasswordLimit = 250;

// The generator's constants are part of the stored format: every stored
// text's filler comes from them.
constexpr std::uint32_t kScrambleMultiplier = 214013;
constexpr std::uint32_t kScrambleIncrement = 2531011;

// The generator keeps one state per thread; it is never the C runtime's
// rand(), whose state the library would share with the host. A thread that
// never seeded starts from 1.
void SeedScrambleGenerator(std::uint32_t seed);
// Advances the calling thread's state and returns bits 16 to 30 of it
// (0 to 32767).
std::uint32_t DrawScrambleGenerator();

// Scrambles a typed text into field (kScrambledPasswordSize bytes). The
// generator is always reseeded; a text that is empty or longer than
// kMaxScrambleLength has no scrambled form, and the field is left untouched.
// Slots below the one that takes the typed text's terminator take zero bytes
// too: the text is never read past its terminator, and the scrambled text of
// such a password ends at the lowest slot. Returns whether the field was
// written.
bool ScramblePassword(const char* typed, std::uint8_t* field);

// Length of a stored text: its bytes up to the first zero byte, or all of
// them when none is zero. A value longer than kStoredPasswordLimit could not
// have been read and counts as empty.
std::size_t StoredPasswordLength(const std::uint8_t* stored, std::size_t length);

// True when the scrambled typed text equals the stored master text or the
// stored access text (the bytes read from each value, and how many). Texts
// are equal when their bytes agree up to and including the first zero byte.
// A null, empty or too long typed text never matches. The scrambled field is
// wiped before returning.
bool TypedPasswordMatches(const char* typed, const std::uint8_t* master, std::size_t masterLength,
                          const std::uint8_t* access, std::size_t accessLength);
