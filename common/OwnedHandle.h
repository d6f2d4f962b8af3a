// Owner of one kernel handle (a process, a thread, a token, a pipe end),
// closed when the owner goes.
#pragma once

#include <windows.h>

#include <utility>

class OwnedHandle {
public:
    OwnedHandle() = default;
    explicit OwnedHandle(HANDLE handle) : handle_(handle) {}
    OwnedHandle(OwnedHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    OwnedHandle& operator=(OwnedHandle&& other) noexcept {
        if (this != &other) {
            close();
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
    ~OwnedHandle() { close(); }

    HANDLE get() const { return handle_; }
    // Where a call that opens a handle puts it; the owner must be empty.
    HANDLE* out() { return &handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    void close() {
        if (handle_) CloseHandle(std::exchange(handle_, nullptr));
    }

private:
    HANDLE handle_ = nullptr;
};
