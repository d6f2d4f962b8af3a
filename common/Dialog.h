// The least dialog layer the modules need: a modal dialog run from a
// template of the current resource library, the C++ object reached from its
// window, one handler per command or notification, data exchange between
// controls and fields, the three help triggers and the wait cursor.
//
// The message boxes shown while a dialog runs are owned by it (by its owner
// until its window exists). No exception leaves the window procedure: a
// RuntimeWarning is shown as a warning and the dialog stays open; a RuntimeError is shown and logged as
// the UI's system-error event; anything else is swallowed.
#pragma once

#include "MessageBoxes.h"

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

class Dialog {
public:
    // templateId is also the dialog's help topic. owner may be null.
    Dialog(UINT templateId, HWND owner);
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;
    virtual ~Dialog();

    // Runs the dialog modally from the current resource library: IDOK,
    // IDCANCEL, or -1 when the dialog could not be made.
    INT_PTR runModal();

    HWND window() const { return window_; }
    UINT templateId() const { return templateId_; }

protected:
    // Data exchange: each bound control is moved to and from its field.
    void bindText(int controlId, std::wstring& field);
    void bindCheck(int controlId, DWORD& flag);
    // Fields into controls; the change notifications the controls send
    // meanwhile reach no handler.
    void putFieldsIntoControls();
    void readControlsIntoFields();

    using Handler = std::function<void()>;
    using NotifyHandler = std::function<void(const NMHDR&)>;
    // One handler per control and notification code (BN_CLICKED, EN_UPDATE,
    // NM_CLICK, LVN_COLUMNCLICK, ...).
    void onCommand(int controlId, WORD notification, Handler handler);
    void onNotify(int controlId, UINT code, NotifyHandler handler);

    // After the fields went into the controls; the result of WM_INITDIALOG.
    virtual BOOL onInitDialog() { return TRUE; }
    // OK (button 1, Enter): by default reads the controls and ends with IDOK.
    virtual void onOk();
    // Cancel (button 2, Escape, close box): by default ends with IDCANCEL.
    virtual void onCancel();
    // Help (button 9, F1, right button released over the dialog's surface):
    // by default opens the help topic of the template's id.
    virtual void onHelp();

    void end(INT_PTR result);
    HWND control(int controlId) const { return GetDlgItem(window_, controlId); }

private:
    static INT_PTR CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    bool handleCommand(int controlId, WORD notification);
    bool handleNotify(const NMHDR& header);
    template <class Body>
    void guarded(Body&& body);

    struct TextBinding {
        int controlId;
        std::wstring* field;
    };
    struct CheckBinding {
        int controlId;
        DWORD* flag;
    };

    UINT templateId_;
    HWND owner_;
    HWND window_ = nullptr;
    MessageBoxOwner* boxes_ = nullptr;  // while the dialog runs
    bool filling_ = false;
    std::vector<TextBinding> texts_;
    std::vector<CheckBinding> checks_;
    std::map<std::pair<int, WORD>, Handler> commands_;
    std::map<std::pair<int, UINT>, NotifyHandler> notifications_;
};

// Registers the common control classes the dialogs use (list view, hot key,
// extended combo box and the standard ones); once per module, at start-up.
void registerDialogControls();

// The system's wait cursor while the object lives; the cursor it replaced
// comes back at the end.
class WaitCursor {
public:
    WaitCursor() : previous_(SetCursor(LoadCursorW(nullptr, IDC_WAIT))) {}
    ~WaitCursor() { SetCursor(previous_); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    HCURSOR previous_;
};
