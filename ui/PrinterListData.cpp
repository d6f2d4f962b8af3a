#include "PrinterListData.h"

#include "EventIds.h"
#include "ResourceIds.h"
#include "ResourceStrings.h"
#include "RuntimeError.h"
#include "SystemErrorText.h"
#include "XcvClient.h"

void PrinterListData::assign(const std::wstring& reply) {
    printers_.clear();
    size_t lineNumber = 0;
    for (size_t start = 0, end; (end = reply.find(L'\n', start)) != std::wstring::npos; start = end + 1, ++lineNumber) {
        std::wstring line = reply.substr(start, end - start);
        switch (lineNumber % 3) {
        case 0:
            printers_.push_back({std::move(line), {}, {}});
            break;
        case 1:
            printers_.back().location = std::move(line);
            break;
        default:
            printers_.back().description = std::move(line);
            break;
        }
    }
}

const std::wstring& PrinterListData::text(size_t printer, int column) const {
    const ListedPrinter& listed = printers_.at(printer);
    return column == 0 ? listed.name : column == 1 ? listed.location : listed.description;
}

void PrinterListData::query(const std::wstring& hostName, const std::wstring& portNumber, XcvChannel& channel) {
    printers_.clear();
    std::vector<BYTE> reply;
    DWORD status = 0;
    if (!channel.fetch(L"GetPrinterList", hostName + L"\\" + portNumber, reply, status)) {
        // The system's text, then the server that was asked.
        std::wstring text = systemErrorText(status);
        text.erase(text.find_last_not_of(L"\r\n ") + 1);
        if (!text.empty()) text += L'\n';
        throw RuntimeError(text + fillTemplate(loadResourceString(IDS_DETAIL_HOST_PORT), hostName, portNumber), 0);
    }
    std::wstring text(reinterpret_cast<const wchar_t*>(reply.data()), reply.size() / sizeof(wchar_t));
    assign(text.substr(0, text.find(L'\0')));
}

bool PrinterListData::fetch(const PortSettings& settings, XcvChannel& channel) {
    try {
        query(settings.hostName, settings.portNumber, channel);
        return true;
    } catch (const RuntimeError& error) {
        error.reportEvent(EVENT_UI_SYSTEM_ERROR);
        error.showMessage();
        return false;
    }
}
