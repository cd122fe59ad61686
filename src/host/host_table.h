// The host's side of a ScriptCallBlock: a variable table of fixed-width slots
// that a program owns, fills and reads back, as a setup program does. Used by
// the command-line host, the offline tool and the tests; never by the DLL.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "host/script_call_block.h"

class HostTable {
public:
    HostTable(std::uint32_t capacity, std::uint32_t nameWidth, std::uint32_t valueWidth)
        : names_(static_cast<std::size_t>(capacity) * nameWidth + 1, '\0'),
          values_(static_cast<std::size_t>(capacity) * valueWidth + 1, '\0') {
        std::memset(&block_, 0, sizeof(block_));
        block_.varCapacity = capacity;
        block_.nameSlotSize = nameWidth;
        block_.valueSlotSize = valueWidth;
        block_.nameSlots = names_.data();
        block_.valueSlots = values_.data();
    }

    ScriptCallBlock* block() { return &block_; }
    std::uint32_t count() const { return block_.varCount; }

    void SetParam(const char* text) {
        param_ = text;
        block_.paramText = param_.c_str();
    }

    // Overwrites or appends a variable the host's way; false when the name or
    // value does not fit its slot or the table is full.
    bool Set(const std::string& name, const std::string& value) {
        const std::string slotText = "%" + name + "%";
        if (slotText.size() >= block_.nameSlotSize || value.size() >= block_.valueSlotSize) return false;
        std::uint32_t index = Find(slotText);
        if (index == block_.varCount) {
            if (index >= block_.varCapacity) return false;
            std::memcpy(NameSlot(index), slotText.c_str(), slotText.size() + 1);
            ++block_.varCount;
        }
        std::memcpy(ValueSlot(index), value.c_str(), value.size() + 1);
        return true;
    }

    // The variable's value; found tells whether it exists.
    std::string Get(const std::string& name, bool* found = nullptr) const {
        const std::uint32_t index = Find("%" + name + "%");
        if (found != nullptr) *found = index < block_.varCount;
        if (index >= block_.varCount) return std::string();
        return SlotText(ValueSlot(index), block_.valueSlotSize);
    }

    // Name (without percent signs) and value of slot i.
    std::string NameAt(std::uint32_t i) const {
        std::string text = SlotText(NameSlot(i), block_.nameSlotSize);
        if (text.size() >= 2 && text.front() == '%' && text.back() == '%') text = text.substr(1, text.size() - 2);
        return text;
    }
    std::string ValueAt(std::uint32_t i) const { return SlotText(ValueSlot(i), block_.valueSlotSize); }

private:
    char* NameSlot(std::uint32_t i) const {
        return const_cast<char*>(names_.data()) + static_cast<std::size_t>(i) * block_.nameSlotSize;
    }
    char* ValueSlot(std::uint32_t i) const {
        return const_cast<char*>(values_.data()) + static_cast<std::size_t>(i) * block_.valueSlotSize;
    }
    static std::string SlotText(const char* slot, std::uint32_t width) {
        std::size_t length = 0;
        while (length < width && slot[length] != '\0') ++length;
        return std::string(slot, length);
    }
    std::uint32_t Find(const std::string& slotText) const {
        std::uint32_t i = 0;
        while (i < block_.varCount && SlotText(NameSlot(i), block_.nameSlotSize) != slotText) ++i;
        return i;
    }

    std::vector<char> names_;
    std::vector<char> values_;
    std::string param_;
    ScriptCallBlock block_;
};
