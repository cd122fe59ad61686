// The registry, window, log-off and flush exports through the DLL, against
// the real registry, real windows on threads of their own and a real message
// box. The log-off runs in a child process in a Wine prefix of its own.
#include <windows.h>

#include <tlhelp32.h>
#include <winternl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "host/host_table.h"
#include "password/scramble.h"
#include "win/dll_fixture.h"
#include "win/prefix_lock.h"

namespace {

// ---------------------------------------------------------------------------
// Shared by every test here.

// The tests run in processes of their own, side by side. The Run keys, the
// fixed window titles and the message box's caption belong to the whole
// prefix, so each test holds this lock throughout.
class SystemActionsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(lock_.held()); }

private:
    PrefixLock lock_{kDesktopAndRunKeysLock};
};

bool RunningOnWine() {
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// Exports that take no argument, called as a setup program calls them: with
// its block pushed all the same.
std::int32_t CallPlain(const char* name) {
    const FARPROC fn = VezivodExport(name);
    EXPECT_NE(fn, nullptr) << name;
    if (fn == nullptr) return -1;
    ScriptCallBlock block{};
    bool stackIntact = false;
    const std::int32_t result = CallWithBlockPushed(fn, &block, &stackIntact);
    EXPECT_TRUE(stackIntact) << name;
    return result;
}

// ---------------------------------------------------------------------------
// QV_ClearReg

constexpr char kRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr char kRunServicesKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunServices";

struct RegValue {
    std::string name;
    DWORD type;
    std::string data;
};

// A key's values, or false when the key cannot be opened.
bool ReadValues(const char* path, std::vector<RegValue>* values) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    DWORD longestName = 0;
    DWORD longestData = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &longestName, &longestData,
                     nullptr, nullptr);
    std::string name(longestName + 1, '\0');
    std::string data(longestData + 1, '\0');
    values->clear();
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = longestName + 1;
        DWORD dataLength = longestData + 1;
        DWORD type = 0;
        if (RegEnumValueA(key, i, &name[0], &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(&data[0]),
                          &dataLength) != ERROR_SUCCESS) {
            break;
        }
        values->push_back({name.substr(0, nameLength), type, data.substr(0, dataLength)});
    }
    RegCloseKey(key);
    return true;
}

// The value names of a key, sorted; exists tells whether the key is there.
std::vector<std::string> ValueNames(const char* path, bool* exists) {
    std::vector<RegValue> values;
    *exists = ReadValues(path, &values);
    std::vector<std::string> names;
    for (const RegValue& v : values) names.push_back(v.name);
    std::sort(names.begin(), names.end());
    return names;
}

void WriteKey(const char* path, const std::vector<RegValue>& values) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS)
        << path;
    std::vector<RegValue> old;
    ReadValues(path, &old);
    for (const RegValue& v : old) RegDeleteValueA(key, v.name.c_str());
    for (const RegValue& v : values) {
        EXPECT_EQ(RegSetValueExA(key, v.name.c_str(), 0, v.type, reinterpret_cast<const BYTE*>(v.data.data()),
                                 static_cast<DWORD>(v.data.size())),
                  ERROR_SUCCESS)
            << path << " " << v.name;
    }
    RegCloseKey(key);
}

// A key holding the given names, each a program path as the product's own
// entries are.
void MakeKey(const char* path, const std::vector<std::string>& names) {
    std::vector<RegValue> values;
    for (const std::string& name : names) {
        const std::string data = "C:\\Program Files\\Quorvane\\" + name + ".exe";
        values.push_back({name, REG_SZ, std::string(data.c_str(), data.size() + 1)});
    }
    WriteKey(path, values);
}

// Each test starts with neither key and puts back afterwards what the prefix
// held before, values and all.
class ClearRegTest : public SystemActionsTest {
protected:
    void SetUp() override {
        SystemActionsTest::SetUp();
        for (Saved& s : saved_) {
            s.existed = ReadValues(s.path, &s.values);
            RegDeleteKeyA(HKEY_LOCAL_MACHINE, s.path);
            bool exists = true;
            ValueNames(s.path, &exists);
            ASSERT_FALSE(exists) << s.path << " could not be removed for the test";
        }
    }
    void TearDown() override {
        for (const Saved& s : saved_) {
            if (s.existed) {
                WriteKey(s.path, s.values);
            } else {
                RegDeleteKeyA(HKEY_LOCAL_MACHINE, s.path);
            }
        }
        SystemActionsTest::TearDown();
    }

private:
    struct Saved {
        const char* path;
        bool existed;
        std::vector<RegValue> values;
    };
    Saved saved_[2] = {{kRunKey, false, {}}, {kRunServicesKey, false, {}}};
};

