// QV_CompPass through the DLL, against stored passwords that each test writes
// into the real registry and removes again.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/hex.h"
#include "common/scramble_vectors.h"
#include "host/host_table.h"
#include "password/scramble.h"
#include "win/dll_fixture.h"
#include "win/prefix_lock.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr char kPasswordsKey[] = "Software\\Denholt\\Quorvane\\Passwords";
// Removed deepest first; a parent that still holds other keys stays.
constexpr const char* kKeysToRemove[] = {
    "Software\\Denholt\\Quorvane\\Passwords",
    "Software\\Denholt\\Quorvane",
    "Software\\Denholt",
};

// The scrambled text of a password, without its terminator.
Bytes ScrambledText(const std::string& typed) {
    std::uint8_t field[kScrambledPasswordSize];
    EXPECT_TRUE(ScramblePassword(typed.c_str(), field));
    std::size_t length = 0;
    while (field[length] != 0) ++length;
    return Bytes(field, field + length);
}

Bytes WithTerminator(Bytes bytes) {
    bytes.push_back(0);
    return bytes;
}

class CompPassTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Every test of the passwords key holds its lock while it owns the key.
        ASSERT_TRUE(keyLock_.held());
        RemoveKeys();
        compPass_ = BlockFn("QV_CompPass");
        ASSERT_NE(compPass_, nullptr);
    }
    void TearDown() override {
        RemoveKeys();
    }

    static void RemoveKeys() {
        for (const char* key : kKeysToRemove) RegDeleteKeyA(HKEY_LOCAL_MACHINE, key);
    }

    static void CreateKey() {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kPasswordsKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                                  nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }

    static void Store(const char* name, DWORD type, const Bytes& data) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kPasswordsKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                                  nullptr),
                  ERROR_SUCCESS);
        // For string types RegSetValueExA counts a terminator that the caller
        // left out when a zero byte follows the data; a byte that is not zero
        // after it keeps the value at exactly the bytes given.
        Bytes guarded = data;
        guarded.push_back('#');
        const LONG status = RegSetValueExA(key, name, 0, type, guarded.data(), static_cast<DWORD>(data.size()));
        RegCloseKey(key);
        ASSERT_EQ(status, ERROR_SUCCESS);
    }

    // A scrambled text of 250 bytes leaves no room for a terminator within
    // the read limit, so both types hold the text's bytes alone.
    static void StoreText(const char* name, DWORD type, const std::string& password) {
        Store(name, type, ScrambledText(password));
    }
    static void StoreBinary(const char* name, const std::string& password) {
        StoreText(name, REG_BINARY, password);
    }

    std::int32_t Check(const std::string& typed) {
        HostTable table(4, 16, 64);
        table.SetParam(typed.c_str());
        return compPass_(table.block());
    }

    BlockExport compPass_ = nullptr;
    PrefixLock keyLock_{kPasswordsKeyLock};
};

TEST_F(CompPassTest, KnownScrambledTexts) {
    // Texts made by an independent scramble: the DLL must match them.
    for (const ScrambleVector& v : kScrambleVectors) {
        SCOPED_TRACE(v.password);
        Store("Master", REG_BINARY, testhex::FromHex(v.text));
        EXPECT_EQ(Check(v.password), 1);
    }
}

TEST_F(CompPassTest, StoredPasswordsOfEitherType) {
    struct Case {
        const char* label;
        const char* master;  // nullptr: no such value
        const char* access;
        const char* typed;
        std::int32_t expected;
    };
    const Case cases[] = {
        {"master only, right", "Quorvane-7", nullptr, "Quorvane-7", 1},
        {"master only, wrong", "Quorvane-7", nullptr, "Xuorvane-7", 0},
        // Ten is a divisor of 250: the last character enters no slot.
        {"master only, last character differs", "Quorvane-7", nullptr, "Quorvane-8", 1},
        {"access only, right", nullptr, "opensesame", "opensesame", 1},
        {"access only, wrong", nullptr, "opensesame", "Quorvane-7", 0},
        {"both, master typed", "Quorvane-7", "opensesame", "Quorvane-7", 1},
        {"both, access typed", "Quorvane-7", "opensesame", "opensesame", 1},
        {"both, neither typed", "Quorvane-7", "opensesame", "quorvane-7", 0},
        // A 124-byte master text must not shorten the limit of the next read.
        {"short master, access typed", "ab@d", "opensesame", "opensesame", 1},
        {"neither value", nullptr, nullptr, "Quorvane-7", 0},
        {"empty password", "Quorvane-7", "opensesame", "", 0},
    };
    const DWORD types[] = {REG_BINARY, REG_SZ};
    for (const DWORD type : types) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.label) + (type == REG_SZ ? " (REG_SZ)" : " (REG_BINARY)"));
            RemoveKeys();
            CreateKey();
            if (c.master != nullptr) StoreText("Master", type, c.master);
            if (c.access != nullptr) StoreText("Access", type, c.access);
            EXPECT_EQ(Check(c.typed), c.expected);
        }
    }
}

TEST_F(CompPassTest, ShortTextStoredWithItsTerminator) {
    // Eighteen characters scramble to a 13-byte text, whatever they are.
    Store("Master", REG_SZ, WithTerminator(ScrambledText("abcdefghijklmnopqr")));
    EXPECT_EQ(Check("abcdefghijklmnopqr"), 1);
    EXPECT_EQ(Check("ABCDEFGHIJKLMNOPQR"), 1);
    EXPECT_EQ(Check("abcdefghijklmnopq"), 0);
}

