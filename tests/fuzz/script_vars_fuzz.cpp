// The variable table under hostile geometry and contents: the input sets the
// table's capacity, slot widths, count and slot bytes, then names reads and
// writes. Nothing may be written outside the arrays or the destination; a
// read leaves the table alone; a write either reads back whole or leaves the
// table unchanged, and touches at most the one variable it names.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/guarded_table.h"
#include "host/script_vars.h"

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

std::vector<char> Snapshot(const GuardedTable& table) {
    std::vector<char> copy(table.names(), table.names() + table.namesSize());
    copy.insert(copy.end(), table.values(), table.values() + table.valuesSize());
    return copy;
}

// Slot i of an array whose slots are width bytes wide: whether the two
// snapshots differ inside it.
bool SlotChanged(const std::vector<char>& before, const std::vector<char>& after, std::size_t base,
                 std::size_t width, std::size_t index) {
    const std::size_t start = base + index * width;
    return std::memcmp(before.data() + start, after.data() + start, width) != 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const auto capacity = in.ConsumeIntegralInRange<std::uint32_t>(0, 12);
    const auto nameWidth = in.ConsumeIntegralInRange<std::uint32_t>(0, 40);
    const auto valueWidth = in.ConsumeIntegralInRange<std::uint32_t>(0, 300);
    const auto count = in.ConsumeIntegralInRange<std::uint32_t>(0, capacity);

    GuardedTable table(capacity, nameWidth, valueWidth);
    ScriptCallBlock* block = table.block();
    block->varCount = count;
    // Slot bytes: a text from the input, not necessarily terminated.
    for (std::uint32_t i = 0; i < capacity; ++i) {
        const std::string name = in.ConsumeRandomLengthString(nameWidth);
        std::memcpy(table.names() + static_cast<std::size_t>(i) * nameWidth, name.data(), name.size());
        const std::string value = in.ConsumeRandomLengthString(valueWidth);
        std::memcpy(table.values() + static_cast<std::size_t>(i) * valueWidth, value.data(), value.size());
    }

    while (in.remaining_bytes() > 0) {
        const std::uint8_t op = in.ConsumeIntegral<std::uint8_t>() % 3;
        const std::string name = in.ConsumeRandomLengthString(40);
        const std::vector<char> before = Snapshot(table);
        const std::uint32_t countBefore = block->varCount;

        if (op == 0) {
            // A read into a destination of any size, with guard bytes behind it.
            const auto destSize = in.ConsumeIntegralInRange<std::size_t>(0, 300);
            std::vector<char> dest(destSize + 16, '\x5A');
            GetScriptVar(block, name.c_str(), dest.data(), destSize);
            for (std::size_t i = destSize; i < dest.size(); ++i) Require(dest[i] == '\x5A');
            if (destSize > 0) Require(std::memchr(dest.data(), '\0', destSize) != nullptr);
            Require(Snapshot(table) == before && block->varCount == countBefore);
        } else if (op == 1) {
            const std::string value = in.ConsumeRandomLengthString(400);
            SetScriptVar(block, name.c_str(), value.c_str());
            const std::vector<char> after = Snapshot(table);
            if (after != before || block->varCount != countBefore) {
                // Written: it reads back whole, through the library and the host.
                char readBack[512];
                GetScriptVar(block, name.c_str(), readBack, sizeof readBack);
                Require(std::strcmp(readBack, value.c_str()) == 0);
                bool found = false;
                Require(table.Get(name.c_str(), &found) == value.c_str() && found);
                // Only the slot it names changed; an append adds one slot at the end.
                const bool appended = block->varCount == countBefore + 1;
                Require(appended || block->varCount == countBefore);
                std::size_t valueSlotsChanged = 0;
                for (std::uint32_t i = 0; i < capacity; ++i) {
                    const bool nameChanged = SlotChanged(before, after, 0, nameWidth, i);
                    Require(!nameChanged || (appended && i == countBefore));
                    valueSlotsChanged += SlotChanged(before, after, table.namesSize(), valueWidth, i) ? 1 : 0;
                }
                Require(valueSlotsChanged <= 1);
            }
        } else {
            // Null arguments are read as nothing and write nothing.
            char dest[8] = "xxxxxxx";
            GetScriptVar(block, nullptr, dest, sizeof dest);
            Require(dest[0] == '\0');
            SetScriptVar(block, name.c_str(), nullptr);
            SetScriptVar(block, nullptr, name.c_str());
            Require(Snapshot(table) == before && block->varCount == countBefore);
        }
        Require(table.GuardsIntact());
        Require(table.BlockFieldsIntact(capacity, nameWidth, valueWidth));
        Require(block->varCount <= capacity);
    }
    return 0;
}