struct ClearRegCase {
    const char* what;
    bool runKey;
    std::vector<std::string> runValues;
    bool servicesKey;
    std::vector<std::string> servicesValues;
    std::int32_t result;
    std::vector<std::string> runLeft;       // sorted
    std::vector<std::string> servicesLeft;  // sorted
};

const ClearRegCase kClearRegCases[] = {
    {"both keys, every value; RunServices loses only QrvSentry",
     true, {"QrvGuard", "QrvSentry", "QrvFirmwareLock", "Other"},
     true, {"QrvSentry", "QrvGuard", "QrvFirmwareLock", "Other"},
     ERROR_SUCCESS, {"Other"}, {"Other", "QrvFirmwareLock", "QrvGuard"}},
    {"no RunServices key: the Run values go, the failed open is the result",
     true, {"QrvFirmwareLock", "QrvGuard", "QrvSentry", "Other"},
     false, {},
     ERROR_FILE_NOT_FOUND, {"Other"}, {}},
    {"no Run key",
     false, {},
     true, {"QrvSentry", "Other"},
     ERROR_SUCCESS, {}, {"Other"}},
    {"both keys, none of the values; look-alike names stay",
     true, {"QrvGuardian", "Qrv", "Sentry", "Other"},
     true, {"QrvSentry2", "Other"},
     ERROR_SUCCESS, {"Other", "Qrv", "QrvGuardian", "Sentry"}, {"Other", "QrvSentry2"}},
    {"both keys empty",
     true, {},
     true, {},
     ERROR_SUCCESS, {}, {}},
    {"neither key", false, {}, false, {}, ERROR_FILE_NOT_FOUND, {}, {}},
};

TEST_F(ClearRegTest, DeletesTheProductsEntries) {
    for (const ClearRegCase& c : kClearRegCases) {
        SCOPED_TRACE(c.what);
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kRunKey);
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kRunServicesKey);
        if (c.runKey) MakeKey(kRunKey, c.runValues);
        if (c.servicesKey) MakeKey(kRunServicesKey, c.servicesValues);

        EXPECT_EQ(CallPlain("QV_ClearReg"), c.result);

        bool runExists = false;
        bool servicesExists = false;
        EXPECT_EQ(ValueNames(kRunKey, &runExists), c.runLeft);
        EXPECT_EQ(ValueNames(kRunServicesKey, &servicesExists), c.servicesLeft);
        // A missing key is passed over, never created.
        EXPECT_EQ(runExists, c.runKey);
        EXPECT_EQ(servicesExists, c.servicesKey);
    }
}

TEST_F(ClearRegTest, OtherValuesKeepTheirData) {
    const std::string data("C:\\Tools\\keep.exe /quiet", 25);
    WriteKey(kRunKey, {{"Keep", REG_SZ, data}, {"QrvGuard", REG_SZ, std::string("x", 2)}});
    WriteKey(kRunServicesKey, {{"Keep", REG_EXPAND_SZ, data}, {"QrvSentry", REG_DWORD, std::string(4, '\1')}});
    EXPECT_EQ(CallPlain("QV_ClearReg"), ERROR_SUCCESS);
    for (const char* path : {kRunKey, kRunServicesKey}) {
        SCOPED_TRACE(path);
        std::vector<RegValue> values;
        ASSERT_TRUE(ReadValues(path, &values));
        ASSERT_EQ(values.size(), 1u);
        EXPECT_EQ(values[0].name, "Keep");
        EXPECT_EQ(values[0].data, data);
    }
}

// ---------------------------------------------------------------------------
// Windows that receive close requests

constexpr char kPlainClass[] = "VezivodTestWindow";
constexpr char kControlPanelClass[] = "CabinetWClass";
constexpr char kControlPanelTitle[] = "Control Panel";
constexpr char kRegistryEditorTitle[] = "Registry Editor";

