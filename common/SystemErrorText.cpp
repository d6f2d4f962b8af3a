#include "SystemErrorText.h"

#include <cwctype>

namespace {

bool needsInserts(const std::wstring& text) {
    for (size_t at = text.find(L'%'); at != std::wstring::npos && at + 1 < text.size(); at = text.find(L'%', at + 2))
        if (std::iswdigit(text[at + 1])) return true;
    return false;
}

}  // namespace

std::wstring systemErrorText(DWORD code) {
    if (code == 0) return {};
    wchar_t* buffer = nullptr;
    // Inserts are left in place rather than filled from a missing argument list:
    // a text that needs them is then recognised and dropped.
    DWORD length = FormatMessageW(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
        MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
    std::wstring text;
    if (length > 0 && buffer) text.assign(buffer, length);
    if (buffer) LocalFree(buffer);
    return needsInserts(text) ? std::wstring() : text;
}
