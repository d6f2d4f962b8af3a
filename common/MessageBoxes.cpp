#include "MessageBoxes.h"

namespace {

class WindowsMessageBoxes : public MessageBoxPresenter {
public:
    void show(HWND owner, const std::wstring& text, const std::wstring& caption, UINT style) override {
        MessageBoxW(owner, text.c_str(), caption.c_str(), style);
    }
};

WindowsMessageBoxes windowsMessageBoxes;
MessageBoxPresenter* currentPresenter = &windowsMessageBoxes;

thread_local MessageBoxOwner* innermostOwner = nullptr;

}  // namespace

MessageBoxPresenter& messageBoxes() { return *currentPresenter; }

void setMessageBoxes(MessageBoxPresenter* presenter) {
    currentPresenter = presenter ? presenter : &windowsMessageBoxes;
}

MessageBoxOwner::MessageBoxOwner(HWND window) : window_(window), outer_(innermostOwner) { innermostOwner = this; }

MessageBoxOwner::~MessageBoxOwner() { innermostOwner = outer_; }

void showMessageBox(const std::wstring& text, const std::wstring& caption, UINT serviceStyle) {
    if (const MessageBoxOwner* owner = innermostOwner)
        messageBoxes().show(owner->window_, text, caption, serviceStyle & ~MB_SERVICE_NOTIFICATION);
    else
        messageBoxes().show(nullptr, text, caption, serviceStyle);
}