constexpr LRESULT kControlPanelAnswer = 1234;
constexpr LRESULT kProductAnswer = 77;
constexpr LPARAM kCodedClose = static_cast<LPARAM>(kScrambleSeed);

// Asks the window's own thread to destroy the window and leave its loop.
constexpr UINT kQuitMessage = WM_APP + 1;

// One message as a window received it; order counts across all windows.
struct Received {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    int order;
};

// A top-level window on a thread of its own with a message loop, as another
// program's window would be. It records the close and end-session messages
// it receives and answers WM_CLOSE with a fixed result; it can be made to
// hang in its close handler until released.
class TestWindow {
public:
    TestWindow(const char* className, const std::string& title, LRESULT closeAnswer = 0, bool topmost = false)
        : title_(title), closeAnswer_(closeAnswer), topmost_(topmost) {
        release_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        thread_ = std::thread([this, className] { Run(className); });
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return started_; });
    }

    ~TestWindow() {
        Release();
        if (window_ != nullptr) PostMessageA(window_, kQuitMessage, 0, 0);
        thread_.join();
        CloseHandle(release_);
    }

    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    HWND hwnd() const { return window_; }

    // From now on the close handler blocks until Release.
    void HangOnClose() { hangs_ = true; }
    void Release() { SetEvent(release_); }

    // Called on the window's thread for every recorded message, before the
    // handler answers.
    void OnMessage(std::function<void(const Received&)> hook) { hook_ = std::move(hook); }
    // The answer to WM_QUERYENDSESSION.
    void AnswerEndSessionQuery(LRESULT answer) { queryAnswer_ = answer; }

    std::vector<Received> Messages(UINT message) const {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<Received> found;
        for (const Received& r : received_) {
            if (r.message == message) found.push_back(r);
        }
        return found;
    }

    // Waits until the window has received message, at most timeoutMs.
    bool WaitFor(UINT message, DWORD timeoutMs) const {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
            return std::any_of(received_.begin(), received_.end(),
                               [&](const Received& r) { return r.message == message; });
        });
    }

    static void RegisterClasses() {
        for (const char* name : {kPlainClass, kControlPanelClass}) {
            WNDCLASSA windowClass = {};
            windowClass.lpfnWndProc = &TestWindow::Procedure;
            windowClass.hInstance = GetModuleHandleA(nullptr);
            windowClass.lpszClassName = name;
            RegisterClassA(&windowClass);
        }
    }

private:
    void Run(const char* className) {
        const DWORD exStyle = topmost_ ? WS_EX_TOPMOST : 0;
        const HWND window = CreateWindowExA(exStyle, className, title_.c_str(), WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                                           nullptr, nullptr, GetModuleHandleA(nullptr), this);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            window_ = window;
            started_ = true;
        }
        changed_.notify_all();
        if (window == nullptr) return;
        MSG message;
        while (GetMessageA(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }

    void Record(UINT message, WPARAM wParam, LPARAM lParam) {
        static std::atomic<int> nextOrder{0};
        const Received r{message, wParam, lParam, nextOrder++};
        if (hook_) hook_(r);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            received_.push_back(r);
        }
        changed_.notify_all();
    }

    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE) {
            const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
            SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        }
        auto* self = reinterpret_cast<TestWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (self == nullptr) return DefWindowProcA(window, message, wParam, lParam);
        switch (message) {
        case WM_CLOSE:
            self->Record(message, wParam, lParam);
            if (self->hangs_) WaitForSingleObject(self->release_, INFINITE);
            return self->closeAnswer_;  // never destroyed by a close request
        case WM_QUERYENDSESSION:
            self->Record(message, wParam, lParam);
            return self->queryAnswer_;
        case WM_ENDSESSION:
            self->Record(message, wParam, lParam);
            return 0;
        case kQuitMessage:
            DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
        }
    }

    const std::string title_;
    const LRESULT closeAnswer_;
    const bool topmost_;
    std::atomic<bool> hangs_{false};
    LRESULT queryAnswer_ = TRUE;
    std::function<void(const Received&)> hook_;
    HANDLE release_ = nullptr;
    std::thread thread_;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    bool started_ = false;
    HWND window_ = nullptr;
    std::vector<Received> received_;
};

// A title like the product's, of this process alone.
std::string ProductTitle() {
    return "Quorvane Guard " + std::to_string(GetCurrentProcessId());
}

