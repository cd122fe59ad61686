// The scrambled form in which the product stores its passwords.
#pragma once

#include <cstdint>

// Seeds the scramble generator before every scramble; also the code that a
// close request to the product's window carries.
constexpr std::uint32_t kScrambleSeed = 2947;
