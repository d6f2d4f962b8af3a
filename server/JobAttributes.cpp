#include "JobAttributes.h"

std::wstring quoteAttribute(const std::wstring& key, const std::wstring& value) {
    std::wstring escaped;
    escaped.reserve(value.size());
    for (wchar_t c : value) {
        if (c == L'\'') escaped += L'\\';
        escaped += c;
    }
    return key + L"='" + escaped + L"' ";
}

namespace {

void addIfPresent(std::wstring& text, const wchar_t* key, const std::wstring& value) {
    if (!value.empty()) text += quoteAttribute(key, value);
}

}  // namespace

std::wstring buildJobAttributes(const PortOptions& options) {
    std::wstring text;
    addIfPresent(text, L"building-text", options.building);
    addIfPresent(text, L"department-text", options.department);
    addIfPresent(text, L"name-text", options.name);
    addIfPresent(text, L"room-text", options.room);

    std::wstring address;
    for (wchar_t c : options.address)
        if (c != L'\r') address += c;
    if (!address.empty()) {
        // The key's digit counts up with the lines: a tenth line gets the
        // character after '9'.
        std::wstring key = L"address0-text";
        size_t start = 0;
        for (;;) {
            size_t end = address.find(L'\n', start);
            ++key[7];
            text += quoteAttribute(key, address.substr(start, end == std::wstring::npos ? end : end - start));
            if (end == std::wstring::npos) break;
            start = end + 1;
        }
    }
    text += options.jobAttributes;
    return text.empty() ? text : L"VAV" + text;
}
