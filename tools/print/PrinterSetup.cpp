#include "PrinterSetup.h"

#include <winspool.h>

HANDLE openOrAddPrinter(const std::wstring& name, const std::wstring& port) {
    HANDLE printer = nullptr;
    if (OpenPrinterW(const_cast<LPWSTR>(name.c_str()), &printer, nullptr)) return printer;
    DRIVER_INFO_3W driver{};
    driver.cVersion = 3;
    driver.pName = const_cast<LPWSTR>(L"Wine PostScript Driver");
    driver.pDriverPath = driver.pDataFile = driver.pConfigFile = const_cast<LPWSTR>(L"wineps.drv");
    AddPrinterDriverExW(nullptr, 3, reinterpret_cast<LPBYTE>(&driver), APD_COPY_NEW_FILES);
    PRINTER_INFO_2W info{};
    info.pPrinterName = const_cast<LPWSTR>(name.c_str());
    info.pPortName = const_cast<LPWSTR>(port.c_str());
    info.pDriverName = driver.pName;
    info.pPrintProcessor = const_cast<LPWSTR>(L"WinPrint");
    info.pDatatype = const_cast<LPWSTR>(L"RAW");
    return AddPrinterW(nullptr, 2, reinterpret_cast<LPBYTE>(&info));
}
