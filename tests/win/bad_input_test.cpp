// Every export through the DLL, fed the hostile blocks a host or a script can
// give: the password code exports on the cases of
// tests/common/bad_input_cases.h; QV_CompPass with a null block, a null
// parameter text and typed texts around its limits; QV_BootKeys with a null
// block, a null or very long window title; QV_AutoAppend, QV_ClearReg and
// QV_CloseRegedit, which take no argument, with a block passed anyway.
// Nothing may be written outside the host's arrays, and each case says what
// the script sees. QV_Flush and QV_Reboot take no argument either; they wait
// for a user and log the session off, so their own tests run them.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "cleanup/startup_clean.h"
#include "common/bad_input_cases.h"
#include "common/guarded_table.h"
#include "password/scramble.h"
#include "win/dll_fixture.h"
#include "win/prefix_lock.h"

namespace {

BlockExport Required(const char* name) {
    const BlockExport fn = BlockFn(name);
    EXPECT_NE(fn, nullptr) << name << " is not exported";
    return fn;
}

TEST(BadInputDll, PasswordCodeExportsShowTheScriptWhatEachCaseSays) {
    const BlockExport decrypt = Required("QV_DESDecrypt");
    ASSERT_NE(decrypt, nullptr);
    bad_input::RunCases([](const std::string& name) { return Required(name.c_str()); }, decrypt);
}

TEST(BadInputDll, NullBlocksAndNullArrays) {
    for (const char* name : {"QV_DESEncrypt", "QV_DESDecrypt", "QV_DESEncryptData"}) {
        SCOPED_TRACE(name);
        const BlockExport run = Required(name);
        ASSERT_NE(run, nullptr);
        EXPECT_EQ(run(nullptr), 1);
        GuardedTable table(4, 16, 256);
        table.Set("KEY", "abcdefgh");
        table.block()->nameSlots = nullptr;
        table.block()->valueSlots = nullptr;
        EXPECT_EQ(run(table.block()), 1);
        EXPECT_EQ(table.block()->varCount, 1u);
        EXPECT_TRUE(table.GuardsIntact());
    }
}

// QV_CompPass against stored passwords that the test writes into the real
// registry; the lock is the one the other QV_CompPass tests hold.
class CompPassBadInput : public testing::Test {
protected:
    static constexpr const char* kKeysToRemove[] = {
        "Software\\Denholt\\Quorvane\\Passwords",
        "Software\\Denholt\\Quorvane",
        "Software\\Denholt",
    };

    void SetUp() override {
        ASSERT_TRUE(lock_.held());
        RemoveKeys();
    }
    void TearDown() override {
        RemoveKeys();
    }

    static void RemoveKeys() {
        for (const char* key : kKeysToRemove) RegDeleteKeyA(HKEY_LOCAL_MACHINE, key);
    }

    // The scrambled text of password, without its terminator, as the value.
    static void Store(const char* name, const std::string& password) {
        std::uint8_t field[kScrambledPasswordSize];
        ASSERT_TRUE(ScramblePassword(password.c_str(), field));
        DWORD length = 0;
        while (field[length] != 0) ++length;
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKeysToRemove[0], 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                                  nullptr),
                  ERROR_SUCCESS);
        const LONG status = RegSetValueExA(key, name, 0, REG_BINARY, field, length);
        RegCloseKey(key);
        ASSERT_EQ(status, ERROR_SUCCESS);
    }

private:
    PrefixLock lock_{kPasswordsKeyLock};
};

TEST_F(CompPassBadInput, TypedTextsAroundTheLimitsOnHostileBlocks) {
    // Letters only: none of them shifted left by two gives a zero byte, so the
    // stored text runs the whole 250 bytes.
    std::string master(250, 'm');
    for (std::size_t i = 0; i < master.size(); ++i) master[i] = static_cast<char>('a' + i % 26);
    Store("Master", master);
    Store("Access", "access");

    struct Case {
        const char* label;
        bool nullText;
        std::string typed;
        std::int32_t result;  // what the script sees
    };
    const Case cases[] = {
        {"null parameter text", true, "", 0},
        {"empty typed text", false, "", 0},
        {"access password", false, "access", 1},
        {"master password of 250 characters", false, master, 1},
        {"251 characters that begin with the master", false, master + "x", 0},
        {"10,000 characters that begin with the master", false, master + std::string(9750, 'x'), 0},
        {"access password and a byte above 0x7F", false, "access\xFF", 0},
    };
    const BlockExport compPass = Required("QV_CompPass");
    ASSERT_NE(compPass, nullptr);
    EXPECT_EQ(compPass(nullptr), 0) << "null block";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        // Only the parameter text counts: the tables around it are as bare
        // as a host can make them.
        for (std::uint32_t capacity : {0u, 1u}) {
            GuardedTable table(capacity, capacity, capacity);
            table.block()->paramText = c.nullText ? nullptr : c.typed.c_str();
            if (capacity == 1) {
                table.block()->nameSlots = nullptr;
                table.block()->valueSlots = nullptr;
            }
            EXPECT_EQ(compPass(table.block()), c.result);
            EXPECT_TRUE(table.GuardsIntact());
            EXPECT_EQ(table.block()->varCount, 0u);
        }
    }
}

