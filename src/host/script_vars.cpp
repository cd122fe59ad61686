#include "host/script_vars.h"

#include <cstring>

namespace {

bool HasTable(const ScriptCallBlock* block) {
    return block != nullptr && block->nameSlots != nullptr && block->valueSlots != nullptr;
}

char* NameSlot(const ScriptCallBlock* block, std::uint32_t index) {
    return block->nameSlots + static_cast<std::size_t>(index) * block->nameSlotSize;
}

char* ValueSlot(const ScriptCallBlock* block, std::uint32_t index) {
    return block->valueSlots + static_cast<std::size_t>(index) * block->valueSlotSize;
}

// Builds "%name%" into lookup (kLookupTextSize bytes); false when the name
// is null or longer than kMaxVarNameLength.
bool BuildLookupText(const char* name, char* lookup, std::size_t* length) {
    if (name == nullptr) return false;
    const std::size_t nameLength = strnlen(name, kMaxVarNameLength + 1);
    if (nameLength > kMaxVarNameLength) return false;
    lookup[0] = '%';
    std::memcpy(lookup + 1, name, nameLength);
    lookup[nameLength + 1] = '%';
    lookup[nameLength + 2] = '\0';
    *length = nameLength + 2;
    return true;
}

// A slot matches when it holds the lookup text and its terminator within its
// width; the comparison is case-sensitive, byte by byte.
bool SlotHolds(const char* slot, std::uint32_t width, const char* lookup, std::size_t length) {
    return length < width && std::memcmp(slot, lookup, length + 1) == 0;
}

// Index of the lowest slot in use holding the lookup text, or scanLimit.
// A corrupt count can never make the scan run past 65,535 slots.
std::uint32_t FindSlot(const ScriptCallBlock* block, const char* lookup, std::size_t length) {
    const std::uint32_t scanLimit = block->varCount < kMaxVarCount ? block->varCount : kMaxVarCount;
    std::uint32_t index = 0;
    while (index < scanLimit && !SlotHolds(NameSlot(block, index), block->nameSlotSize, lookup, length)) {
        ++index;
    }
    return index;
}

}  // namespace

void GetScriptVar(const ScriptCallBlock* block, const char* name, char* dest, std::size_t destSize) {
    if (dest == nullptr || destSize == 0) return;
    dest[0] = '\0';
    char lookup[kLookupTextSize];
    std::size_t length = 0;
    if (!HasTable(block) || !BuildLookupText(name, lookup, &length)) return;
    const std::uint32_t index = FindSlot(block, lookup, length);
    if (index >= block->varCount || index >= kMaxVarCount) return;
    const char* slot = ValueSlot(block, index);
    std::size_t valueLength = strnlen(slot, block->valueSlotSize);
    if (valueLength > destSize - 1) valueLength = destSize - 1;
    std::memcpy(dest, slot, valueLength);
    dest[valueLength] = '\0';
}

void SetScriptVar(ScriptCallBlock* block, const char* name, const char* value) {
    if (value == nullptr) return;
    char lookup[kLookupTextSize];
    std::size_t length = 0;
    if (!HasTable(block) || !BuildLookupText(name, lookup, &length)) return;
    const std::size_t valueLength = std::strlen(value);
    if (valueLength >= block->valueSlotSize) return;  // the slot has no room for it and its terminator

    const std::uint32_t index = FindSlot(block, lookup, length);
    if (index < block->varCount && index < kMaxVarCount) {
        std::memcpy(ValueSlot(block, index), value, valueLength + 1);
        return;
    }
    // Append only when the new count stays within the capacity and within
    // what a 16-bit slot index can reach, and the lookup text fits its slot.
    const std::uint32_t count = block->varCount;
    if (count >= block->varCapacity || count >= kMaxVarCount) return;
    if (length >= block->nameSlotSize) return;
    std::memcpy(NameSlot(block, count), lookup, length + 1);
    std::memcpy(ValueSlot(block, count), value, valueLength + 1);
    block->varCount = count + 1;
}