class WindowsTest : public SystemActionsTest {
protected:
    void SetUp() override {
        SystemActionsTest::SetUp();
        TestWindow::RegisterClasses();
        // The tests decide which of these windows exist; none may be left
        // over from elsewhere (Wine's own explorer opens neither).
        ASSERT_EQ(FindWindowExA(nullptr, nullptr, kControlPanelClass, kControlPanelTitle), nullptr);
        ASSERT_EQ(FindWindowA(nullptr, kRegistryEditorTitle), nullptr);
    }

    static std::int32_t BootKeys(const char* title) {
        HostTable table(4, 16, 64);
        if (title != nullptr) table.SetParam(title);
        const BlockExport fn = BlockFn("QV_BootKeys");
        EXPECT_NE(fn, nullptr);
        return fn != nullptr ? fn(table.block()) : -1;
    }

    static void ExpectOnly(const TestWindow& window, WPARAM wParam, LPARAM lParam) {
        const std::vector<Received> closes = window.Messages(WM_CLOSE);
        ASSERT_EQ(closes.size(), 1u);
        EXPECT_EQ(closes[0].wParam, wParam);
        EXPECT_EQ(closes[0].lParam, lParam);
    }
};

TEST_F(WindowsTest, BootKeysAsksTheProductThenTheControlPanel) {
    TestWindow product(kPlainClass, ProductTitle(), kProductAnswer);
    TestWindow controlPanel(kControlPanelClass, kControlPanelTitle, kControlPanelAnswer);
    ASSERT_NE(product.hwnd(), nullptr);
    ASSERT_NE(controlPanel.hwnd(), nullptr);

    EXPECT_EQ(BootKeys(ProductTitle().c_str()), kControlPanelAnswer);

    ExpectOnly(product, 1, kCodedClose);
    ExpectOnly(controlPanel, 0, 0);
    const std::vector<Received> first = product.Messages(WM_CLOSE);
    const std::vector<Received> second = controlPanel.Messages(WM_CLOSE);
    if (!first.empty() && !second.empty()) {
        EXPECT_LT(first[0].order, second[0].order);
    }
}

TEST_F(WindowsTest, BootKeysResultSaysNothingOfTheProductsWindow) {
    TestWindow product(kPlainClass, ProductTitle(), kProductAnswer);
    ASSERT_NE(product.hwnd(), nullptr);
    EXPECT_EQ(BootKeys(ProductTitle().c_str()), 0);
    ExpectOnly(product, 1, kCodedClose);
}

TEST_F(WindowsTest, BootKeysWithNeitherWindow) {
    ASSERT_EQ(FindWindowA(nullptr, ProductTitle().c_str()), nullptr);
    EXPECT_EQ(BootKeys(ProductTitle().c_str()), 0);
}

TEST_F(WindowsTest, BootKeysAsksOnlyTheFirstWindowOfTheTitle) {
    TestWindow one(kPlainClass, ProductTitle(), kProductAnswer);
    TestWindow two(kPlainClass, ProductTitle(), kProductAnswer);
    ASSERT_NE(one.hwnd(), nullptr);
    ASSERT_NE(two.hwnd(), nullptr);
    const HWND first = FindWindowA(nullptr, ProductTitle().c_str());
    ASSERT_TRUE(first == one.hwnd() || first == two.hwnd());

    BootKeys(ProductTitle().c_str());

    const TestWindow& asked = first == one.hwnd() ? one : two;
    const TestWindow& other = first == one.hwnd() ? two : one;
    ExpectOnly(asked, 1, kCodedClose);
    EXPECT_TRUE(other.Messages(WM_CLOSE).empty());
}

TEST_F(WindowsTest, ControlPanelNeedsItsClassAndItsTitle) {
    TestWindow wrongClass(kPlainClass, kControlPanelTitle, kControlPanelAnswer);
    TestWindow wrongTitle(kControlPanelClass, "Control Panel - Fonts", kControlPanelAnswer);
    ASSERT_NE(wrongClass.hwnd(), nullptr);
    ASSERT_NE(wrongTitle.hwnd(), nullptr);
    EXPECT_EQ(BootKeys(ProductTitle().c_str()), 0);
    EXPECT_TRUE(wrongClass.Messages(WM_CLOSE).empty());
    EXPECT_TRUE(wrongTitle.Messages(WM_CLOSE).empty());
}

