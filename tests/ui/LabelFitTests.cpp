// Every label of the three dialogs fits its control when drawn in the
// dialog's own font, in English and in French: a longer translation, or a
// font that draws wider, fails here, naming the control, before anyone sees
// a cut label.
#include "ResourceIds.h"
#include "TestPaths.h"
#include "Utilities.h"

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Variant {
    const wchar_t* library;
    UINT dialog;
};

// A dialog made from a library's template, hidden, destroyed with the object.
class TemplateDialog {
public:
    TemplateDialog(HMODULE library, UINT id)
        : window_(CreateDialogParamW(library, MAKEINTRESOURCEW(id), nullptr, ignoreMessages, 0)) {}
    ~TemplateDialog() {
        if (window_) DestroyWindow(window_);
    }
    TemplateDialog(const TemplateDialog&) = delete;
    TemplateDialog& operator=(const TemplateDialog&) = delete;
    HWND window() const { return window_; }

private:
    static INT_PTR CALLBACK ignoreMessages(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
    HWND window_;
};

// The control's device context with the dialog's font selected.
class ControlCanvas {
public:
    explicit ControlCanvas(HWND control) : control_(control), dc_(GetDC(control)) {
        previous_ = SelectObject(dc_, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    }
    ~ControlCanvas() {
        SelectObject(dc_, previous_);
        ReleaseDC(control_, dc_);
    }
    ControlCanvas(const ControlCanvas&) = delete;
    ControlCanvas& operator=(const ControlCanvas&) = delete;

    // The size the text takes, on one line or broken into lines of at most width.
    SIZE measure(const std::wstring& text, int width, UINT format) const {
        RECT rect{0, 0, width, 0};
        DrawTextW(dc_, text.c_str(), -1, &rect, format | DT_CALCRECT);
        return {rect.right - rect.left, rect.bottom - rect.top};
    }

private:
    HWND control_;
    HDC dc_;
    HGDIOBJ previous_;
};

struct Label {
    int width, height;  // the room the control gives its text
    UINT format;         // how the control draws it
};

// The room a control gives its text; false for controls without a label.
bool labelRoom(HWND control, Label& label) {
    wchar_t className[32] = {};
    GetClassNameW(control, className, 32);
    const LONG style = GetWindowLongW(control, GWL_STYLE);
    RECT client{};
    GetClientRect(control, &client);
    label = {client.right, client.bottom, 0};
    const UINT prefix = style & SS_NOPREFIX ? DT_NOPREFIX : 0;
    if (lstrcmpiW(className, WC_STATICW) == 0) {
        const LONG type = style & SS_TYPEMASK;
        if (type != SS_LEFT && type != SS_CENTER && type != SS_RIGHT && type != SS_LEFTNOWORDWRAP) return false;
        label.format = (type == SS_LEFTNOWORDWRAP ? DT_SINGLELINE : DT_WORDBREAK) | prefix;
        return true;
    }
    if (lstrcmpiW(className, WC_BUTTONW) != 0) return false;
    const int edge = GetSystemMetrics(SM_CXEDGE);
    switch (style & BS_TYPEMASK) {
    case BS_PUSHBUTTON:
    case BS_DEFPUSHBUTTON:
        // Inside the raised edge and the focus frame.
        label.width -= 2 * (edge + 1);
        break;
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON:
        // Beside the box and its gap.
        label.width -= GetSystemMetrics(SM_CXMENUCHECK) + 2 * edge;
        break;
    case BS_GROUPBOX:
        // Between the frame's corners.
        label.width -= 4 * edge;
        break;
    default:
        return false;
    }
    label.format = style & BS_MULTILINE ? DT_WORDBREAK : DT_SINGLELINE;
    return true;
}

std::string narrow(const std::wstring& text) {
    std::string result;
    for (wchar_t c : text) result += c < 0x80 ? static_cast<char>(c) : '?';
    return result;
}

class DialogLabels : public testing::TestWithParam<Variant> {};

TEST_P(DialogLabels, EveryLabelFitsItsControlInTheDialogsFont) {
    INITCOMMONCONTROLSEX classes{sizeof classes, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&classes);
    HMODULE library = mapResourceLibrary(qrxtest::deliverablePath(GetParam().library));
    ASSERT_NE(library, nullptr);
    {
        TemplateDialog dialog(library, GetParam().dialog);
        ASSERT_NE(dialog.window(), nullptr) << GetLastError();
        int labels = 0;
        for (HWND control = GetWindow(dialog.window(), GW_CHILD); control; control = GetWindow(control, GW_HWNDNEXT)) {
            Label room{};
            if (!labelRoom(control, room)) continue;
            wchar_t text[512] = {};
            GetWindowTextW(control, text, 512);
            if (!*text) continue;
            ++labels;
            SIZE needed = ControlCanvas(control).measure(text, room.width, room.format);
            EXPECT_TRUE(needed.cx <= room.width && needed.cy <= room.height)
                << "control " << GetDlgCtrlID(control) << " \"" << narrow(text) << "\" needs " << needed.cx << "x"
                << needed.cy << " pixels and has " << room.width << "x" << room.height;
        }
        EXPECT_GT(labels, 0);
    }
    FreeLibrary(library);
}

INSTANTIATE_TEST_SUITE_P(EnglishAndFrench, DialogLabels,
                         testing::Values(Variant{L"QRXPM1033U.dll", IDD_ADD_PORT},
                                         Variant{L"QRXPM1033U.dll", IDD_CONFIGURE_PORT},
                                         Variant{L"QRXPM1033U.dll", IDD_OPTIONS},
                                         Variant{L"QRXPM1036U.dll", IDD_ADD_PORT},
                                         Variant{L"QRXPM1036U.dll", IDD_CONFIGURE_PORT},
                                         Variant{L"QRXPM1036U.dll", IDD_OPTIONS}),
                         [](const testing::TestParamInfo<Variant>& info) {
                             return std::string(std::wstring(info.param.library).find(L"1036") == std::wstring::npos ? "English" : "French") +
                                    std::to_string(info.param.dialog);
                         });

}  // namespace
