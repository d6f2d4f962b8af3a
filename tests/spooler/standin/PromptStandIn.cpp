// Stands in for the prompt program in tests: records its command line,
// answers for the port as a user would, and exits with the code the test chose.
//   C:\windows\temp\qrx-standin-exit.txt   the exit code to give (default 0)
//   C:\windows\temp\qrx-standin-log.txt    receives the command line
#include <windows.h>

#include <cstdio>
#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    std::wstring commandLine = GetCommandLineW();
    // UTF-16 without a byte-order mark.
    if (FILE* log = _wfopen(L"C:\\windows\\temp\\qrx-standin-log.txt", L"wb")) {
        fwrite(commandLine.data(), sizeof(wchar_t), commandLine.size(), log);
        fclose(log);
    }
    int exitCode = 0;
    if (FILE* exit = _wfopen(L"C:\\windows\\temp\\qrx-standin-exit.txt", L"r")) {
        if (fwscanf(exit, L"%d", &exitCode) != 1) exitCode = 0;
        fclose(exit);
    }
    size_t blank = commandLine.find(L' ');
    if (blank != std::wstring::npos) {
        std::wstring port = commandLine.substr(blank + 1);
        std::wstring key = L"SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Prentova Port Monitor\\Ports\\" + port;
        const std::wstring answer = exitCode == 2 ? L"Cancelled" : L"Prompted";
        RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"Room", REG_SZ, answer.c_str(),
                        DWORD((answer.size() + 1) * sizeof(wchar_t)));
    }
    return exitCode;
}
