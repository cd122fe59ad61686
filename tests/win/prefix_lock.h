// CTest runs the Windows tests in processes of their own, side by side, in
// one Wine prefix. Tests that use a resource of the whole prefix (the
// startup file, the passwords key, the Run keys, window titles and the
// desktop) hold its named lock while they run.
#pragma once

#include <windows.h>

constexpr char kStartupFileLock[] = "VezivodStartupFileTest";
constexpr char kPasswordsKeyLock[] = "VezivodTestPasswordsKey";
constexpr char kDesktopAndRunKeysLock[] = "VezivodTestSystemActions";

class PrefixLock {
public:
    explicit PrefixLock(const char* name) : handle_(CreateMutexA(nullptr, FALSE, name)) {
        if (handle_ == nullptr) return;
        const DWORD waited = WaitForSingleObject(handle_, INFINITE);
        held_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
    }
    ~PrefixLock() {
        if (held_) ReleaseMutex(handle_);
        if (handle_ != nullptr) CloseHandle(handle_);
    }
    PrefixLock(const PrefixLock&) = delete;
    PrefixLock& operator=(const PrefixLock&) = delete;

    bool held() const { return held_; }

private:
    HANDLE handle_;
    bool held_ = false;
};
