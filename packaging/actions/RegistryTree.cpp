#include "RegistryTree.h"

#include "FailedCall.h"
#include "RuntimeError.h"

#include <algorithm>
#include <cwchar>

namespace {

constexpr const wchar_t* kReading = L"Reading the registry key ";
constexpr const wchar_t* kWriting = L"Writing the registry key ";
constexpr const wchar_t* kEscaped = L"%=[]\r\n";
constexpr const wchar_t* kHexDigits = L"0123456789ABCDEF";

std::wstring below(const std::wstring& path, const std::wstring& name) {
    return path.empty() ? name : path + L"\\" + name;
}

std::wstring escaped(const std::wstring& name) {
    std::wstring text;
    for (wchar_t c : name) {
        if (c != L'\0' && std::wcschr(kEscaped, c)) {
            text += L'%';
            text += kHexDigits[(c >> 4) & 0xF];
            text += kHexDigits[c & 0xF];
        } else {
            text += c;
        }
    }
    return text;
}

[[noreturn]] void throwDamaged(const std::wstring& line) {
    throw RuntimeError(L"The saved registry keys are damaged at the line \"" + line + L"\"", ERROR_INVALID_DATA);
}

int hexDigit(wchar_t c) {
    const wchar_t* digit = c != L'\0' ? std::wcschr(kHexDigits, c) : nullptr;
    return digit ? int(digit - kHexDigits) : -1;
}

// Two hex digits at text[at] as one byte; -1 when they are not.
int hexByte(const std::wstring& text, size_t at) {
    if (at + 1 >= text.size()) return -1;
    int high = hexDigit(text[at]), low = hexDigit(text[at + 1]);
    return high < 0 || low < 0 ? -1 : high * 16 + low;
}

std::wstring unescaped(const std::wstring& text, const std::wstring& line) {
    std::wstring name;
    for (size_t at = 0; at < text.size(); ++at) {
        if (text[at] != L'%') {
            if (std::wcschr(kEscaped, text[at])) throwDamaged(line);
            name += text[at];
            continue;
        }
        int c = hexByte(text, at + 1);
        if (c < 0) throwDamaged(line);
        name += wchar_t(c);
        at += 2;
    }
    return name;
}

std::vector<BYTE> bytesOf(const std::wstring& hex, const std::wstring& line) {
    if (hex.size() % 2) throwDamaged(line);
    std::vector<BYTE> bytes;
    for (size_t at = 0; at < hex.size(); at += 2) {
        int byte = hexByte(hex, at);
        if (byte < 0) throwDamaged(line);
        bytes.push_back(BYTE(byte));
    }
    return bytes;
}

// "name=type:hex" as a value.
std::pair<std::wstring, RegistryValue> valueOf(const std::wstring& line) {
    size_t equals = line.find(L'='), colon = line.find(L':', equals);
    if (equals == std::wstring::npos || colon == std::wstring::npos || colon == equals + 1) throwDamaged(line);
    const std::wstring type = line.substr(equals + 1, colon - equals - 1);
    if (type.find_first_not_of(L"0123456789") != std::wstring::npos || type.size() > 10) throwDamaged(line);
    const unsigned long long typeNumber = std::wcstoull(type.c_str(), nullptr, 10);
    if (typeNumber > MAXDWORD) throwDamaged(line);
    return {unescaped(line.substr(0, equals), line),
            RegistryValue{DWORD(typeNumber), bytesOf(line.substr(colon + 1), line)}};
}

}  // namespace

std::optional<RegistryTree> RegistryTree::read(HKEY parent, const std::wstring& path) {
    LONG status = ERROR_SUCCESS;
    auto key = RegistryKey::open(parent, path, KEY_READ, &status);
    if (!key) {
        if (status == ERROR_FILE_NOT_FOUND) return std::nullopt;
        throwFailed(kReading + path, L"RegOpenKeyEx", DWORD(status));
    }
    RegistryTree tree;
    tree.readKey(key->handle(), L"");
    return tree;
}

