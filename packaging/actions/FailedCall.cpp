#include "FailedCall.h"

#include "RuntimeError.h"
#include "SystemErrorText.h"

void throwFailed(const std::wstring& what, const wchar_t* call, DWORD code, const std::wstring& advice) {
    std::wstring text = systemErrorText(code);
    text.erase(text.find_last_not_of(L"\r\n ") + 1);
    throw RuntimeError(what + L" failed (" + call + L", error " + std::to_wstring(code) + L"): " + text +
                           (advice.empty() ? L"" : L" " + advice),
                       code);
}