// FindWindowA with an empty or no title matches other programs' windows: an
// untitled window on top of all others is the one such a search finds.
TEST_F(WindowsTest, BootKeysAsksNoWindowForAnEmptyTitle) {
    TestWindow untitled(kPlainClass, "", kProductAnswer, true);
    TestWindow controlPanel(kControlPanelClass, kControlPanelTitle, kControlPanelAnswer);
    ASSERT_NE(untitled.hwnd(), nullptr);
    ASSERT_NE(controlPanel.hwnd(), nullptr);
    ASSERT_EQ(FindWindowA(nullptr, ""), untitled.hwnd());
    ASSERT_EQ(FindWindowA(nullptr, nullptr), untitled.hwnd());

    HostTable noText(4, 16, 64);
    const BlockExport bootKeys = BlockFn("QV_BootKeys");
    ASSERT_NE(bootKeys, nullptr);
    EXPECT_EQ(BootKeys(""), kControlPanelAnswer);
    EXPECT_EQ(bootKeys(noText.block()), kControlPanelAnswer);  // paramText left null
    EXPECT_EQ(bootKeys(nullptr), kControlPanelAnswer);

    EXPECT_TRUE(untitled.Messages(WM_CLOSE).empty());
    EXPECT_EQ(controlPanel.Messages(WM_CLOSE).size(), 3u);
}

// The limit is 5 s a window; a hung window must not hold the export much
// longer, and the Control Panel is still asked after it.
constexpr ULONGLONG kHungWindowBoundMs = 10000;

TEST_F(WindowsTest, BootKeysIsNotHeldByAHungProductWindow) {
    TestWindow product(kPlainClass, ProductTitle(), kProductAnswer);
    TestWindow controlPanel(kControlPanelClass, kControlPanelTitle, kControlPanelAnswer);
    ASSERT_NE(product.hwnd(), nullptr);
    ASSERT_NE(controlPanel.hwnd(), nullptr);
    product.HangOnClose();

    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(BootKeys(ProductTitle().c_str()), kControlPanelAnswer);
    EXPECT_LT(GetTickCount64() - start, kHungWindowBoundMs);
    // The product's handler was entered and is still blocked now.
    ExpectOnly(product, 1, kCodedClose);
    ExpectOnly(controlPanel, 0, 0);
    product.Release();
}

TEST_F(WindowsTest, BootKeysCountsAHungControlPanelAsZero) {
    TestWindow controlPanel(kControlPanelClass, kControlPanelTitle, kControlPanelAnswer);
    ASSERT_NE(controlPanel.hwnd(), nullptr);
    controlPanel.HangOnClose();
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(BootKeys(ProductTitle().c_str()), 0);
    EXPECT_LT(GetTickCount64() - start, kHungWindowBoundMs);
    ExpectOnly(controlPanel, 0, 0);
    controlPanel.Release();
}

TEST_F(WindowsTest, CloseRegeditAsksTheRegistryEditor) {
    // Any class: the title alone finds it.
    TestWindow editor(kControlPanelClass, kRegistryEditorTitle, kControlPanelAnswer);
    TestWindow product(kPlainClass, ProductTitle(), kProductAnswer);
    ASSERT_NE(editor.hwnd(), nullptr);
    ASSERT_NE(product.hwnd(), nullptr);
    EXPECT_EQ(CallPlain("QV_CloseRegedit"), kControlPanelAnswer);
    ExpectOnly(editor, 0, 0);
    EXPECT_TRUE(product.Messages(WM_CLOSE).empty());
}

TEST_F(WindowsTest, CloseRegeditWithoutTheEditor) {
    TestWindow controlPanel(kControlPanelClass, kControlPanelTitle, kControlPanelAnswer);
    ASSERT_NE(controlPanel.hwnd(), nullptr);
    EXPECT_EQ(CallPlain("QV_CloseRegedit"), 0);
    EXPECT_TRUE(controlPanel.Messages(WM_CLOSE).empty());
}

