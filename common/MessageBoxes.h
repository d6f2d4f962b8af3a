// The one seam between the modules and message boxes. The default shows a
// real box; tests install a recorder so that nothing waits for a click.
#pragma once

#include <windows.h>

#include <string>

class MessageBoxPresenter {
public:
    virtual ~MessageBoxPresenter() = default;
    virtual void show(HWND owner, const std::wstring& text, const std::wstring& caption, UINT style) = 0;
};

MessageBoxPresenter& messageBoxes();
// Replaces the presenter; nullptr puts the real message box back.
void setMessageBoxes(MessageBoxPresenter* presenter);

// While an object lives, the boxes this thread shows speak for its window:
// they are owned by it, which then takes no clicks until the box is closed,
// and they are shown on the user's own desktop, without the service style.
// The innermost object counts. Without one a box is the monitor's: no
// owner, and the service style that puts it from the spooler service onto
// the interactive desktop.
class MessageBoxOwner {
public:
    // window may be null: the user's desktop, no window to speak for.
    explicit MessageBoxOwner(HWND window);
    ~MessageBoxOwner();
    MessageBoxOwner(const MessageBoxOwner&) = delete;
    MessageBoxOwner& operator=(const MessageBoxOwner&) = delete;

    // A dialog takes its boxes over once its window exists.
    void setWindow(HWND window) { window_ = window; }

private:
    friend void showMessageBox(const std::wstring&, const std::wstring&, UINT);
    HWND window_;
    MessageBoxOwner* outer_;
};

// Shows a box with a service style, owned by the innermost MessageBoxOwner
// of this thread, if any, and then without the service style.
void showMessageBox(const std::wstring& text, const std::wstring& caption, UINT serviceStyle);
