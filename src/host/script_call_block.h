// The host's parameter block, as it crosses the boundary between a setup
// program and this library. The layout is fixed by the host; on 32-bit
// builds every offset is checked at compile time.
#pragma once

#include <cstddef>
#include <cstdint>

struct ScriptCallBlock {
    std::uint8_t hostReserved0[8];  // the host's; never read or written
    std::uint32_t varCapacity;      // slots in each of the two arrays
    std::uint32_t nameSlotSize;     // width of one name slot, in bytes
    std::uint32_t valueSlotSize;    // width of one value slot, in bytes
    std::uint32_t varCount;         // slots in use, counted from slot 0
    char* nameSlots;                // names array: "%NAME%" per slot
    char* valueSlots;               // values array: one text per slot
    std::uint8_t hostReserved1[8];  // the host's; never read or written
    const char* paramText;          // the call's parameter text
};

#if defined(__i386__) || defined(_M_IX86)
static_assert(offsetof(ScriptCallBlock, hostReserved0) == 0x00, "block layout");
static_assert(offsetof(ScriptCallBlock, varCapacity) == 0x08, "block layout");
static_assert(offsetof(ScriptCallBlock, nameSlotSize) == 0x0C, "block layout");
static_assert(offsetof(ScriptCallBlock, valueSlotSize) == 0x10, "block layout");
static_assert(offsetof(ScriptCallBlock, varCount) == 0x14, "block layout");
static_assert(offsetof(ScriptCallBlock, nameSlots) == 0x18, "block layout");
static_assert(offsetof(ScriptCallBlock, valueSlots) == 0x1C, "block layout");
static_assert(offsetof(ScriptCallBlock, hostReserved1) == 0x20, "block layout");
static_assert(offsetof(ScriptCallBlock, paramText) == 0x28, "block layout");
static_assert(sizeof(ScriptCallBlock) == 0x2C, "block layout");
#else
// 64-bit hosts: the same fields in the same order, pointers 8 bytes wide.
static_assert(offsetof(ScriptCallBlock, nameSlots) == 0x18, "block layout");
static_assert(offsetof(ScriptCallBlock, valueSlots) == 0x20, "block layout");
static_assert(offsetof(ScriptCallBlock, paramText) == 0x30, "block layout");
#endif