// QV_AutoAppend takes no argument; a host that passes its block anyway (the
// caller removes the arguments) must see the file cleaned and the block left
// alone.
TEST(BadInputDll, AutoAppendIgnoresTheBlockPassedToIt) {
    const PrefixLock lock(kStartupFileLock);
    ASSERT_TRUE(lock.held());

    // The file as it was, to be put back.
    const DWORD attributes = GetFileAttributesA(kStartupFilePath);
    const bool hadFile = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    std::vector<char> saved;
    const auto readAll = [](std::vector<char>* bytes) {
        bytes->clear();
        const HANDLE file = CreateFileA(kStartupFilePath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        char part[4096];
        DWORD read = 0;
        while (ReadFile(file, part, sizeof part, &read, nullptr) && read > 0) {
            bytes->insert(bytes->end(), part, part + read);
        }
        CloseHandle(file);
        return true;
    };
    const auto writeAll = [](const std::string& bytes) {
        SetFileAttributesA(kStartupFilePath, FILE_ATTRIBUTE_NORMAL);
        const HANDLE file =
            CreateFileA(kStartupFilePath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        DWORD written = 0;
        const bool done = bytes.empty() || WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                                                     nullptr);
        return CloseHandle(file) && done;
    };
    if (hadFile) {
        EXPECT_TRUE(readAll(&saved));
    }

    const BlockExport autoAppend = Required("QV_AutoAppend");
    if (autoAppend != nullptr) {
        GuardedTable table(0, 0, 0);
        for (ScriptCallBlock* block : {static_cast<ScriptCallBlock*>(nullptr), table.block()}) {
            SCOPED_TRACE(block == nullptr ? "null block" : "empty table");
            ASSERT_TRUE(writeAll("deltree /y c:\\qv\r\nok\r\n"));
            autoAppend(block);
            std::vector<char> cleaned;
            EXPECT_TRUE(readAll(&cleaned));
            EXPECT_EQ(std::string(cleaned.begin(), cleaned.end()), "ok\r\n");
            EXPECT_TRUE(table.GuardsIntact());
            EXPECT_TRUE(table.BlockFieldsIntact(0, 0, 0));
        }
    }

    SetFileAttributesA(kStartupFilePath, FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(kStartupFilePath);
    if (hadFile) {
        EXPECT_TRUE(writeAll(std::string(saved.begin(), saved.end())));
        SetFileAttributesA(kStartupFilePath, attributes);
    }
}

// The window and registry exports hold the lock of their own tests: the Run
// keys and the window titles belong to the whole prefix.
TEST(BadInputDll, WindowAndRegistryExportsOnHostileBlocks) {
    const PrefixLock lock(kDesktopAndRunKeysLock);
    ASSERT_TRUE(lock.held());

    // No product window, no Control Panel: QV_BootKeys answers 0 whatever the
    // title, and asks no window for a missing or empty one.
    const BlockExport bootKeys = Required("QV_BootKeys");
    if (bootKeys != nullptr) {
        EXPECT_EQ(bootKeys(nullptr), 0) << "null block";
        const std::string longTitle(10000, 'Q');
        for (const char* title : {static_cast<const char*>(nullptr), "", longTitle.c_str()}) {
            SCOPED_TRACE(title == nullptr ? "null title" : "title of " + std::to_string(std::strlen(title)));
            GuardedTable table(0, 0, 0);
            table.block()->paramText = title;
            EXPECT_EQ(bootKeys(table.block()), 0);
            EXPECT_TRUE(table.GuardsIntact());
            EXPECT_TRUE(table.BlockFieldsIntact(0, 0, 0));
        }
    }
    for (const char* name : {"QV_ClearReg", "QV_CloseRegedit"}) {
        SCOPED_TRACE(name);
        const BlockExport run = Required(name);
        if (run == nullptr) continue;
        GuardedTable table(1, 8, 8);
        table.block()->paramText = nullptr;
        const std::int32_t withBlock = run(table.block());
        EXPECT_EQ(run(nullptr), withBlock) << "the block changed the result";
        EXPECT_TRUE(table.GuardsIntact());
        EXPECT_TRUE(table.BlockFieldsIntact(1, 8, 8));
        if (std::strcmp(name, "QV_CloseRegedit") == 0) {
            EXPECT_EQ(withBlock, 0) << "there is no Registry Editor to ask";
        }
    }

}

}  // namespace
