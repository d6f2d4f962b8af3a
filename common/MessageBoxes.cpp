#include "MessageBoxes.h"

namespace {

class WindowsMessageBoxes : public MessageBoxPresenter {
public:
    void show(const std::wstring& text, const std::wstring& caption, UINT style) override {
        MessageBoxW(nullptr, text.c_str(), caption.c_str(), style);
    }
};

WindowsMessageBoxes windowsMessageBoxes;
MessageBoxPresenter* currentPresenter = &windowsMessageBoxes;

}  // namespace

MessageBoxPresenter& messageBoxes() { return *currentPresenter; }

void setMessageBoxes(MessageBoxPresenter* presenter) {
    currentPresenter = presenter ? presenter : &windowsMessageBoxes;
}
