// The decimal text that QV_Flush shows: signs, single digits, both ends of
// the 32-bit range (the lowest has no positive counterpart).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "cleanup/decimal_text.h"

namespace {

struct DecimalCase {
    std::int32_t value;
    const char* text;
};

constexpr DecimalCase kCases[] = {
    {0, "0"},
    {3, "3"},
    {10, "10"},
    {-7, "-7"},
    {1000000, "1000000"},
    {INT32_MAX, "2147483647"},
    {INT32_MIN, "-2147483648"},
};

TEST(DecimalText, Formats) {
    for (const DecimalCase& c : kCases) {
        char text[kDecimalTextSize];
        std::memset(text, '#', sizeof(text));
        FormatDecimal(c.value, text);
        EXPECT_STREQ(text, c.text) << c.value;
    }
}

}  // namespace
