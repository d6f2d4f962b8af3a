// The caller's output buffer of one transceive command and the three ways a
// command answers through it. Sizes are in bytes throughout; a status is
// what the command returns.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>

enum class XcvAnswerKind { None, Text, Flag };

class XcvAnswer {
public:
    XcvAnswer(BYTE* buffer, DWORD size, DWORD* needed) : buffer_(buffer), size_(size), needed_(needed) {}

    // Text worked out afresh on every call. Without a buffer the call only
    // learns the size: needed = the text's bytes with its NUL, status 122.
    // With one the text and its NUL are copied and needed is the buffer's
    // size; a buffer too small for them is refused with 122 and the size
    // the text needs, and nothing is written.
    DWORD text(const std::function<std::wstring()>& produce);
    // A call without a buffer, which only learns the size.
    bool sizing() const { return size_ == 0; }

    // A 32-bit 0 or 1, or nothing when the value is absent. Without a buffer:
    // needed = 4, or 0 when absent, status 122. With one: needed = the
    // buffer's size and the flag is written when present; a buffer under
    // 4 bytes for a present flag is refused with 122 and needed 4.
    DWORD flag(const std::function<std::optional<DWORD>()>& read);

    // A text that does not change: needed is always its size, and any
    // buffer below it (none included) is refused with 122.
    DWORD fixedText(const std::wstring& value);

    static DWORD bytesOf(const std::wstring& text) {
        return static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    }

private:
    DWORD copy(const std::wstring& value);

    BYTE* buffer_;
    DWORD size_;
    DWORD* needed_;
};
