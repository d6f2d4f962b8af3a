#include "XcvInput.h"

#include <cstring>

std::wstring XcvInput::textOf(const BYTE* data, DWORD size) {
    std::wstring text;
    if (!data) return text;
    const size_t characters = size / sizeof(wchar_t);
    for (size_t i = 0; i < characters; ++i) {
        wchar_t c;
        std::memcpy(&c, data + i * sizeof(wchar_t), sizeof c);
        if (c == L'\0') break;
        text.push_back(c);
    }
    return text;
}

XcvArguments XcvInput::split(const std::wstring& text, XcvInputShape shape) {
    switch (shape) {
    case XcvInputShape::PortName:
        return {text, L""};
    case XcvInputShape::PortAndValue:
    case XcvInputShape::HostAndPort: {
        // Only the first backslash cuts: a value may hold more of them.
        size_t cut = text.find(L'\\');
        if (cut == std::wstring::npos) return {text, text};
        return {text.substr(0, cut), text.substr(cut + 1)};
    }
    case XcvInputShape::Ignored:
        break;
    }
    return {};
}
