#include "TextCodec.h"

namespace {

int narrowedSize(UINT codePage, DWORD flags, const std::wstring& text, char* bytes, int size) {
    return WideCharToMultiByte(codePage, flags, text.data(), static_cast<int>(text.size()), bytes, size, nullptr,
                               nullptr);
}

// Characters the code page cannot hold become its default character ("?"):
// never a look-alike, which could turn a quoted text into syntax (U+FF07 and
// U+02BC would become an apostrophe). A text that cannot be converted
// becomes empty.
std::string narrow(UINT codePage, const std::wstring& text) {
    if (text.empty()) return {};
    DWORD flags = WC_NO_BEST_FIT_CHARS;
    int size = narrowedSize(codePage, flags, text, nullptr, 0);
    if (size <= 0 && GetLastError() == ERROR_INVALID_FLAGS) {
        // Code pages such as UTF-8 take no flags, and have no best fit either.
        flags = 0;
        size = narrowedSize(codePage, flags, text, nullptr, 0);
    }
    if (size <= 0) return {};
    std::string bytes(static_cast<size_t>(size), '\0');
    narrowedSize(codePage, flags, text, bytes.data(), size);
    return bytes;
}

std::wstring widen(UINT codePage, const std::string& bytes) {
    if (bytes.empty()) return {};
    int size = MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (size <= 0) return {};
    std::wstring text(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), size);
    return text;
}

}  // namespace

std::string toWire(const std::wstring& text) { return narrow(1252, text); }

std::wstring fromWire(const std::string& bytes) { return widen(1252, bytes); }

std::string toAnsi(const std::wstring& text) { return narrow(CP_THREAD_ACP, text); }

std::wstring fromAnsi(const std::string& bytes) { return widen(CP_THREAD_ACP, bytes); }