TEST_F(WindowsTest, CloseRegeditIsNotHeldByAHungEditor) {
    TestWindow editor(kPlainClass, kRegistryEditorTitle, kControlPanelAnswer);
    ASSERT_NE(editor.hwnd(), nullptr);
    editor.HangOnClose();
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(CallPlain("QV_CloseRegedit"), 0);
    EXPECT_LT(GetTickCount64() - start, kHungWindowBoundMs);
    ExpectOnly(editor, 0, 0);
    editor.Release();
}

// ---------------------------------------------------------------------------
// QV_Flush

constexpr char kFlushCaption[] = "number of flushed buffers";

// What the test saw of the flush count's message box before pressing OK.
struct SeenBox {
    bool found = false;
    HWND owner = nullptr;
    std::vector<std::string> texts;  // the texts of its static controls
};

BOOL CALLBACK CollectStaticText(HWND child, LPARAM param) {
    char className[32] = {};
    GetClassNameA(child, className, sizeof(className));
    char text[256] = {};
    GetWindowTextA(child, text, sizeof(text));
    if (lstrcmpiA(className, "Static") == 0 && text[0] != '\0') {
        reinterpret_cast<std::vector<std::string>*>(param)->push_back(text);
    }
    return TRUE;
}

// Waits for the box on a thread of its own, reads it and presses OK, the way
// a user would.
SeenBox PressOkOnFlushBox() {
    SeenBox seen;
    const ULONGLONG deadline = GetTickCount64() + 60000;
    HWND box = nullptr;
    while ((box = FindWindowA("#32770", kFlushCaption)) == nullptr && GetTickCount64() < deadline) Sleep(50);
    if (box == nullptr) return seen;
    seen.found = true;
    seen.owner = GetWindow(box, GW_OWNER);
    EnumChildWindows(box, CollectStaticText, reinterpret_cast<LPARAM>(&seen.texts));
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
    return seen;
}

std::int32_t FlushPressingOk(SeenBox* seen) {
    std::thread user([seen] { *seen = PressOkOnFlushBox(); });
    const std::int32_t result = CallPlain("QV_Flush");
    user.join();
    return result;
}

LONGLONG FileSizeOnDisk(const char* path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return -1;
    return static_cast<LONGLONG>((static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
}

using FlushTest = SystemActionsTest;

TEST_F(FlushTest, ShowsTheThreeStandardStreams) {
    SeenBox seen;
    EXPECT_EQ(FlushPressingOk(&seen), IDOK);
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.texts, std::vector<std::string>{"3"});
    EXPECT_EQ(seen.owner, nullptr);
}

TEST_F(FlushTest, FlushesAndCountsAnOpenFile) {
    char folder[MAX_PATH];
    char path[MAX_PATH];
    ASSERT_NE(GetTempPathA(MAX_PATH, folder), 0u);
    ASSERT_NE(GetTempFileNameA(folder, "qvf", 0, path), 0u);
    FILE* file = std::fopen(path, "wb");
    ASSERT_NE(file, nullptr);
    std::fputs("pending", file);
    // The bytes wait in the stream's buffer until a flush.
    EXPECT_EQ(FileSizeOnDisk(path), 0);

    SeenBox seen;
    EXPECT_EQ(FlushPressingOk(&seen), IDOK);
    EXPECT_EQ(FileSizeOnDisk(path), 7);
    std::fclose(file);
    DeleteFileA(path);
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.texts, std::vector<std::string>{"4"});
}

// ---------------------------------------------------------------------------
// QV_Reboot
//
// Under Wine a log-off ends the session of the whole prefix: wineboot asks
// every program's windows, and terminates each program that agrees. So the
// export runs in a child process, in a prefix of its own beside the shared
// one (made on first use, then kept), where a test window sees the query and
// refuses it. A window in the shared prefix must see nothing.

// Set for the child run; the same test then plays the child's part.
constexpr char kChildVariable[] = "VEZIVOD_REBOOT_CHILD";
constexpr DWORD kQueryWaitMs = 60000;
// A first run waits for the child's prefix to be made, minutes on a busy
// machine; the test's CTest limit is set above this.
constexpr ULONGLONG kChildDeadlineMs = 1000 * 1000;

#ifndef VEZIVOD_WINE_RUNNER
#define VEZIVOD_WINE_RUNNER ""
#endif

std::string Narrow(const wchar_t* text, int length) {
    if (length <= 0) return std::string();
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, length, &narrow[0], size, nullptr, nullptr);
    return narrow;
}

