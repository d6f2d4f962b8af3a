#include "WindowDriver.h"

#include "PngFiles.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <thread>

namespace qrxtest {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kMessageBoxTextId = 0xFFFF;

std::string narrow(const std::wstring& text) {
    int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string result(size > 0 ? size : 0, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), result.data(), size, nullptr, nullptr);
    return result;
}

LPARAM pointParameter(POINT point) { return MAKELPARAM(point.x, point.y); }

POINT centreOf(const RECT& rect) { return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2}; }

// GDI objects of one screenshot, released in reverse order.
class MemoryCanvas {
public:
    MemoryCanvas(HDC source, int width, int height) : dc_(CreateCompatibleDC(source)) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;  // top row first
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 24;
        info.bmiHeader.biCompression = BI_RGB;
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
        if (!dc_ || !bitmap_) throw DriverFailure("cannot make a bitmap for the screenshot");
        previous_ = SelectObject(dc_, bitmap_);
    }
    ~MemoryCanvas() {
        SelectObject(dc_, previous_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    MemoryCanvas(const MemoryCanvas&) = delete;
    MemoryCanvas& operator=(const MemoryCanvas&) = delete;
    HDC dc() const { return dc_; }
    const BYTE* bits() const {
        GdiFlush();
        return static_cast<const BYTE*>(bits_);
    }

private:
    HDC dc_;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    void* bits_ = nullptr;
};

class WindowDc {
public:
    explicit WindowDc(HWND window) : window_(window), dc_(GetWindowDC(window)) {
        if (!dc_) throw DriverFailure("GetWindowDC failed");
    }
    ~WindowDc() { ReleaseDC(window_, dc_); }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC dc() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

std::vector<HWND> windowsOfThread(DWORD thread) {
    std::vector<HWND> windows;
    for (HWND window : WindowDriver::openWindows())
        if (GetWindowThreadProcessId(window, nullptr) == thread) windows.push_back(window);
    return windows;
}

// After the script: what it left open on the windows' thread is closed, so
// that the thread's call returns. A script that ended normally must not have
// left anything open.
void closeLeftovers(DWORD thread, const std::atomic<bool>& finished, bool scriptCompleted) {
    std::vector<HWND> left = windowsOfThread(thread);
    if (scriptCompleted && !finished)
        for (HWND window : left) ADD_FAILURE() << "the window script left \"" << narrow(WindowDriver::caption(window)) << "\" open";
    auto deadline = Clock::now() + WindowDriver::kDefaultTimeout;
    while (!finished && Clock::now() < deadline) {
        for (HWND window : windowsOfThread(thread)) PostMessageW(window, WM_CLOSE, 0, 0);
        Sleep(50);
    }
}

}  // namespace

WindowDriver::WindowDriver(const std::atomic<bool>* finished, std::chrono::milliseconds timeout)
    : finished_(finished), timeout_(timeout) {}

void WindowDriver::waitUntil(const std::function<bool()>& condition, const std::string& what) const {
    auto deadline = Clock::now() + timeout_;
    for (;;) {
        if (condition()) return;
        if (finished_ && *finished_) {
            if (condition()) return;
            throw DriverFailure("the windows' thread returned while waiting for " + what);
        }
        if (Clock::now() >= deadline)
            throw DriverFailure("gave up after " + std::to_string(timeout_.count()) + " ms waiting for " + what);
        Sleep(20);
    }
}

namespace {

struct WindowSearch {
    DWORD process;
    std::vector<HWND> found;
};

BOOL CALLBACK collectOpenWindow(HWND window, LPARAM parameter) {
    auto& search = *reinterpret_cast<WindowSearch*>(parameter);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if ((search.process == WindowDriver::kEveryProcess || process == search.process) && IsWindowVisible(window))
        search.found.push_back(window);
    return TRUE;
}

}  // namespace

std::vector<HWND> WindowDriver::openWindows(DWORD processId) {
    WindowSearch search{processId, {}};
    EnumWindows(collectOpenWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring WindowDriver::caption(HWND window) {
    // Read without a message to the window: its thread may be busy.
    wchar_t text[512];
    int length = InternalGetWindowText(window, text, 512);
    return std::wstring(text, length > 0 ? length : 0);
}

HWND WindowDriver::waitForWindow(const std::wstring& wanted) const {
    HWND found = nullptr;
    waitUntil(
        [&] {
            for (HWND window : openWindows(process_))
                if (caption(window) == wanted) found = window;
            return found != nullptr;
        },
        "a window \"" + narrow(wanted) + "\"");
    return found;
}

void WindowDriver::waitUntilClosed(HWND window) const {
    waitUntil([window] { return !IsWindow(window) || !IsWindowVisible(window); },
              "\"" + narrow(caption(window)) + "\" to close");
}

LRESULT WindowDriver::send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) const {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, static_cast<UINT>(timeout_.count()),
                             &result))
        throw DriverFailure("no answer to message " + std::to_string(message) + " from \"" + narrow(caption(window)) +
                            "\"");
    return static_cast<LRESULT>(result);
}

HWND WindowDriver::controlOf(HWND dialog, int controlId) const {
    HWND control = GetDlgItem(dialog, controlId);
    if (!control) throw DriverFailure("\"" + narrow(caption(dialog)) + "\" has no control " + std::to_string(controlId));
    return control;
}

