// Drives real windows from a test, the way a user would: finds them by
// caption, types into and reads their controls, clicks buttons, list rows and
// column headers, reads and closes message boxes and takes screenshots.
//
// A modal dialog blocks the thread that shows it, so a test runs its window
// script on a second thread (runScripted). Every wait is bounded: a window
// that does not appear, or a window that does not answer, fails the script
// instead of hanging the test.
#pragma once

#include <windows.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace qrxtest {

// A step of a window script that could not be done in time.
class DriverFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct MessageBoxContent {
    HWND window;
    std::wstring caption;
    std::wstring text;
};

class WindowDriver {
public:
    static constexpr std::chrono::milliseconds kDefaultTimeout{10000};

    // The waits give up early once *finished is set: the windows' thread has
    // returned and nothing more will appear.
    explicit WindowDriver(const std::atomic<bool>* finished = nullptr,
                          std::chrono::milliseconds timeout = kDefaultTimeout);

    // Searches the windows of another process (kEveryProcess: of all
    // processes) instead of this one's, for a program the test started.
    static constexpr DWORD kEveryProcess = 0;
    void searchProcess(DWORD processId) { process_ = processId; }

    // A visible top-level window of the searched process with exactly that caption.
    HWND waitForWindow(const std::wstring& caption) const;
    // Until the window is gone or hidden (a dialog that ended).
    void waitUntilClosed(HWND window) const;
    // Until the condition holds; DriverFailure naming what was waited for.
    void waitUntil(const std::function<bool()>& condition, const std::string& what) const;
    // The visible top-level windows of a process (message boxes among them).
    static std::vector<HWND> openWindows(DWORD processId = GetCurrentProcessId());
    static std::wstring caption(HWND window);
    // The window that has the keyboard focus on the window's thread; null
    // when that thread has none.
    static HWND focus(HWND window);

    // Controls of a dialog, by id. Each call waits for the window's answer.
    std::wstring text(HWND dialog, int controlId) const;
    void setText(HWND dialog, int controlId, const std::wstring& text) const;
    // Replaces the whole text as a paste from the clipboard does (select all,
    // replace the selection), so that the control's limit applies.
    void paste(HWND dialog, int controlId, const std::wstring& text) const;
    bool isChecked(HWND dialog, int controlId) const;
    // A button click; returns when the button's handler has returned.
    void click(HWND dialog, int controlId) const;
    // A click whose handler opens a modal window (a message box) and so does
    // not return until that is closed: queued, not waited for.
    void clickWithoutWaiting(HWND dialog, int controlId) const;
    // A key pressed and released as keyboard input (SendInput): it reaches
    // the focus of the foreground window, which the dialog must be.
    void pressKey(HWND dialog, UINT virtualKey) const;
    // The right mouse button pressed and released at a point of the dialog's
    // own surface (client coordinates); fails when a control covers it.
    void rightClick(HWND dialog, POINT point) const;
    // A left click on a list view's row (its first column) or on one of its
    // column headers, as mouse messages queued to the control at the item's
    // place; the control itself sends the notifications.
    void clickListRow(HWND dialog, int listId, int row) const;
    void clickListColumn(HWND dialog, int listId, int column) const;

    // A visible message box with that caption: its caption and text (the
    // text is its static control 65535).
    MessageBoxContent waitForMessageBox(const std::wstring& caption) const;
    // Presses the box's OK button and waits until it is gone.
    void closeMessageBox(const MessageBoxContent& box) const;

    // The window as it is drawn, frame included, saved as a PNG file.
    void saveScreenshot(HWND window, const std::wstring& pngPath) const;

private:
    LRESULT send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) const;
    HWND controlOf(HWND dialog, int controlId) const;
    void leftClickAt(HWND control, POINT point) const;

    const std::atomic<bool>* finished_;
    std::chrono::milliseconds timeout_;
    DWORD process_ = GetCurrentProcessId();
};

// Calls run() on this thread (it shows a modal dialog, or calls something
// that does) while script() drives its windows from a second thread. A
// script failure is a test failure. Whatever the script leaves open is then
// closed, so that run() returns; its result is returned.
INT_PTR runScripted(const std::function<INT_PTR()>& run, const std::function<void(WindowDriver&)>& script);

}  // namespace qrxtest