void RegistryTree::readKey(HKEY key, const std::wstring& path) {
    DWORD subkeys = 0, longestSubkey = 0, values = 0, longestName = 0, largestValue = 0;
    LONG status = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, &longestSubkey, nullptr, &values,
                                   &longestName, &largestValue, nullptr, nullptr);
    if (status != ERROR_SUCCESS) throwFailed(kReading + path, L"RegQueryInfoKey", DWORD(status));

    Key record{path, {}};
    for (DWORD index = 0; index < values; ++index) {
        std::wstring name(longestName + 1, L'\0');
        DWORD nameLength = DWORD(name.size());
        RegistryValue value{REG_NONE, std::vector<BYTE>(largestValue)};
        DWORD size = largestValue;
        status = RegEnumValueW(key, index, &name[0], &nameLength, nullptr, &value.type, value.bytes.data(), &size);
        if (status != ERROR_SUCCESS) throwFailed(kReading + path, L"RegEnumValue", DWORD(status));
        name.resize(nameLength);
        value.bytes.resize(size);
        record.values.emplace_back(std::move(name), std::move(value));
    }
    std::sort(record.values.begin(), record.values.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    keys_.push_back(std::move(record));

    std::vector<std::wstring> names;
    for (DWORD index = 0; index < subkeys; ++index) {
        std::wstring name(longestSubkey + 1, L'\0');
        DWORD nameLength = DWORD(name.size());
        status = RegEnumKeyExW(key, index, &name[0], &nameLength, nullptr, nullptr, nullptr, nullptr);
        if (status != ERROR_SUCCESS) throwFailed(kReading + path, L"RegEnumKeyEx", DWORD(status));
        name.resize(nameLength);
        names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end());
    for (const std::wstring& name : names) {
        auto subkey = RegistryKey::open(key, name, KEY_READ, &status);
        if (!subkey) throwFailed(kReading + below(path, name), L"RegOpenKeyEx", DWORD(status));
        readKey(subkey->handle(), below(path, name));
    }
}

std::wstring RegistryTree::text() const {
    std::wstring text;
    for (const Key& key : keys_) {
        text += L"[" + escaped(key.path) + L"]\n";
        for (const auto& [name, value] : key.values) {
            text += escaped(name) + L"=" + std::to_wstring(value.type) + L":";
            for (BYTE byte : value.bytes) {
                text += kHexDigits[byte >> 4];
                text += kHexDigits[byte & 0xF];
            }
            text += L"\n";
        }
    }
    return text;
}

RegistryTree RegistryTree::fromText(const std::wstring& text) {
    RegistryTree tree;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos) throwDamaged(text.substr(start));
        const std::wstring line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.front() == L'[') {
            if (line.back() != L']') throwDamaged(line);
            const std::wstring path = unescaped(line.substr(1, line.size() - 2), line);
            if (tree.keys_.empty() != path.empty()) throwDamaged(line);
            tree.keys_.push_back(Key{path, {}});
        } else {
            if (tree.keys_.empty()) throwDamaged(line);
            tree.keys_.back().values.push_back(valueOf(line));
        }
    }
    if (tree.keys_.empty()) throwDamaged(text);
    return tree;
}

void RegistryTree::write(HKEY parent, const std::wstring& path) const {
    for (const Key& record : keys_) {
        const std::wstring keyPath = below(path, record.path);
        LONG status = ERROR_SUCCESS;
        auto key = RegistryKey::create(parent, keyPath, KEY_SET_VALUE, &status);
        if (!key) throwFailed(kWriting + keyPath, L"RegCreateKeyEx", DWORD(status));
        for (const auto& [name, value] : record.values) {
            status = RegSetValueExW(key->handle(), name.c_str(), 0, value.type, value.bytes.data(),
                                    DWORD(value.bytes.size()));
            if (status != ERROR_SUCCESS) throwFailed(kWriting + keyPath, L"RegSetValueEx", DWORD(status));
        }
    }
}