std::wstring WindowDriver::text(HWND dialog, int controlId) const {
    HWND control = controlOf(dialog, controlId);
    LRESULT length = send(control, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    LRESULT copied = send(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(copied));
    return text;
}

void WindowDriver::setText(HWND dialog, int controlId, const std::wstring& text) const {
    send(controlOf(dialog, controlId), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void WindowDriver::paste(HWND dialog, int controlId, const std::wstring& text) const {
    HWND control = controlOf(dialog, controlId);
    send(control, EM_SETSEL, 0, -1);
    send(control, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.c_str()));
}

bool WindowDriver::isChecked(HWND dialog, int controlId) const {
    return send(controlOf(dialog, controlId), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void WindowDriver::click(HWND dialog, int controlId) const { send(controlOf(dialog, controlId), BM_CLICK, 0, 0); }

void WindowDriver::clickWithoutWaiting(HWND dialog, int controlId) const {
    PostMessageW(controlOf(dialog, controlId), BM_CLICK, 0, 0);
}

HWND WindowDriver::focus(HWND window) {
    GUITHREADINFO thread{};
    thread.cbSize = sizeof thread;
    return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &thread) ? thread.hwndFocus : nullptr;
}

void WindowDriver::pressKey(HWND dialog, UINT virtualKey) const {
    if (GetForegroundWindow() != dialog) throw DriverFailure("the window for the key is not in the foreground");
    INPUT keys[2]{};
    for (INPUT& key : keys) {
        key.type = INPUT_KEYBOARD;
        key.ki.wVk = static_cast<WORD>(virtualKey);
        key.ki.wScan = static_cast<WORD>(MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC));
    }
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    if (SendInput(2, keys, sizeof(INPUT)) != 2) throw DriverFailure("SendInput failed");
}

void WindowDriver::rightClick(HWND dialog, POINT point) const {
    if (ChildWindowFromPointEx(dialog, point, CWP_SKIPINVISIBLE) != dialog)
        throw DriverFailure("a control covers the point of the right click");
    send(dialog, WM_RBUTTONDOWN, MK_RBUTTON, pointParameter(point));
    send(dialog, WM_RBUTTONUP, 0, pointParameter(point));
}

void WindowDriver::leftClickAt(HWND control, POINT point) const {
    PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, pointParameter(point));
    PostMessageW(control, WM_LBUTTONUP, 0, pointParameter(point));
}

void WindowDriver::clickListRow(HWND dialog, int listId, int row) const {
    HWND list = controlOf(dialog, listId);
    RECT item{};
    item.left = LVIR_LABEL;
    if (!send(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&item)))
        throw DriverFailure("the list has no row " + std::to_string(row));
    leftClickAt(list, centreOf(item));
}

void WindowDriver::clickListColumn(HWND dialog, int listId, int column) const {
    HWND list = controlOf(dialog, listId);
    HWND header = reinterpret_cast<HWND>(send(list, LVM_GETHEADER, 0, 0));
    RECT item{};
    if (!header || !send(header, HDM_GETITEMRECT, column, reinterpret_cast<LPARAM>(&item)))
        throw DriverFailure("the list has no column " + std::to_string(column));
    leftClickAt(header, centreOf(item));
}

MessageBoxContent WindowDriver::waitForMessageBox(const std::wstring& wanted) const {
    HWND box = waitForWindow(wanted);
    return {box, caption(box), text(box, kMessageBoxTextId)};
}

void WindowDriver::closeMessageBox(const MessageBoxContent& box) const {
    click(box.window, IDOK);
    waitUntilClosed(box.window);
}

void WindowDriver::saveScreenshot(HWND window, const std::wstring& pngPath) const {
    RECT frame;
    if (!GetWindowRect(window, &frame)) throw DriverFailure("no window to take a screenshot of");
    int width = frame.right - frame.left;
    int height = frame.bottom - frame.top;
    UINT stride = (static_cast<UINT>(width) * 3 + 3) & ~3u;
    WindowDc source(window);
    MemoryCanvas canvas(source.dc(), width, height);
    // The controls paint when their thread has nothing else to do: the
    // picture is taken once two copies in a row agree.
    std::vector<BYTE> previous;
    std::vector<BYTE> current;
    waitUntil(
        [&] {
            if (!BitBlt(canvas.dc(), 0, 0, width, height, source.dc(), 0, 0, SRCCOPY))
                throw DriverFailure("cannot copy the window's picture");
            const BYTE* bits = canvas.bits();
            previous.swap(current);
            current.assign(bits, bits + static_cast<size_t>(stride) * height);
            if (current == previous) return true;
            Sleep(100);
            return false;
        },
        "\"" + narrow(caption(window)) + "\" to finish painting");
    try {
        savePng(pngPath, width, height, stride, current.data());
    } catch (const std::runtime_error& error) {
        throw DriverFailure(std::string("cannot save the screenshot: ") + error.what());
    }
}

INT_PTR runScripted(const std::function<INT_PTR()>& run, const std::function<void(WindowDriver&)>& script) {
    std::atomic<bool> finished{false};
    DWORD runThread = GetCurrentThreadId();
    std::thread driverThread([&] {
        WindowDriver driver(&finished);
        bool completed = false;
        try {
            script(driver);
            completed = true;
        } catch (const std::exception& failure) {
            ADD_FAILURE() << "window script: " << failure.what();
        }
        closeLeftovers(runThread, finished, completed);
    });
    INT_PTR result = -1;
    try {
        result = run();
    } catch (...) {
        finished = true;
        driverThread.join();
        throw;
    }
    finished = true;
    driverThread.join();
    return result;
}

}  // namespace qrxtest
