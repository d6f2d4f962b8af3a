#include "Dialog.h"

#include "EventIds.h"
#include "ModuleState.h"
#include "RuntimeError.h"
#include "Utilities.h"

namespace {

// The whole text of a control, however long.
std::wstring controlText(HWND control) {
    int length = GetWindowTextLengthW(control);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    int copied = GetWindowTextW(control, text.data(), length + 1);
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return text;
}

// Sets a flag for the lifetime of the object and puts back what it was.
class FlagScope {
public:
    explicit FlagScope(bool& flag) : flag_(flag), previous_(flag) { flag_ = true; }
    ~FlagScope() { flag_ = previous_; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    bool& flag_;
    bool previous_;
};

}  // namespace

Dialog::Dialog(UINT templateId, HWND owner) : templateId_(templateId), owner_(owner) {}

Dialog::~Dialog() = default;

INT_PTR Dialog::runModal() {
    MessageBoxOwner boxes(owner_);
    boxes_ = &boxes;
    INT_PTR result = DialogBoxParamW(module::resources(), MAKEINTRESOURCEW(templateId_), owner_, procedure,
                                     reinterpret_cast<LPARAM>(this));
    boxes_ = nullptr;
    return result;
}

void Dialog::bindText(int controlId, std::wstring& field) { texts_.push_back({controlId, &field}); }

void Dialog::bindCheck(int controlId, DWORD& flag) { checks_.push_back({controlId, &flag}); }

void Dialog::putFieldsIntoControls() {
    FlagScope filling(filling_);
    // Only a text that differs is set: setting an edit's own text again
    // would move the caret of a user who is typing in it.
    for (const TextBinding& binding : texts_)
        if (controlText(control(binding.controlId)) != *binding.field)
            SetDlgItemTextW(window_, binding.controlId, binding.field->c_str());
    for (const CheckBinding& binding : checks_)
        CheckDlgButton(window_, binding.controlId, *binding.flag ? BST_CHECKED : BST_UNCHECKED);
}

void Dialog::readControlsIntoFields() {
    for (const TextBinding& binding : texts_) *binding.field = controlText(control(binding.controlId));
    for (const CheckBinding& binding : checks_)
        *binding.flag = IsDlgButtonChecked(window_, binding.controlId) == BST_CHECKED ? 1 : 0;
}

void Dialog::onCommand(int controlId, WORD notification, Handler handler) {
    commands_[{controlId, notification}] = std::move(handler);
}

void Dialog::onNotify(int controlId, UINT code, NotifyHandler handler) {
    notifications_[{controlId, code}] = std::move(handler);
}

void Dialog::onOk() {
    readControlsIntoFields();
    end(IDOK);
}

void Dialog::onCancel() { end(IDCANCEL); }

void Dialog::onHelp() { showHelpTopic(templateId_); }

void Dialog::end(INT_PTR result) { EndDialog(window_, result); }

INT_PTR CALLBACK Dialog::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Dialog* dialog;
    if (message == WM_INITDIALOG) {
        dialog = reinterpret_cast<Dialog*>(lParam);
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        dialog->window_ = window;
        if (dialog->boxes_) dialog->boxes_->setWindow(window);
    } else {
        dialog = reinterpret_cast<Dialog*>(GetWindowLongPtrW(window, DWLP_USER));
    }
    // Messages before WM_INITDIALOG (the font, the frame) go to the system.
    return dialog ? dialog->dispatch(message, wParam, lParam) : FALSE;
}

// The last line of defence: what a handler did not catch is shown (and an
// error logged) here, and the dialog stays open.
template <class Body>
void Dialog::guarded(Body&& body) {
    try {
        body();
    } catch (const RuntimeWarning& warning) {
        showWarning(warning);
    } catch (const RuntimeError& error) {
        error.showMessage();
        error.reportEvent(EVENT_UI_SYSTEM_ERROR);
    } catch (...) {
        // Nothing may unwind through the system's dialog code.
    }
}

INT_PTR Dialog::dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        BOOL result = TRUE;
        guarded([&] {
            putFieldsIntoControls();
            result = onInitDialog();
        });
        return result;
    }
    case WM_COMMAND:
        return handleCommand(LOWORD(wParam), HIWORD(wParam));
    case WM_NOTIFY:
        return handleNotify(*reinterpret_cast<const NMHDR*>(lParam));
    case WM_HELP:  // F1
    case WM_RBUTTONUP:  // only sent for the dialog's own surface, not its controls
        guarded([this] { onHelp(); });
        return TRUE;
    case WM_NCDESTROY:
        window_ = nullptr;
        return FALSE;
    default:
        return FALSE;
    }
}

bool Dialog::handleCommand(int controlId, WORD notification) {
    if (filling_) return false;
    // Enter, Escape and the close box arrive as clicks of OK and Cancel.
    if (notification == BN_CLICKED) {
        switch (controlId) {
        case IDOK:
            guarded([this] { onOk(); });
            return true;
        case IDCANCEL:
            guarded([this] { onCancel(); });
            return true;
        case IDHELP:
            guarded([this] { onHelp(); });
            return true;
        default:
            break;
        }
    }
    auto found = commands_.find({controlId, notification});
    if (found == commands_.end()) return false;
    // A copy: the handler may replace itself.
    Handler handler = found->second;
    guarded(handler);
    return true;
}

bool Dialog::handleNotify(const NMHDR& header) {
    if (filling_) return false;
    auto found = notifications_.find({static_cast<int>(header.idFrom), header.code});
    if (found == notifications_.end()) return false;
    NotifyHandler handler = found->second;
    guarded([&] { handler(header); });
    return true;
}

void registerDialogControls() {
    INITCOMMONCONTROLSEX classes{sizeof classes,
                                 ICC_LISTVIEW_CLASSES | ICC_HOTKEY_CLASS | ICC_USEREX_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&classes);
}
