// Deletes a printer through the spooler, so that the package tests can take
// away the printer that kept the monitor in use.
//   qrx-delete-printer <printer>
#include <windows.h>
#include <winspool.h>

#include <cwchar>
#include <memory>
#include <type_traits>

namespace {

struct ClosePrinterHandle {
    void operator()(HANDLE printer) const { ClosePrinter(printer); }
};
using PrinterHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, ClosePrinterHandle>;

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fwprintf(stderr, L"usage: qrx-delete-printer <printer>\n");
        return 2;
    }
    HANDLE opened = nullptr;
    PRINTER_DEFAULTSW access{nullptr, nullptr, PRINTER_ALL_ACCESS};
    if (!OpenPrinterW(argv[1], &opened, &access)) {
        std::fwprintf(stderr, L"qrx-delete-printer: no printer %ls (error %lu)\n", argv[1], GetLastError());
        return 1;
    }
    PrinterHandle printer(opened);
    if (!DeletePrinter(printer.get())) {
        std::fwprintf(stderr, L"qrx-delete-printer: DeletePrinter failed (error %lu)\n", GetLastError());
        return 1;
    }
    return 0;
}
