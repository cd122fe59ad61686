// A host's variable table whose arrays, and whose block, sit between guard
// bytes: a test or fuzz target fills it, lets the library read and write it,
// and then asks whether anything was written outside the arrays.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "host/script_call_block.h"

class GuardedTable {
public:
    static constexpr std::size_t kGuardSize = 64;

    GuardedTable(std::uint32_t capacity, std::uint32_t nameWidth, std::uint32_t valueWidth)
        : namesSize_(static_cast<std::size_t>(capacity) * nameWidth),
          valuesSize_(static_cast<std::size_t>(capacity) * valueWidth),
          arena_(3 * kGuardSize + namesSize_ + valuesSize_),
          blockArena_(2 * kGuardSize + sizeof(ScriptCallBlock)) {
        for (std::size_t i = 0; i < arena_.size(); ++i) arena_[i] = GuardByte(i);
        std::memset(names(), 0, namesSize_);
        std::memset(values(), 0, valuesSize_);
        for (std::size_t i = 0; i < blockArena_.size(); ++i) blockArena_[i] = GuardByte(i + 7);
        ScriptCallBlock initial;
        std::memset(&initial, 0, sizeof(initial));
        for (std::size_t i = 0; i < sizeof(initial.hostReserved0); ++i) initial.hostReserved0[i] = GuardByte(i + 3);
        for (std::size_t i = 0; i < sizeof(initial.hostReserved1); ++i) initial.hostReserved1[i] = GuardByte(i + 5);
        initial.varCapacity = capacity;
        initial.nameSlotSize = nameWidth;
        initial.valueSlotSize = valueWidth;
        initial.nameSlots = names();
        initial.valueSlots = values();
        initial.paramText = "";
        new (blockArena_.data() + kGuardSize) ScriptCallBlock(initial);
    }

    GuardedTable(const GuardedTable&) = delete;
    GuardedTable& operator=(const GuardedTable&) = delete;

    ScriptCallBlock* block() { return reinterpret_cast<ScriptCallBlock*>(blockArena_.data() + kGuardSize); }
    const ScriptCallBlock* block() const {
        return reinterpret_cast<const ScriptCallBlock*>(blockArena_.data() + kGuardSize);
    }
    char* names() { return reinterpret_cast<char*>(arena_.data() + kGuardSize); }
    char* values() { return reinterpret_cast<char*>(arena_.data() + 2 * kGuardSize + namesSize_); }
    const char* names() const { return reinterpret_cast<const char*>(arena_.data() + kGuardSize); }
    const char* values() const {
        return reinterpret_cast<const char*>(arena_.data() + 2 * kGuardSize + namesSize_);
    }
    std::size_t namesSize() const { return namesSize_; }
    std::size_t valuesSize() const { return valuesSize_; }

    // True when every guard byte, around the arrays and around the block,
    // still holds its pattern.
    bool GuardsIntact() const {
        const std::size_t valuesEnd = 2 * kGuardSize + namesSize_ + valuesSize_;
        for (std::size_t i = 0; i < arena_.size(); ++i) {
            const bool inNames = i >= kGuardSize && i < kGuardSize + namesSize_;
            const bool inValues = i >= 2 * kGuardSize + namesSize_ && i < valuesEnd;
            if (!inNames && !inValues && arena_[i] != GuardByte(i)) return false;
        }
        for (std::size_t i = 0; i < kGuardSize; ++i) {
            if (blockArena_[i] != GuardByte(i + 7)) return false;
            const std::size_t after = kGuardSize + sizeof(ScriptCallBlock) + i;
            if (blockArena_[after] != GuardByte(after + 7)) return false;
        }
        return true;
    }

    // True when the block's fields other than varCount hold what the host
    // put there.
    bool BlockFieldsIntact(std::uint32_t capacity, std::uint32_t nameWidth, std::uint32_t valueWidth) const {
        const ScriptCallBlock* b = block();
        for (std::size_t i = 0; i < sizeof(b->hostReserved0); ++i) {
            if (b->hostReserved0[i] != GuardByte(i + 3)) return false;
        }
        for (std::size_t i = 0; i < sizeof(b->hostReserved1); ++i) {
            if (b->hostReserved1[i] != GuardByte(i + 5)) return false;
        }
        return b->varCapacity == capacity && b->nameSlotSize == nameWidth && b->valueSlotSize == valueWidth &&
               b->nameSlots == names() && b->valueSlots == values();
    }

    // The host's own write: "%name%" into the next slot or the slot holding
    // it; false when it does not fit or the table is full.
    bool Set(const std::string& name, const std::string& value) {
        ScriptCallBlock* b = block();
        const std::string slotText = "%" + name + "%";
        if (slotText.size() >= b->nameSlotSize || value.size() >= b->valueSlotSize) return false;
        std::uint32_t index = Find(slotText);
        if (index == b->varCount) {
            if (index >= b->varCapacity) return false;
            std::memcpy(NameSlot(index), slotText.c_str(), slotText.size() + 1);
            ++b->varCount;
        }
        std::memcpy(ValueSlot(index), value.c_str(), value.size() + 1);
        return true;
    }

    // The host's own read: the text in the lowest slot holding "%name%".
    std::string Get(const std::string& name, bool* found = nullptr) const {
        const std::uint32_t index = Find("%" + name + "%");
        if (found != nullptr) *found = index < block()->varCount;
        if (index >= block()->varCount) return std::string();
        return SlotText(ValueSlot(index), block()->valueSlotSize);
    }

private:
    static std::uint8_t GuardByte(std::size_t i) { return static_cast<std::uint8_t>(0xA5 ^ (i * 29)); }

    char* NameSlot(std::uint32_t i) const {
        return const_cast<char*>(names()) + static_cast<std::size_t>(i) * block()->nameSlotSize;
    }
    char* ValueSlot(std::uint32_t i) const {
        return const_cast<char*>(values()) + static_cast<std::size_t>(i) * block()->valueSlotSize;
    }
    static std::string SlotText(const char* slot, std::uint32_t width) {
        std::size_t length = 0;
        while (length < width && slot[length] != '\0') ++length;
        return std::string(slot, length);
    }
    std::uint32_t Find(const std::string& slotText) const {
        std::uint32_t i = 0;
        while (i < block()->varCount && SlotText(NameSlot(i), block()->nameSlotSize) != slotText) ++i;
        return i;
    }

    std::size_t namesSize_;
    std::size_t valuesSize_;
    std::vector<std::uint8_t> arena_;
    std::vector<std::uint8_t> blockArena_;
};