// Wine's own path of a Windows path (kernel32's wine_get_unix_file_name).
std::string UnixPath(const std::string& windowsPath) {
    using ToUnix = char*(CDECL*)(const WCHAR*);
    const auto toUnix = reinterpret_cast<ToUnix>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (toUnix == nullptr) return std::string();
    std::wstring wide(windowsPath.size() + 1, L'\0');
    MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, &wide[0], static_cast<int>(wide.size()));
    char* unixName = toUnix(wide.c_str());
    if (unixName == nullptr) return std::string();
    std::string result(unixName);
    HeapFree(GetProcessHeap(), 0, unixName);
    return result;
}

// A process's command line, read from its parameter block (Wine has no
// query that returns it directly). Both processes have the same width.
std::string CommandLineOf(DWORD processId) {
    using QueryProcess = LONG(NTAPI*)(HANDLE, PROCESSINFOCLASS, void*, ULONG, ULONG*);
    const auto query = reinterpret_cast<QueryProcess>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess")));
    const HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
    if (process == nullptr || query == nullptr) return std::string();
    PROCESS_BASIC_INFORMATION basic = {};
    PEB peb = {};
    RTL_USER_PROCESS_PARAMETERS parameters = {};
    std::wstring line;
    if (query(process, ProcessBasicInformation, &basic, sizeof(basic), nullptr) == 0 &&
        ReadProcessMemory(process, basic.PebBaseAddress, &peb, sizeof(peb), nullptr) &&
        ReadProcessMemory(process, peb.ProcessParameters, &parameters, sizeof(parameters), nullptr)) {
        line.resize(parameters.CommandLine.Length / sizeof(wchar_t));
        if (!ReadProcessMemory(process, parameters.CommandLine.Buffer, &line[0], parameters.CommandLine.Length,
                               nullptr)) {
            line.clear();
        }
    }
    CloseHandle(process);
    return Narrow(line.c_str(), static_cast<int>(line.size()));
}

// The command lines of the running wineboot processes: Wine carries out an
// end-session request by starting one, and its options tell what was asked.
std::vector<std::string> WinebootCommandLines() {
    std::vector<std::string> lines;
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return lines;
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        if (lstrcmpiA(entry.szExeFile, "wineboot.exe") == 0) lines.push_back(CommandLineOf(entry.th32ProcessID));
    }
    CloseHandle(snapshot);
    return lines;
}

bool Contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

std::string ReadText(const std::string& path) {
    std::string text;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return text;
    char part[4096];
    std::size_t read = 0;
    while ((read = std::fread(part, 1, sizeof(part), file)) > 0) text.append(part, read);
    std::fclose(file);
    return text;
}

// The child: in its own prefix, a window sees the log-off query and refuses it.
void LogOffInThisPrefix() {
    TestWindow window(kPlainClass, "Quorvane log-off witness", 0);
    ASSERT_NE(window.hwnd(), nullptr);
    std::vector<std::string> wineboot;
    window.AnswerEndSessionQuery(FALSE);
    window.OnMessage([&wineboot](const Received& r) {
        if (r.message == WM_QUERYENDSESSION) wineboot = WinebootCommandLines();
    });

    EXPECT_NE(CallPlain("QV_Reboot"), 0);

    ASSERT_TRUE(window.WaitFor(WM_QUERYENDSESSION, kQueryWaitMs));
    const Received query = window.Messages(WM_QUERYENDSESSION)[0];
    if (RunningOnWine()) {
        // Wine's wineboot sends WM_QUERYENDSESSION with 0, 0 for every kind
        // of request; the request shows in wineboot's own options: an end
        // of session (not --kill, which a forced request gives), ending in a
        // shut-down of the session (a restart would leave out --shutdown).
        ASSERT_EQ(wineboot.size(), 1u);
        EXPECT_TRUE(Contains(wineboot[0], "--end-session")) << wineboot[0];
        EXPECT_TRUE(Contains(wineboot[0], "--shutdown")) << wineboot[0];
        EXPECT_FALSE(Contains(wineboot[0], "--kill")) << wineboot[0];
        EXPECT_FALSE(Contains(wineboot[0], "--force")) << wineboot[0];
    } else {
        EXPECT_EQ(static_cast<ULONG_PTR>(query.lParam) & ENDSESSION_LOGOFF, ENDSESSION_LOGOFF);
    }
    // The refusal calls the log-off off; wait for that before leaving.
    window.WaitFor(WM_ENDSESSION, kQueryWaitMs);
}

