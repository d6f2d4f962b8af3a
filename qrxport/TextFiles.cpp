#include "TextFiles.h"

#include "OwnedHandle.h"
#include "RuntimeError.h"

#include <windows.h>

std::string toUtf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int length = static_cast<int>(text.size());
    int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), length, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), length, bytes.data(), size, nullptr, nullptr);
    return bytes;
}

std::wstring fromUtf8(const std::string& bytes) {
    if (bytes.empty()) return {};
    const int length = static_cast<int>(bytes.size());
    int size = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), length, nullptr, 0);
    if (size <= 0) throw RuntimeWarning(L"the text is not UTF-8");
    std::wstring text(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), length, text.data(), size);
    return text;
}

std::string fileText(const std::wstring& text) {
    std::wstring crlf;
    for (wchar_t c : text) crlf += c == L'\n' ? std::wstring(L"\r\n") : std::wstring(1, c);
    return toUtf8(crlf);
}

namespace {

OwnedHandle openFile(const std::wstring& path, DWORD access, DWORD disposition, const wchar_t* failure) {
    HANDLE file =
        CreateFileW(path.c_str(), access, FILE_SHARE_READ, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) throw RuntimeError(L"the file " + path + failure, GetLastError());
    return OwnedHandle(file);
}

}  // namespace

std::string readFileBytes(const std::wstring& path) {
    OwnedHandle file = openFile(path, GENERIC_READ, OPEN_EXISTING, L" cannot be opened");
    std::string bytes;
    char block[65536];
    for (DWORD read = 0;; bytes.append(block, read)) {
        if (!ReadFile(file.get(), block, sizeof block, &read, nullptr))
            throw RuntimeError(L"the file " + path + L" cannot be read", GetLastError());
        if (!read) return bytes;
    }
}

void writeFileBytes(const std::wstring& path, const std::string& bytes) {
    OwnedHandle file = openFile(path, GENERIC_WRITE, CREATE_ALWAYS, L" cannot be written");
    DWORD written = 0;
    if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size())
        throw RuntimeError(L"the file " + path + L" cannot be written", GetLastError());
}
