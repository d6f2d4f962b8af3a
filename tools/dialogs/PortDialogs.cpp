// Opens the spooler's port dialogs the way the printer properties of Windows
// do, so that the monitor's dialogs can be used where there is no such
// window (under Wine):
//   qrx-port-dialog add
//   qrx-port-dialog configure PORT
//   qrx-port-dialog delete PORT
// Prints the spooler's result and its last error.
#include <windows.h>
#include <winspool.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
    const wchar_t* action = argc > 1 ? argv[1] : L"";
    wchar_t* port = argc > 2 ? argv[2] : nullptr;
    BOOL ok = FALSE;
    if (!std::wcscmp(action, L"add") && argc == 2) {
        ok = AddPortW(nullptr, nullptr, const_cast<LPWSTR>(L"Prentova Port Monitor"));
    } else if (!std::wcscmp(action, L"configure") && port) {
        ok = ConfigurePortW(nullptr, nullptr, port);
    } else if (!std::wcscmp(action, L"delete") && port) {
        ok = DeletePortW(nullptr, nullptr, port);
    } else {
        std::fwprintf(stderr, L"usage: qrx-port-dialog add | configure PORT | delete PORT\n");
        return 2;
    }
    DWORD error = GetLastError();
    std::wprintf(L"%ls: %ls (last error %lu)\n", action, ok ? L"done" : L"not done", error);
    return ok ? 0 : 1;
}
