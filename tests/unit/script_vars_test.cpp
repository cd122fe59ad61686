// The variable table: lookup rules, appending, and the bounds that keep a
// corrupt or undersized table from being read or written out of place.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "host/host_table.h"
#include "host/script_vars.h"

namespace {

std::string Read(const ScriptCallBlock* block, const char* name, std::size_t size = kScriptValueSize) {
    std::vector<char> buffer(size + 1, '#');
    GetScriptVar(block, name, buffer.data(), size);
    EXPECT_EQ(buffer[size], '#') << "wrote past the destination";
    return std::string(buffer.data());
}

// A raw table with guard bytes around both arrays, for tests that must see
// any write outside the slots.
struct GuardedTable {
    static constexpr std::size_t kGuard = 64;
    std::vector<char> names, values;
    ScriptCallBlock block{};

    GuardedTable(std::uint32_t capacity, std::uint32_t nameWidth, std::uint32_t valueWidth)
        : names(capacity * nameWidth + 2 * kGuard, 'G'), values(capacity * valueWidth + 2 * kGuard, 'G') {
        std::memset(names.data() + kGuard, 0, capacity * nameWidth);
        std::memset(values.data() + kGuard, 0, capacity * valueWidth);
        block.varCapacity = capacity;
        block.nameSlotSize = nameWidth;
        block.valueSlotSize = valueWidth;
        block.nameSlots = names.data() + kGuard;
        block.valueSlots = values.data() + kGuard;
    }
    void PutRaw(std::uint32_t slot, const char* name, const char* value) {
        std::memcpy(block.nameSlots + slot * block.nameSlotSize, name, std::strlen(name) + 1);
        std::memcpy(block.valueSlots + slot * block.valueSlotSize, value, std::strlen(value) + 1);
    }
    bool GuardsIntact() const {
        auto intact = [](const std::vector<char>& v) {
            for (std::size_t i = 0; i < kGuard; ++i) {
                if (v[i] != 'G' || v[v.size() - 1 - i] != 'G') return false;
            }
            return true;
        };
        return intact(names) && intact(values);
    }
};

TEST(ScriptVars, ReadsWhatTheHostStored) {
    HostTable table(8, 32, 256);
    ASSERT_TRUE(table.Set("KEY", "secret"));
    ASSERT_TRUE(table.Set("PWD1", ""));
    EXPECT_EQ(Read(table.block(), "KEY"), "secret");
    EXPECT_EQ(Read(table.block(), "PWD1"), "");
    EXPECT_EQ(Read(table.block(), "MISSING"), "");
}

TEST(ScriptVars, LookupIsExactAndCaseSensitive) {
    GuardedTable t(8, 32, 64);
    t.PutRaw(0, "KEY", "bare");        // no percent signs
    t.PutRaw(1, "%key%", "lower");     // other letter case
    t.PutRaw(2, "%KEY %", "blank");    // other text
    t.PutRaw(3, "%KEY%", "first");
    t.PutRaw(4, "%KEY%", "second");    // a duplicate: never used
    t.block.varCount = 5;
    EXPECT_EQ(Read(&t.block, "KEY"), "first");
    SetScriptVar(&t.block, "KEY", "new");
    EXPECT_EQ(Read(&t.block, "KEY"), "new");
    EXPECT_STREQ(t.block.valueSlots + 4 * 64, "second");
    EXPECT_STREQ(t.block.valueSlots + 0 * 64, "bare");
    EXPECT_EQ(t.block.varCount, 5u);
}

TEST(ScriptVars, SlotsBeyondTheCountAreNotInUse) {
    GuardedTable t(4, 32, 64);
    t.PutRaw(0, "%A%", "a");
    t.PutRaw(1, "%KEY%", "stale");
    t.block.varCount = 1;
    EXPECT_EQ(Read(&t.block, "KEY"), "");
    SetScriptVar(&t.block, "KEY", "fresh");  // appended at slot 1, over the stale entry
    EXPECT_EQ(t.block.varCount, 2u);
    EXPECT_STREQ(t.block.nameSlots + 32, "%KEY%");
    EXPECT_EQ(Read(&t.block, "KEY"), "fresh");
}

TEST(ScriptVars, AppendsAtTheCountUntilTheTableIsFull) {
    GuardedTable t(2, 16, 16);
    SetScriptVar(&t.block, "A", "1");
    SetScriptVar(&t.block, "B", "2");
    EXPECT_EQ(t.block.varCount, 2u);
    EXPECT_STREQ(t.block.nameSlots, "%A%");
    EXPECT_STREQ(t.block.nameSlots + 16, "%B%");
    const std::vector<char> names = t.names, values = t.values;
    SetScriptVar(&t.block, "C", "3");  // full: dropped without a trace
    EXPECT_EQ(t.block.varCount, 2u);
    EXPECT_EQ(t.names, names);
    EXPECT_EQ(t.values, values);
    SetScriptVar(&t.block, "A", "9");  // an existing one is still overwritten
    EXPECT_EQ(Read(&t.block, "A"), "9");
}

// Each case: geometry, a name and a value; whether the value is then readable
// and the table and its surroundings otherwise unchanged.
struct BoundCase {
    const char* label;
    std::uint32_t capacity, nameWidth, valueWidth, count;
    std::string name, value;
    bool stored;
};

TEST(ScriptVars, WritesStayWithinTheirSlots) {
    const std::string n29(29, 'N'), n30(30, 'N');
    const BoundCase cases[] = {
        {"fits exactly", 4, 6, 4, 0, "ABC", "xyz", true},
        {"value one too long", 4, 6, 4, 0, "ABC", "wxyz", false},
        {"name one too long for its slot", 4, 5, 8, 0, "ABC", "v", false},
        {"29-character name", 2, 32, 8, 0, n29, "v", true},
        {"30-character name", 2, 64, 8, 0, n30, "v", false},
        {"capacity 0", 0, 32, 32, 0, "KEY", "v", false},
        {"name width 0", 2, 0, 32, 0, "KEY", "v", false},
        {"value width 0", 2, 32, 0, 0, "KEY", "", false},
        {"value width 1 takes the empty text", 2, 32, 1, 0, "KEY", "", true},
        {"count above capacity", 2, 32, 32, 3, "KEY", "v", false},
        {"empty name", 2, 32, 32, 0, "", "v", true},
    };
    for (const BoundCase& c : cases) {
        SCOPED_TRACE(c.label);
        GuardedTable t(c.capacity, c.nameWidth, c.valueWidth);
        t.block.varCount = c.count;
        const std::vector<char> names = t.names, values = t.values;
        SetScriptVar(&t.block, c.name.c_str(), c.value.c_str());
        EXPECT_TRUE(t.GuardsIntact());
        if (c.stored) {
            EXPECT_EQ(t.block.varCount, c.count + 1);
            EXPECT_EQ(Read(&t.block, c.name.c_str()), c.value);
        } else {
            EXPECT_EQ(t.block.varCount, c.count);
            EXPECT_EQ(t.names, names);
            EXPECT_EQ(t.values, values);
        }
    }
}

TEST(ScriptVars, ReadsAreBoundedByDestinationAndSlot) {
    const std::string v255(255, 'v'), v300(300, 'w');
    HostTable table(4, 32, 512);
    ASSERT_TRUE(table.Set("V255", v255));
    ASSERT_TRUE(table.Set("V300", v300));
    EXPECT_EQ(Read(table.block(), "V255"), v255);
    EXPECT_EQ(Read(table.block(), "V300"), v300.substr(0, 255));  // cut to the caller's 256 bytes
    EXPECT_EQ(Read(table.block(), "V255", 1), "");

    // A slot without a terminator within its width is read up to its width.
    GuardedTable t(2, 8, 4);
    std::memcpy(t.block.nameSlots, "%K%", 4);
    std::memcpy(t.block.valueSlots, "abcd", 4);
    std::memcpy(t.block.valueSlots + 4, "efg", 4);
    t.block.varCount = 2;
    EXPECT_EQ(Read(&t.block, "K"), "abcd");
    // A name slot without a terminator within its width matches nothing.
    std::memcpy(t.block.nameSlots + 8, "%LONGNAM", 8);
    EXPECT_EQ(Read(&t.block, "LONGNAM"), "");
}

TEST(ScriptVars, NullAndEmptyTablesAreNeverTouched) {
    char dest[8] = "garbage";
    GetScriptVar(nullptr, "KEY", dest, sizeof(dest));
    EXPECT_STREQ(dest, "");
    SetScriptVar(nullptr, "KEY", "v");

    ScriptCallBlock block{};
    block.varCapacity = 5;
    block.nameSlotSize = 32;
    block.valueSlotSize = 32;
    SetScriptVar(&block, "KEY", "v");  // null arrays
    EXPECT_EQ(block.varCount, 0u);
    std::strcpy(dest, "garbage");
    GetScriptVar(&block, "KEY", dest, sizeof(dest));
    EXPECT_STREQ(dest, "");
}

TEST(ScriptVars, HugeCountsScanAtMost65535Slots) {
    // 65,536 slots of 4 bytes; the count claims far more than the arrays hold.
    GuardedTable t(65536, 4, 4);
    t.block.varCount = 0xFFFFFFFFu;
    t.block.varCapacity = 0xFFFFFFFFu;
    t.PutRaw(65535, "%Z%", "z");  // beyond the 16-bit index: never seen
    EXPECT_EQ(Read(&t.block, "Z"), "");
    SetScriptVar(&t.block, "Y", "y");
    EXPECT_EQ(t.block.varCount, 0xFFFFFFFFu);
    EXPECT_TRUE(t.GuardsIntact());

    // The last slot a 16-bit index reaches is 65,534: a count of 65,534 can
    // still append, and the value reads back; a count of 65,535 cannot.
    t.block.varCount = 65534;
    SetScriptVar(&t.block, "Y", "y");
    EXPECT_EQ(t.block.varCount, 65535u);
    EXPECT_EQ(Read(&t.block, "Y"), "y");
    SetScriptVar(&t.block, "X", "x");
    EXPECT_EQ(t.block.varCount, 65535u);
    EXPECT_TRUE(t.GuardsIntact());
}

}  // namespace
