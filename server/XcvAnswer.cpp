#include "XcvAnswer.h"

#include <cstring>

DWORD XcvAnswer::copy(const std::wstring& value) {
    std::memcpy(buffer_, value.c_str(), bytesOf(value));
    return ERROR_SUCCESS;
}

DWORD XcvAnswer::text(const std::function<std::wstring()>& produce) {
    const std::wstring value = produce();
    const DWORD bytes = bytesOf(value);
    // The sizing call (no buffer) and a buffer too small both learn the size.
    if (size_ == 0 || bytes > size_) {
        *needed_ = bytes;
        return ERROR_INSUFFICIENT_BUFFER;
    }
    *needed_ = size_;
    return copy(value);
}

DWORD XcvAnswer::flag(const std::function<std::optional<DWORD>()>& read) {
    const std::optional<DWORD> value = read();
    const DWORD bytes = value ? sizeof(DWORD) : 0;
    if (size_ == 0 || bytes > size_) {
        *needed_ = bytes;
        return ERROR_INSUFFICIENT_BUFFER;
    }
    *needed_ = size_;
    if (value) {
        const DWORD stored = *value != 0 ? 1 : 0;
        std::memcpy(buffer_, &stored, sizeof stored);
    }
    return ERROR_SUCCESS;
}

DWORD XcvAnswer::fixedText(const std::wstring& value) {
    *needed_ = bytesOf(value);
    if (size_ < *needed_) return ERROR_INSUFFICIENT_BUFFER;
    return copy(value);
}
