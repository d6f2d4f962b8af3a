// The error types that every module throws: a finished message and a Windows
// error code, caught only at each module's outermost entry points.
#pragma once

#include <windows.h>

#include <string>

class RuntimeError {
public:
    RuntimeError(std::wstring message, DWORD code);
    RuntimeError(const RuntimeError&) = default;
    RuntimeError& operator=(const RuntimeError&) = default;
    virtual ~RuntimeError();

    virtual DWORD code() const;
    // Writes one error event with the whole message; never throws.
    virtual void reportEvent(DWORD eventId) const;
    // Shows the message in a system-modal error box: the monitor's on the
    // interactive desktop, the UI's owned by the window it speaks for
    // (MessageBoxOwner).
    virtual void showMessage() const;

    const std::wstring& message() const { return message_; }

private:
    std::wstring message_;
    DWORD code_;
};

// A refusal of the print server, carrying the server's own words and the
// Windows code that its message identifier maps to.
class LPDRuntimeError : public RuntimeError {
public:
    using RuntimeError::RuntimeError;
    ~LPDRuntimeError() override;
};

// The print server could not be reached, or the connection broke before the
// server took the job: a failure that may pass, so that a job may wait and
// be tried again.
class ConnectionError : public RuntimeError {
public:
    using RuntimeError::RuntimeError;
    ~ConnectionError() override;
};

// Input the user must correct; shown, never logged.
class RuntimeWarning {
public:
    explicit RuntimeWarning(std::wstring message) : message_(std::move(message)) {}
    const std::wstring& message() const { return message_; }

private:
    std::wstring message_;
};

void showWarning(const RuntimeWarning& warning);

// Message-box styles of errors and warnings as the monitor shows them; a box
// with an owner drops the service style.
constexpr UINT kErrorBoxStyle = MB_OK | MB_ICONERROR | MB_SYSTEMMODAL | MB_SETFOREGROUND | MB_SERVICE_NOTIFICATION;
constexpr UINT kWarningBoxStyle = MB_OK | MB_ICONWARNING | MB_SYSTEMMODAL | MB_SETFOREGROUND | MB_SERVICE_NOTIFICATION;
