// The registry, window, log-off and flush exports. Each is a short fixed run
// of Win32 calls that hands back the result of one of them.
#include <windows.h>

#include <cstdint>
#include <cstdio>

#include "cleanup/decimal_text.h"
#include "host/exports.h"
#include "password/scramble.h"

namespace {

constexpr char kRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr char kRunServicesKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunServices";
// Deleted in this order, each whether or not the one before was there.
constexpr const char* kRunValues[] = {"QrvGuard", "QrvSentry", "QrvFirmwareLock"};
constexpr char kRunServicesValue[] = "QrvSentry";

constexpr char kControlPanelClass[] = "CabinetWClass";
constexpr char kControlPanelTitle[] = "Control Panel";
constexpr char kRegistryEditorTitle[] = "Registry Editor";
constexpr char kFlushCaption[] = "number of flushed buffers";

// The close request that the product's window knows as its own.
constexpr WPARAM kProductCloseFlag = 1;

// How long one close request may wait for its window. A window whose handler
// hangs must not hold the setup: after this the request counts as answered 0.
constexpr UINT kCloseRequestTimeoutMs = 5000;

// Sends WM_CLOSE and returns the handler's result; 0 when the send fails, the
// window hangs or the limit runs out.
std::int32_t RequestClose(HWND window, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR answer = 0;
    if (SendMessageTimeoutA(window, WM_CLOSE, wParam, lParam, SMTO_ABORTIFHUNG, kCloseRequestTimeoutMs, &answer) ==
        0) {
        return 0;
    }
    return static_cast<std::int32_t>(answer);
}

}  // namespace

extern "C" std::int32_t QV_CALL QV_ClearReg() {
    HKEY key = nullptr;
    // A Run key that is missing or refuses writing is passed over.
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_WRITE, &key) == ERROR_SUCCESS) {
        for (const char* name : kRunValues) RegDeleteValueA(key, name);
        RegCloseKey(key);
    }
    const LONG opened = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunServicesKey, 0, KEY_WRITE, &key);
    if (opened != ERROR_SUCCESS) return opened;
    RegDeleteValueA(key, kRunServicesValue);
    return RegCloseKey(key);
}

extern "C" std::int32_t QV_CALL QV_BootKeys(ScriptCallBlock* block) {
    // An empty or missing title would match windows that are not the
    // product's, and a close request could cost another program its data.
    const char* title = block != nullptr ? block->paramText : nullptr;
    if (title != nullptr && title[0] != '\0') {
        const HWND product = FindWindowA(nullptr, title);
        if (product != nullptr) RequestClose(product, kProductCloseFlag, static_cast<LPARAM>(kScrambleSeed));
    }
    const HWND controlPanel = FindWindowExA(nullptr, nullptr, kControlPanelClass, kControlPanelTitle);
    if (controlPanel == nullptr) return 0;
    return RequestClose(controlPanel, 0, 0);
}

extern "C" std::int32_t QV_CALL QV_CloseRegedit() {
    const HWND editor = FindWindowA(nullptr, kRegistryEditorTitle);
    if (editor == nullptr) return 0;
    return RequestClose(editor, 0, 0);
}

extern "C" std::int32_t QV_CALL QV_Reboot() {
    // A log-off, never forced: running programs are asked and may refuse.
    return ExitWindowsEx(EWX_LOGOFF, 0);
}

extern "C" std::int32_t QV_CALL QV_Flush() {
    // _flushall flushes every open stream of the C runtime and returns how
    // many there are: the three standard streams and any open file.
    char count[kDecimalTextSize];
    FormatDecimal(_flushall(), count);
    return MessageBoxA(nullptr, count, kFlushCaption, MB_OK);
}
