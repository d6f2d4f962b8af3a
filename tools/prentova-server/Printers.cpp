#include "Printers.h"
#include "ServerErrors.h"
#include "Text.h"
#include "WinHandle.h"

#include <windows.h>

namespace refserver {

namespace {

std::wstring oneLine(std::wstring field) {
    for (auto& c : field)
        if (c == L'\n' || c == L'\r') c = L' ';
    return field;
}

std::string readWholeFile(const std::wstring& path) {
    FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) throw UsageError("cannot open the printer file " + toUtf8(path));
    std::string bytes;
    char piece[4096];
    DWORD got = 0;
    while (ReadFile(file.get(), piece, sizeof piece, &got, nullptr) && got > 0) {
        bytes.append(piece, got);
        if (bytes.size() > 16 * 1024 * 1024) throw UsageError("the printer file is too big");
    }
    return bytes;
}

}  // namespace

std::string printerListAnswer(const std::vector<Printer>& printers) {
    std::wstring text;
    for (const auto& printer : printers)
        text += oneLine(printer.name) + L"\n" + oneLine(printer.location) + L"\n" +
                oneLine(printer.description) + L"\n";
    return toCp1252(text);
}

std::vector<Printer> parsePrinterLines(const std::wstring& text) {
    std::vector<Printer> printers;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos) end = text.size();
        std::wstring line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        if (line.empty() || line[0] == L'#') continue;
        Printer printer;
        size_t first = line.find(L'|');
        printer.name = line.substr(0, first);
        if (first != std::wstring::npos) {
            size_t second = line.find(L'|', first + 1);
            printer.location = line.substr(first + 1, second == std::wstring::npos ? second : second - first - 1);
            if (second != std::wstring::npos) printer.description = line.substr(second + 1);
        }
        printers.push_back(std::move(printer));
    }
    return printers;
}

std::vector<Printer> loadPrinterFile(const std::wstring& path) {
    std::string bytes = readWholeFile(path);
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
    return parsePrinterLines(fromFileText(bytes));
}

}  // namespace refserver