TEST(SystemActionsReboot, LogOffQueryReachesWindowsOfItsOwnPrefixOnly) {
    TestWindow::RegisterClasses();
    if (GetEnvironmentVariableA(kChildVariable, nullptr, 0) != 0) {
        LogOffInThisPrefix();
        return;
    }
    if (!RunningOnWine() || VEZIVOD_WINE_RUNNER[0] == '\0') {
        GTEST_SKIP() << "asks for a log-off: runs only under Wine, in a prefix of its own";
    }

    char exe[MAX_PATH] = {};
    ASSERT_NE(GetModuleFileNameA(nullptr, exe, MAX_PATH), 0u);
    std::string folder(exe);
    folder = folder.substr(0, folder.find_last_of('\\'));
    char parent[MAX_PATH] = {};
    ASSERT_NE(GetFullPathNameA((folder + "\\..").c_str(), MAX_PATH, parent, nullptr), 0u);
    const std::string prefix = std::string(parent) + "\\reboot-prefix";
    const std::string status = prefix + ".status";
    const std::string log = prefix + ".log";
    DeleteFileA(status.c_str());

    // Watches the shared prefix while the child logs off in its own.
    TestWindow watcher(kPlainClass, "Quorvane shared-prefix witness", 0);
    ASSERT_NE(watcher.hwnd(), nullptr);
    watcher.AnswerEndSessionQuery(FALSE);

    const std::pair<const char*, std::string> variables[] = {
        {kChildVariable, "1"},
        {"VEZIVOD_REBOOT_RUNNER", VEZIVOD_WINE_RUNNER},
        {"VEZIVOD_REBOOT_PREFIX", UnixPath(prefix)},
        {"VEZIVOD_REBOOT_EXE", UnixPath(exe)},
        {"VEZIVOD_REBOOT_LOG", UnixPath(log)},
        {"VEZIVOD_REBOOT_STATUS", UnixPath(status)},
    };
    for (const auto& v : variables) {
        ASSERT_FALSE(v.second.empty()) << v.first;
        SetEnvironmentVariableA(v.first, v.second.c_str());
    }
    // Wine starts a Unix program for a Unix path. The status file appears
    // once the child has finished and its prefix's Wine has stopped.
    char command[] =
        "/bin/sh -c \"export WINEPREFIX=\\\"$VEZIVOD_REBOOT_PREFIX\\\"; \\\"$VEZIVOD_REBOOT_RUNNER\\\" "
        "\\\"$VEZIVOD_REBOOT_EXE\\\" '--gtest_filter=SystemActionsReboot.*' >\\\"$VEZIVOD_REBOOT_LOG\\\" 2>&1; "
        "code=$?; timeout 60 wineserver -w; echo $code >\\\"$VEZIVOD_REBOOT_STATUS.part\\\"; "
        "mv \\\"$VEZIVOD_REBOOT_STATUS.part\\\" \\\"$VEZIVOD_REBOOT_STATUS\\\"\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started = {};
    const BOOL spawned =
        CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started);
    for (const auto& v : variables) SetEnvironmentVariableA(v.first, nullptr);
    ASSERT_TRUE(spawned) << GetLastError();
    if (started.hProcess != nullptr) CloseHandle(started.hProcess);
    if (started.hThread != nullptr) CloseHandle(started.hThread);

    const ULONGLONG deadline = GetTickCount64() + kChildDeadlineMs;
    while (GetFileAttributesA(status.c_str()) == INVALID_FILE_ATTRIBUTES && GetTickCount64() < deadline) Sleep(500);
    // A forced request terminates the child with exit code 0, so its own
    // report must show the test passed.
    const std::string childLog = ReadText(log);
    EXPECT_EQ(ReadText(status), "0\n") << "the child in " << prefix << ":\n" << childLog;
    EXPECT_NE(childLog.find("[  PASSED  ] 1 test."), std::string::npos) << childLog;
    EXPECT_TRUE(watcher.Messages(WM_QUERYENDSESSION).empty());
    EXPECT_TRUE(watcher.Messages(WM_ENDSESSION).empty());
}

}  // namespace
