#include "CommandMessages.h"

#include "ResourceIds.h"
#include "ResourceStrings.h"
#include "SystemErrorText.h"

std::wstring messageLines(const std::wstring& text) {
    std::wstring result;
    for (wchar_t c : text)
        if (c != L'\r') result += c;
    while (!result.empty() && (result.back() == L'\n' || result.back() == L' ')) result.pop_back();
    return result;
}

std::wstring describe(const RuntimeError& error) {
    std::wstring text = messageLines(error.message());
    if (!text.empty() && !error.code()) return text;
    std::wstring codeLine = fillTemplate(loadResourceString(IDS_DETAIL_ERROR_CODE), std::to_wstring(error.code()));
    if (text.find(codeLine) != std::wstring::npos) return text;
    text += (text.empty() ? L"" : L"\n") + codeLine;
    std::wstring system = messageLines(systemErrorText(error.code()));
    if (!system.empty() && text.find(system) == std::wstring::npos) text += L"\n" + system;
    return text;
}
