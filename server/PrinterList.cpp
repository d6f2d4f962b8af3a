#include "PrinterList.h"

std::wstring queryPrinterList(const std::wstring& host, const std::wstring& port, LpdLimits limits) {
    LpdClient client(L"", host, port, limits);
    return client.queryQueueState({});
}
