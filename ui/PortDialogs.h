// The two dialogs the port actions show, behind an interface so that the
// actions can be driven without windows.
#pragma once

#include "PortRecords.h"
#include "XcvClient.h"

#include <windows.h>

#include <optional>
#include <string>

class PortDialogs {
public:
    virtual ~PortDialogs() = default;
    // The add port dialog, modal over owner: the name entered, or nothing when it ended otherwise than with OK.
    virtual std::optional<std::wstring> askNewPortName(HWND owner, XcvChannel& channel) = 0;
    // The configure port dialog, modal over owner, editing settings in place: true when it ended with OK.
    virtual bool configurePort(HWND owner, XcvChannel& channel, PortSettings& settings) = 0;
};

// The real dialogs (defined with the dialogs themselves).
PortDialogs& windowPortDialogs();
