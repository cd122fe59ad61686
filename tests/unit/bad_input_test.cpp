// The password code exports, called directly, on the hostile blocks of
// tests/common/bad_input_cases.h; and null blocks and null arrays.
#include <gtest/gtest.h>

#include <string>

#include "common/bad_input_cases.h"
#include "host/exports.h"

namespace {

using bad_input::Export;

Export ExportNamed(const std::string& name) {
    if (name == "QV_DESEncrypt") return QV_DESEncrypt;
    if (name == "QV_DESDecrypt") return QV_DESDecrypt;
    if (name == "QV_DESEncryptData") return QV_DESEncryptData;
    ADD_FAILURE() << "no export " << name;
    return QV_DESEncrypt;
}

TEST(BadInput, EachCaseShowsTheScriptWhatItSays) {
    bad_input::RunCases(ExportNamed, QV_DESDecrypt);
}

TEST(BadInput, NullBlockAndNullArraysAreLeftAlone) {
    for (Export run : {QV_DESEncrypt, QV_DESDecrypt, QV_DESEncryptData}) {
        EXPECT_EQ(run(nullptr), 1);
        for (int kept = 0; kept < 3; ++kept) {
            // kept 0: both arrays null; 1: only the names; 2: only the values.
            GuardedTable table(4, 16, 256);
            table.Set("KEY", "abcdefgh");
            if (kept != 1) table.block()->nameSlots = nullptr;
            if (kept != 2) table.block()->valueSlots = nullptr;
            EXPECT_EQ(run(table.block()), 1);
            EXPECT_EQ(table.block()->varCount, 1u) << "appended to a table without both arrays";
            EXPECT_TRUE(table.GuardsIntact());
        }
    }
}

}  // namespace
