// The one seam between the modules and message boxes. The default shows a
// real box; tests install a recorder so that nothing waits for a click.
#pragma once

#include <windows.h>

#include <string>

class MessageBoxPresenter {
public:
    virtual ~MessageBoxPresenter() = default;
    virtual void show(const std::wstring& text, const std::wstring& caption, UINT style) = 0;
};

MessageBoxPresenter& messageBoxes();
// Replaces the presenter; nullptr puts the real message box back.
void setMessageBoxes(MessageBoxPresenter* presenter);
