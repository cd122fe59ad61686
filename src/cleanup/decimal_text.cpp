#include "cleanup/decimal_text.h"

void FormatDecimal(std::int32_t value, char (&text)[kDecimalTextSize]) {
    // The magnitude in 64 bits, so that the lowest value has one too.
    std::int64_t magnitude = value;
    std::size_t at = 0;
    if (magnitude < 0) {
        text[at++] = '-';
        magnitude = -magnitude;
    }
    char reversed[kDecimalTextSize];
    std::size_t digits = 0;
    do {
        reversed[digits++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    while (digits > 0) text[at++] = reversed[--digits];
    text[at] = '\0';
}
