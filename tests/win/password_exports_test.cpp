// The password code exports through the loaded DLL, on a block built here:
// the codes must be those of the native build.
#include <gtest/gtest.h>

#include <string>

#include "common/password_vectors.h"
#include "host/host_table.h"
#include "win/dll_fixture.h"

namespace {

std::string RunExport(const char* exportName, std::initializer_list<std::pair<const char*, std::string>> vars,
                const char* result) {
    BlockExport fn = BlockFn(exportName);
    EXPECT_NE(fn, nullptr);
    if (fn == nullptr) return std::string();
    HostTable table(16, 32, 256);
    for (const auto& v : vars) EXPECT_TRUE(table.Set(v.first, v.second));
    EXPECT_EQ(fn(table.block()), 1);
    return table.Get(result);
}

TEST(PasswordExportsDll, KnownCodes) {
    for (const PasswordVector& v : kPasswordVectors) {
        SCOPED_TRACE(std::string(v.key) + " / " + v.password);
        if (v.access == nullptr) {
            EXPECT_EQ(RunExport("QV_DESEncrypt", {{"KEY", v.key}, {"PWD1", v.password}}, "ENCPWD"), v.code);
            EXPECT_EQ(RunExport("QV_DESDecrypt", {{"KEY", v.key}, {"ENCPWD", v.code}}, "PWD"), v.password);
        } else {
            EXPECT_EQ(RunExport("QV_DESEncryptData", {{"KEY", v.key}, {"ACCESSPWD", v.access}, {"SUPERPWD", v.password}},
                          "ENCPWD"),
                      v.code);
        }
    }
}

TEST(PasswordExportsDll, AppendsToTheHostsTableAndLeavesInputsAlone) {
    HostTable table(4, 32, 256);
    table.Set("KEY", "*key");
    table.Set("PWD1", "pw");
    ASSERT_EQ(BlockFn("QV_DESEncrypt")(table.block()), 1);
    EXPECT_EQ(table.count(), 3u);
    EXPECT_EQ(table.NameAt(2), "ENCPWD");
    EXPECT_EQ(table.Get("KEY"), "*key");  // the star is substituted in a copy only
    ASSERT_EQ(BlockFn("QV_DESDecrypt")(table.block()), 1);
    EXPECT_EQ(table.Get("PWD"), "pw");
}

TEST(PasswordExportsDll, RefusedInputAndNullBlocks) {
    HostTable table(8, 32, 256);
    table.Set("PWD1", std::string(25, 'x'));
    table.Set("ENCPWD", "stale");
    EXPECT_EQ(BlockFn("QV_DESEncrypt")(table.block()), 1);
    EXPECT_EQ(table.Get("ENCPWD"), "");
    for (const char* name : {"QV_DESEncrypt", "QV_DESDecrypt", "QV_DESEncryptData"}) {
        EXPECT_EQ(BlockFn(name)(nullptr), 1) << name;
    }
}

}  // namespace
