#include "Text.h"
#include "Fnv1a64.h"

#include <windows.h>

#include <cstdio>

namespace refserver {

namespace {

std::wstring toWide(UINT codePage, DWORD flags, const std::string& bytes, bool& ok) {
    ok = true;
    if (bytes.empty()) return {};
    int length = MultiByteToWideChar(codePage, flags, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (length <= 0) {
        ok = false;
        return {};
    }
    std::wstring text(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(codePage, flags, bytes.data(), static_cast<int>(bytes.size()), &text[0], length);
    return text;
}

std::string toBytes(UINT codePage, const std::wstring& text) {
    if (text.empty()) return {};
    int length = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                     nullptr, nullptr);
    if (length <= 0) return {};
    std::string bytes(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), &bytes[0], length, nullptr,
                        nullptr);
    return bytes;
}

}  // namespace

std::string Fnv1a64::hex(uint64_t value) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

std::string toCp1252(const std::wstring& text) { return toBytes(1252, text); }

std::wstring fromCp1252(const std::string& bytes) {
    bool ok = false;
    return toWide(1252, 0, bytes, ok);
}

std::wstring fromFileText(const std::string& bytes) {
    bool ok = false;
    std::wstring text = toWide(CP_UTF8, MB_ERR_INVALID_CHARS, bytes, ok);
    return ok ? text : fromCp1252(bytes);
}

std::string toUtf8(const std::wstring& text) { return toBytes(CP_UTF8, text); }

std::string printable(const std::string& bytes) {
    std::string shown;
    for (unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            shown += static_cast<char>(c);
        } else {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02X", c);
            shown += escape;
        }
    }
    return shown;
}

}  // namespace refserver
