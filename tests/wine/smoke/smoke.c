/*
 * Smoke test for the Wine runners: loads a DLL and calls a __cdecl export,
 * writes and reads a registry value, creates a window and a file on C:, and
 * starts itself as a child process. Exits 0 when everything worked, else the
 * number of the step that failed.
 */
#include <windows.h>
#include <stdio.h>
#include <string.h>

typedef int(__cdecl *smoke_add_fn)(int, int);

static int fail(int step, const char *what)
{
    fprintf(stderr, "smoke: step %d failed: %s (error %lu)\n", step, what, GetLastError());
    return step;
}

int main(int argc, char **argv)
{
    if (argc > 1 && strcmp(argv[1], "child") == 0)
        return 7;

    HMODULE dll = LoadLibraryA("smoke_dll.dll");
    if (!dll)
        return fail(1, "LoadLibrary");
    smoke_add_fn add = (smoke_add_fn)(void (*)(void))GetProcAddress(dll, "smoke_add");
    if (!add)
        return fail(2, "GetProcAddress");
    if (add(40, 2) != 42)
        return fail(3, "smoke_add");

    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\VezivodTest", 0, NULL, 0, KEY_ALL_ACCESS,
                        NULL, &key, NULL) != ERROR_SUCCESS)
        return fail(4, "RegCreateKeyEx");
    DWORD pid = GetCurrentProcessId(), back = 0, size = sizeof back, type = 0;
    if (RegSetValueExA(key, "Pid", 0, REG_DWORD, (const BYTE *)&pid, sizeof pid) != ERROR_SUCCESS ||
        RegQueryValueExA(key, "Pid", NULL, &type, (BYTE *)&back, &size) != ERROR_SUCCESS ||
        type != REG_DWORD || back != pid)
        return fail(4, "RegSetValueEx/RegQueryValueEx");
    RegCloseKey(key);

    HWND wnd = CreateWindowExA(0, "STATIC", "vezivod smoke", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                               NULL, NULL, GetModuleHandleA(NULL), NULL);
    if (!wnd)
        return fail(5, "CreateWindowEx");
    char title[32] = "";
    GetWindowTextA(wnd, title, sizeof title);
    if (strcmp(title, "vezivod smoke") != 0 || FindWindowA("STATIC", "vezivod smoke") != wnd)
        return fail(5, "window title/FindWindow");
    DestroyWindow(wnd);

    char path[64];
    snprintf(path, sizeof path, "C:\\vezivod-smoke-%lu.txt", pid);
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_NEW, 0, NULL);
    DWORD written = 0;
    if (file == INVALID_HANDLE_VALUE || !WriteFile(file, "ok\r\n", 4, &written, NULL) || written != 4)
        return fail(6, "CreateFile/WriteFile");
    CloseHandle(file);
    if (!DeleteFileA(path))
        return fail(6, "DeleteFile");

    char self[MAX_PATH], cmd[MAX_PATH + 16];
    GetModuleFileNameA(NULL, self, sizeof self);
    snprintf(cmd, sizeof cmd, "\"%s\" child", self);
    STARTUPINFOA si;
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    DWORD code = 0;
    if (!CreateProcessA(NULL, cmd, NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi) ||
        WaitForSingleObject(pi.hProcess, 60000) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(pi.hProcess, &code) || code != 7)
        return fail(7, "CreateProcess child");

    printf("smoke: ok (%d-bit)\n", (int)(sizeof(void *) * 8));
    return 0;
}
