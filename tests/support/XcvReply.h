// What one transceive call answered, read back from an output buffer that
// carries guard bytes behind it; shared by the direct and the spooler tests.
#pragma once

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

namespace qrxtest {

constexpr DWORD kSentinel = 0xdeadbeef;

// The input bytes of a text, with its NUL or without.
inline std::vector<BYTE> inputOf(const std::wstring& text, bool withNul = true) {
    std::vector<BYTE> bytes((text.size() + (withNul ? 1 : 0)) * sizeof(wchar_t));
    std::memcpy(bytes.data(), text.c_str(), bytes.size());
    return bytes;
}

struct XcvReply {
    static constexpr BYTE kGuard = 0xA5;
    static constexpr size_t kGuardBytes = 64;

    // Room for size bytes and the guard bytes, sentinels in the out values.
    explicit XcvReply(DWORD size) : size(size), buffer(size + kGuardBytes, kGuard) {}
    BYTE* data() { return size ? buffer.data() : nullptr; }

    DWORD size;
    std::vector<BYTE> buffer;
    DWORD status = kSentinel;
    DWORD needed = kSentinel;
    DWORD lastError = kSentinel;

    bool guardsIntact() const {
        for (size_t i = size; i < buffer.size(); ++i)
            if (buffer[i] != kGuard) return false;
        return true;
    }
    // Whether the call wrote nothing into the buffer.
    bool untouched() const {
        for (size_t i = 0; i < size; ++i)
            if (buffer[i] != kGuard) return false;
        return true;
    }
    BYTE at(size_t offset) const { return buffer[offset]; }
    // The text at the start of the buffer, up to its NUL.
    std::wstring text() const {
        std::wstring result;
        for (size_t i = 0; i + 1 < size; i += 2) {
            wchar_t c;
            std::memcpy(&c, buffer.data() + i, sizeof c);
            if (c == L'\0') break;
            result.push_back(c);
        }
        return result;
    }
    DWORD flag() const {
        DWORD value = kSentinel;
        if (size >= sizeof value) std::memcpy(&value, buffer.data(), sizeof value);
        return value;
    }
};

}  // namespace qrxtest
