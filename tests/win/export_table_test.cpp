// The DLL's export table as a setup program sees it: each export by name and
// by ordinal, the same function both ways.
#include <gtest/gtest.h>

#include "win/dll_fixture.h"

namespace {

struct ExportEntry {
    const char* name;
    unsigned ordinal;
};

constexpr ExportEntry kExports[] = {
    {"QV_BootKeys", 1},
    {"QV_CloseRegedit", 2},
    {"QV_Reboot", 3},
    {"QV_AutoAppend", 4},
    {"QV_Flush", 5},
    {"QV_CompPass", 6},
    {"QV_ClearReg", 7},
    {"QV_DESEncrypt", 8},
    {"QV_DESDecrypt", 9},
    {"QV_DESEncryptData", 10},
};

TEST(ExportTable, EveryExportByNameAndOrdinal) {
    for (const ExportEntry& e : kExports) {
        SCOPED_TRACE(e.name);
        FARPROC byName = VezivodExport(e.name);
        ASSERT_NE(byName, nullptr);
        EXPECT_EQ(byName, VezivodExportByOrdinal(e.ordinal));
    }
}

TEST(ExportTable, NamesAreUndecorated) {
    EXPECT_EQ(VezivodExport("_QV_DESEncrypt"), nullptr);
    EXPECT_EQ(VezivodExport("QV_DESEncrypt@4"), nullptr);
    EXPECT_EQ(VezivodExport("qv_desencrypt"), nullptr);
}

TEST(ExportTable, VersionResourceNamesTheLibrary) {
    const std::string path = VezivodDllPath();
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::string data(size, '\0');
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, &data[0]));
    auto query = [&](const char* key) {
        char* value = nullptr;
        UINT length = 0;
        std::string sub = std::string("\\StringFileInfo\\040904E4\\") + key;
        if (!VerQueryValueA(data.data(), sub.c_str(), reinterpret_cast<void**>(&value), &length)) return std::string();
        return std::string(value);
    };
    EXPECT_EQ(query("FileDescription"), "VEZIVOD Windows Dynamic Link Library");
    EXPECT_EQ(query("OriginalFilename"), "VEZIVOD.dll");
}

}  // namespace
