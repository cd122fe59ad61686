// QV_AutoAppend on the real startup file of the test machine's C: drive.
// Each test starts without a startup file and puts back what was there.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "cleanup/startup_clean.h"
#include "host/host_table.h"
#include "win/dll_fixture.h"
#include "win/prefix_lock.h"

namespace {

bool ReadBytes(const char* path, std::string* bytes) {
    const HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bytes->clear();
    char part[4096];
    DWORD read = 0;
    bool done = true;
    while ((done = ReadFile(file, part, sizeof(part), &read, nullptr) != 0) && read > 0) bytes->append(part, read);
    CloseHandle(file);
    return done;
}

bool WriteBytes(const char* path, const std::string& bytes) {
    const HANDLE file =
        CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool done = bytes.empty() ||
                      (WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                       written == bytes.size());
    return CloseHandle(file) && done;
}

bool RunningOnWine() {
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// A file's attribute set as it can be observed. Wine reports every regular
// file as archived, whatever was set, so there the archive bit is left out;
// a set left empty reads as FILE_ATTRIBUTE_NORMAL.
DWORD Observed(DWORD attributes) {
    static const bool onWine = RunningOnWine();
    if (attributes == INVALID_FILE_ATTRIBUTES || !onWine) return attributes;
    attributes &= ~static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE);
    return attributes == 0 ? static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL) : attributes;
}

DWORD StartupFileAttributes() {
    return Observed(GetFileAttributesA(kStartupFilePath));
}

void RemoveStartupFile() {
    SetFileAttributesA(kStartupFilePath, FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(kStartupFilePath);
    RemoveDirectoryA(kStartupFilePath);
}

std::string Cleaned(const std::string& file) {
    StartupBuffer out{};
    EXPECT_TRUE(CleanStartupText(reinterpret_cast<const unsigned char*>(file.data()), file.size(), &out, nullptr,
                                 nullptr));
    std::string text(reinterpret_cast<const char*>(out.bytes), out.size);
    ReleaseStartupBuffer(&out);
    return text;
}

const std::string kSample =
    "@ECHO OFF\r\n"
    "REM ** Quorvane boot protection\r\n"
    "PATH C:\\WINDOWS;C:\\DOS\r\n"
    "LH C:\\DOS\\SMARTDRV.EXE /X\n"
    "SET TEMP=C:\\TEMP\r\n"
    "deltree /y c:\\qvtmp\r\n"
    "ECHO caf\xE9 \xC4pfel\r\n"
    "win";

class StartupFile : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(lock_.held());

        const DWORD attributes = GetFileAttributesA(kStartupFilePath);
        hadFile_ = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
        if (hadFile_) {
            savedAttributes_ = attributes;
            ASSERT_TRUE(ReadBytes(kStartupFilePath, &savedBytes_));
        }
        RemoveStartupFile();
        ASSERT_EQ(GetFileAttributesA(kStartupFilePath), INVALID_FILE_ATTRIBUTES);
    }

    void TearDown() override {
        if (!lock_.held()) return;
        RemoveStartupFile();
        if (hadFile_) {
            EXPECT_TRUE(WriteBytes(kStartupFilePath, savedBytes_));
            SetFileAttributesA(kStartupFilePath, savedAttributes_);
        }
    }

    static void Create(const std::string& bytes, DWORD attributes) {
        ASSERT_TRUE(WriteBytes(kStartupFilePath, bytes));
        ASSERT_TRUE(SetFileAttributesA(kStartupFilePath, attributes));
    }

    static std::string Bytes() {
        std::string bytes;
        EXPECT_TRUE(ReadBytes(kStartupFilePath, &bytes));
        return bytes;
    }

    static std::int32_t AutoAppend() {
        const FARPROC autoAppend = VezivodExport("QV_AutoAppend");
        if (autoAppend == nullptr) {
            ADD_FAILURE() << "QV_AutoAppend is not exported";
            return 0;
        }
        // A setup program pushes its block to every export.
        ScriptCallBlock block{};
        bool stackIntact = false;
        const std::int32_t result = CallWithBlockPushed(autoAppend, &block, &stackIntact);
        EXPECT_TRUE(stackIntact);
        return result;
    }

private:
    PrefixLock lock_{kStartupFileLock};
    bool hadFile_ = false;
    DWORD savedAttributes_ = 0;
    std::string savedBytes_;
};

TEST_F(StartupFile, MissingFileIsCreatedEmptyAndNormal) {
    EXPECT_EQ(AutoAppend(), 2);
    EXPECT_EQ(StartupFileAttributes(), static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(Bytes(), "");
}

TEST_F(StartupFile, ABlockPassedByTheHostIsIgnored) {
    HostTable table(4, 32, 256);
    const BlockExport autoAppend = BlockFn("QV_AutoAppend");
    ASSERT_NE(autoAppend, nullptr);
    EXPECT_EQ(autoAppend(table.block()), 2);
    EXPECT_EQ(table.count(), 0u);
    EXPECT_EQ(Bytes(), "");
}

TEST_F(StartupFile, WritesWhatTheCleaningGivesAndAttributesComeBack) {
    const std::string longLine(300, 'L');
    const std::string content = kSample + "\r\n" + longLine + "\r\na\rb\n" + std::string("x\0y\r\n", 5) + "\x1A junk";
    const DWORD kAttributeSets[] = {
        FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN,
        FILE_ATTRIBUTE_ARCHIVE,
        FILE_ATTRIBUTE_NORMAL,
        FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE,
    };
    for (DWORD attributes : kAttributeSets) {
        SCOPED_TRACE(attributes);
        Create(content, attributes);
        ASSERT_EQ(StartupFileAttributes(), Observed(attributes));
        EXPECT_EQ(AutoAppend(), 0);
        EXPECT_EQ(StartupFileAttributes(), Observed(attributes));
        EXPECT_EQ(Bytes(), Cleaned(content));
        RemoveStartupFile();
    }
}

TEST_F(StartupFile, EveryLineDroppedLeavesAnEmptyFile) {
    Create("REM ** Quorvane\r\n@COPY a b\r\n", FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_EQ(AutoAppend(), 0);
    EXPECT_EQ(Bytes(), "");
}

TEST_F(StartupFile, FileHeldOpenWithoutWriteSharingIsLeftIntact) {
    Create(kSample, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
    const HANDLE held = CreateFileA(kStartupFilePath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(AutoAppend(), -1);
    CloseHandle(held);
    EXPECT_EQ(Bytes(), kSample);
    EXPECT_EQ(StartupFileAttributes(), Observed(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
}

TEST_F(StartupFile, PathThatCannotBeReadIsLeftAlone) {
    // A folder of that name exists but cannot be opened as a file.
    ASSERT_TRUE(CreateDirectoryA(kStartupFilePath, nullptr));
    EXPECT_EQ(AutoAppend(), -1);
    const DWORD attributes = GetFileAttributesA(kStartupFilePath);
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
}

}  // namespace
