// Reading and writing the host's script variables.
//
// Every copy is bounded: a slot is never read past its width, a destination
// never past its size, and a value that does not fit its slot is not written.
#pragma once

#include <cstddef>

#include "host/script_call_block.h"

// Longest bare name: "%", 29 characters, "%" and the terminator fill 32 bytes.
constexpr std::size_t kMaxVarNameLength = 29;
constexpr std::size_t kLookupTextSize = 32;
// Slot indexes are 16-bit: a table never holds more than this many variables.
constexpr std::uint32_t kMaxVarCount = 65535;
// Every caller in the library reads variables into buffers of this size.
constexpr std::size_t kScriptValueSize = 256;

// Copies the variable's value into dest (destSize bytes, always terminated;
// a longer value is cut to fit). A missing variable, a null block or a null
// table reads as the empty text. destSize 0 writes nothing.
void GetScriptVar(const ScriptCallBlock* block, const char* name, char* dest,
                  std::size_t destSize);

// Overwrites the variable's value, or appends the variable when it is new and
// the table has room. Anything that does not fit leaves the table unchanged.
void SetScriptVar(ScriptCallBlock* block, const char* name, const char* value);
