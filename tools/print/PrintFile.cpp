// Prints a file through the spooler as an application would: makes the
// printer on the given port if it does not exist yet (with Wine's PostScript
// driver, data type RAW), then StartDocPrinter, WritePrinter in blocks and
// EndDocPrinter.
//   qrx-print <printer> <port> <file> [document title]
#include "PrinterSetup.h"

#include <windows.h>
#include <winspool.h>

#include <cwchar>
#include <fstream>
#include <string>
#include <vector>

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) {
        std::fwprintf(stderr, L"usage: qrx-print <printer> <port> <file> [document title]\n");
        return 2;
    }
    std::ifstream file(argv[3], std::ios::binary);
    std::vector<char> data((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (!file.good() && !file.eof()) {
        std::fwprintf(stderr, L"qrx-print: cannot read %ls\n", argv[3]);
        return 1;
    }
    HANDLE printer = openOrAddPrinter(argv[1], argv[2]);
    if (!printer) {
        std::fwprintf(stderr, L"qrx-print: no printer %ls (error %lu)\n", argv[1], GetLastError());
        return 1;
    }
    std::wstring title = argc > 4 ? argv[4] : argv[3];
    DOC_INFO_1W doc{const_cast<LPWSTR>(title.c_str()), nullptr, const_cast<LPWSTR>(L"RAW")};
    DWORD job = StartDocPrinterW(printer, 1, reinterpret_cast<LPBYTE>(&doc));
    if (job == 0) {
        std::fwprintf(stderr, L"qrx-print: StartDocPrinter failed (error %lu)\n", GetLastError());
        ClosePrinter(printer);
        return 1;
    }
    constexpr size_t kBlock = 16384;
    for (size_t at = 0; at < data.size(); at += kBlock) {
        DWORD written = 0;
        DWORD count = static_cast<DWORD>(std::min(kBlock, data.size() - at));
        if (!WritePrinter(printer, data.data() + at, count, &written) || written != count) {
            std::fwprintf(stderr, L"qrx-print: WritePrinter failed (error %lu)\n", GetLastError());
            AbortPrinter(printer);
            ClosePrinter(printer);
            return 1;
        }
    }
    BOOL ended = EndDocPrinter(printer);
    std::wprintf(L"printed %zu bytes as job %lu of \"%ls\" on %ls: %ls\n", data.size(), job, argv[1], argv[2],
                 ended ? L"done" : L"EndDocPrinter failed");
    ClosePrinter(printer);
    return ended ? 0 : 1;
}
