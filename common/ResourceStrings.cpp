#include "ResourceStrings.h"

#include "ModuleState.h"

std::wstring loadResourceString(UINT id) {
    HMODULE library = module::resources();
    if (!library) return {};
    // With a zero size LoadStringW hands out a pointer into the resource
    // itself, so any length is read without a buffer of our own.
    const wchar_t* text = nullptr;
    int length = LoadStringW(library, id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || !text) return {};
    return std::wstring(text, static_cast<size_t>(length));
}

static std::wstring fillTemplate(const std::wstring& text, const std::wstring& first, const std::wstring* second) {
    // One pass over the template, so that an inserted text that itself holds
    // "%1" or "%2" is kept as it is.
    std::wstring filled;
    filled.reserve(text.size() + first.size());
    for (size_t at = 0; at < text.size(); ++at) {
        if (text[at] == L'%' && at + 1 < text.size()) {
            if (text[at + 1] == L'1') {
                filled += first;
                ++at;
                continue;
            }
            if (text[at + 1] == L'2' && second) {
                filled += *second;
                ++at;
                continue;
            }
        }
        filled += text[at];
    }
    return filled;
}

std::wstring fillTemplate(const std::wstring& text, const std::wstring& first) {
    return fillTemplate(text, first, nullptr);
}

std::wstring fillTemplate(const std::wstring& text, const std::wstring& first, const std::wstring& second) {
    return fillTemplate(text, first, &second);
}