TEST_F(CompPassTest, MissingKeyRejectsEveryPassword) {
    for (const char* typed : {"Quorvane-7", "a", ""}) {
        SCOPED_TRACE(typed);
        EXPECT_EQ(Check(typed), 0);
    }
}

TEST_F(CompPassTest, EmptyStoredTextsMatchNothing) {
    Store("Master", REG_SZ, Bytes{0});
    Store("Access", REG_BINARY, Bytes());
    EXPECT_EQ(Check(""), 0);
    EXPECT_EQ(Check("x"), 0);
}

TEST_F(CompPassTest, NoBlockOrNoParameterText) {
    StoreBinary("Master", "Quorvane-7");
    EXPECT_EQ(compPass_(nullptr), 0);
    HostTable table(4, 16, 64);
    ASSERT_EQ(table.block()->paramText, nullptr);
    EXPECT_EQ(compPass_(table.block()), 0);
}

TEST_F(CompPassTest, TwoHundredFiftyCharacterText) {
    const std::string longest(250, 'k');
    const Bytes text = ScrambledText(longest);
    ASSERT_EQ(text.size(), 250u);

    // Without its terminator the text fits the read limit exactly.
    Store("Master", REG_BINARY, text);
    EXPECT_EQ(Check(longest), 1);
    EXPECT_EQ(Check(longest + "k"), 0);

    // With it, the value is one byte too long and reads as empty.
    Store("Master", REG_BINARY, WithTerminator(text));
    EXPECT_EQ(Check(longest), 0);
    Store("Master", REG_SZ, WithTerminator(text));
    EXPECT_EQ(Check(longest), 0);
}

TEST_F(CompPassTest, ValueTooLongForTheLimitKeepsNothingAndSparesTheOther) {
    // The first 250 bytes are the right text: a read that kept them would match.
    Bytes oversized = ScrambledText("Quorvane-7");
    oversized.insert(oversized.end(), 50, 'z');
    Store("Master", REG_BINARY, oversized);
    EXPECT_EQ(Check("Quorvane-7"), 0);

    // The second read gets the full limit again.
    StoreBinary("Access", "opensesame");
    EXPECT_EQ(Check("opensesame"), 1);
}

TEST_F(CompPassTest, StoredBytesAfterTheTextTakeNoPart) {
    Bytes stored = WithTerminator(ScrambledText("ab@d"));  // a 124-byte text
    stored.insert(stored.end(), {'j', 'u', 'n', 'k'});
    Store("Access", REG_BINARY, stored);
    EXPECT_EQ(Check("ab@d"), 1);
    EXPECT_EQ(Check("zz@d"), 1);  // the characters before the @ fall beyond the text
    EXPECT_EQ(Check("ab@e"), 0);
}

struct CheckerThread {
    BlockExport compPass;
    int wrongAnswers;
};

DWORD WINAPI RunChecks(LPVOID argument) {
    auto* checker = static_cast<CheckerThread*>(argument);
    HostTable right(4, 16, 64);
    right.SetParam("Quorvane-7");
    HostTable wrong(4, 16, 64);
    wrong.SetParam("Xuorvane-7");
    for (int round = 0; round < 50; ++round) {
        if (checker->compPass(right.block()) != 1) ++checker->wrongAnswers;
        if (checker->compPass(wrong.block()) != 0) ++checker->wrongAnswers;
    }
    return 0;
}

TEST_F(CompPassTest, ChecksOnSeveralThreadsAtOnce) {
    // Threads started after the DLL was loaded each get a generator state of
    // their own and give the same answers as the loading thread.
    StoreBinary("Master", "Quorvane-7");
    constexpr int kThreads = 4;
    CheckerThread checkers[kThreads];
    HANDLE threads[kThreads];
    for (int t = 0; t < kThreads; ++t) {
        checkers[t] = CheckerThread{compPass_, 0};
        threads[t] = CreateThread(nullptr, 0, RunChecks, &checkers[t], 0, nullptr);
        ASSERT_NE(threads[t], nullptr);
    }
    EXPECT_EQ(WaitForMultipleObjects(kThreads, threads, TRUE, INFINITE), WAIT_OBJECT_0);
    for (int t = 0; t < kThreads; ++t) {
        CloseHandle(threads[t]);
        EXPECT_EQ(checkers[t].wrongAnswers, 0) << "thread " << t;
    }
}

DWORD WINAPI DrawAndScramble(LPVOID argument) {
    SeedScrambleGenerator(1);
    for (int i = 0; i < 1000; ++i) DrawScrambleGenerator();
    *static_cast<Bytes*>(argument) = ScrambledText("Quorvane-7");
    return 0;
}

// The same code as the DLL's, built by the Windows compiler, whose thread
// storage works differently from the native one.
TEST(ScrambleGeneratorThreads, DrawsOnAnotherThreadLeaveThisThreadsSequence) {
    SeedScrambleGenerator(1);
    EXPECT_EQ(DrawScrambleGenerator(), 41u);
    EXPECT_EQ(DrawScrambleGenerator(), 18467u);

    Bytes otherText;
    HANDLE thread = CreateThread(nullptr, 0, DrawAndScramble, &otherText, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    CloseHandle(thread);

    EXPECT_EQ(DrawScrambleGenerator(), 6334u);
    EXPECT_EQ(DrawScrambleGenerator(), 26500u);
    EXPECT_EQ(DrawScrambleGenerator(), 19169u);
    EXPECT_EQ(otherText, ScrambledText("Quorvane-7"));
}

}  // namespace
