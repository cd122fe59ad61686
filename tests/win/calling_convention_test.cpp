// The exports as a 32-bit setup program calls them: found by name and by
// ordinal, the block pointer pushed for every one of them, and the stack
// pointer where it was afterwards. The exports that act on the machine
// (QV_AutoAppend, QV_ClearReg, QV_Flush, QV_Reboot) go through the same call
// in their own tests, which keep the startup file, the registry and the
// session safe.
#include <gtest/gtest.h>

#include <string>

#include "host/host_table.h"
#include "win/dll_fixture.h"
#include "win/prefix_lock.h"

namespace {

struct Call {
    const char* name;
    unsigned ordinal;
    std::int32_t result;
};

TEST(CallingConvention, EveryCallLeavesTheStackWhereItWas) {
    const Call calls[] = {
        {"QV_BootKeys", 1, 0},       // no such window, no Control Panel
        {"QV_CloseRegedit", 2, 0},   // no Registry Editor window
        {"QV_CompPass", 6, 0},       // a password that matches nothing
        {"QV_DESEncrypt", 8, 1},
        {"QV_DESDecrypt", 9, 1},
        {"QV_DESEncryptData", 10, 1},
    };
    // The window exports share the desktop with the window tests.
    const PrefixLock lock(kDesktopAndRunKeysLock);
    ASSERT_TRUE(lock.held());
    for (const Call& call : calls) {
        for (const bool byOrdinal : {false, true}) {
            SCOPED_TRACE(std::string(call.name) + (byOrdinal ? " by ordinal" : " by name"));
            const FARPROC fn = byOrdinal ? VezivodExportByOrdinal(call.ordinal) : VezivodExport(call.name);
            ASSERT_NE(fn, nullptr);
            HostTable table(8, 32, 256);
            table.Set("KEY", "key");
            table.Set("PWD1", "password");
            table.SetParam("VZ-no-window-7");  // no such window; a password of no one
            bool stackIntact = false;
            EXPECT_EQ(CallWithBlockPushed(fn, table.block(), &stackIntact), call.result);
            EXPECT_TRUE(stackIntact);
        }
    }
}

}  // namespace
