#include "TextCodec.h"

namespace {

// A text that cannot be converted becomes empty.
std::string narrow(UINT codePage, const std::wstring& text) {
    if (text.empty()) return {};
    int size = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                   nullptr);
    if (size <= 0) return {};
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr,
                        nullptr);
    return bytes;
}

}  // namespace

std::string toWire(const std::wstring& text) { return narrow(1252, text); }

std::string toAnsi(const std::wstring& text) { return narrow(CP_THREAD_ACP, text); }

std::wstring fromAnsi(const std::string& bytes) {
    if (bytes.empty()) return {};
    int size = MultiByteToWideChar(CP_THREAD_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (size <= 0) return {};
    std::wstring text(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_THREAD_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), size);
    return text;
}
