// The decimal text of a 32-bit count, as a message box shows it.
#pragma once

#include <cstddef>
#include <cstdint>

// "-2147483648", the longest, and its terminator.
constexpr std::size_t kDecimalTextSize = 12;

// Writes value in decimal, with a minus sign when negative and no leading
// zeros, into text (kDecimalTextSize bytes).
void FormatDecimal(std::int32_t value, char (&text)[kDecimalTextSize]);
