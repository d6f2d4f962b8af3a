// The dialogs the port actions show, as real windows.
#include "AddPortDialog.h"
#include "ConfigurePortDialog.h"
#include "PortDialogs.h"

namespace {

class WindowPortDialogs : public PortDialogs {
public:
    std::optional<std::wstring> askNewPortName(HWND owner, XcvChannel& channel) override {
        AddPortDialog dialog(owner, channel);
        if (dialog.runModal() != IDOK) return std::nullopt;
        return dialog.portName();
    }
    bool configurePort(HWND owner, XcvChannel& channel, PortSettings& settings) override {
        ConfigurePortDialog dialog(settings, channel, owner);
        INT_PTR result = dialog.runModal();
        // A cancelled configuration leaves ERROR_CANCELLED; it is set once the
        // window is gone, since tearing the window down may reset it.
        if (result == IDCANCEL) SetLastError(ERROR_CANCELLED);
        return result == IDOK;
    }
};

}  // namespace

PortDialogs& windowPortDialogs() {
    static WindowPortDialogs dialogs;
    return dialogs;
}
