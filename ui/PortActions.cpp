#include "PortActions.h"

#include "EventIds.h"
#include "MessageBoxes.h"
#include "ResourceIds.h"
#include "ResourceStrings.h"

#include <optional>

namespace actions {

namespace {

// An action's steps, with the channel it opens. A RuntimeError is shown,
// logged, the channel closed if still open (a close that has just failed is
// not tried again, and a failure of this one is not reported) and its code
// becomes the last error: FALSE. The channel is closed by the steps
// themselves on every other path.
template <class Steps>
BOOL runAction(HWND owner, Steps&& steps) {
    // The action's boxes belong to the window the spooler passed; its
    // dialogs take them over while they run.
    MessageBoxOwner boxes(owner);
    std::optional<XcvChannel> channel;
    try {
        return steps(channel);
    } catch (const RuntimeError& error) {
        error.showMessage();
        error.reportEvent(EVENT_UI_SYSTEM_ERROR);
        channel.reset();
        SetLastError(error.code());
        return FALSE;
    }
}

// A flow's steps: a RuntimeError is shown, not logged, and its code becomes
// the last error; it and any other exception end the flow with false.
template <class Steps>
bool runFlow(Steps&& steps) {
    try {
        return steps();
    } catch (const RuntimeError& error) {
        error.showMessage();
        SetLastError(error.code());
    } catch (...) {
    }
    return false;
}

}  // namespace

BOOL addPort(PortDialogs& dialogs, const wchar_t* serverName, HWND owner, const std::wstring& monitorName) {
    return runAction(owner, [&](std::optional<XcvChannel>& channel) -> BOOL {
        channel.emplace(serverName, ChannelKind::Monitor, monitorName);
        std::optional<std::wstring> portName = dialogs.askNewPortName(owner, *channel);
        if (!portName) {
            channel->close();
            SetLastError(ERROR_CANCELLED);
            return FALSE;
        }
        channel->perform(L"AddPort", *portName);
        if (configurePortFlow(dialogs, *channel, owner, *portName) != Configured::Yes) {
            // Only a port that is gone is reported as deleted; a refused
            // delete is the failure, and the port is still there.
            channel->perform(L"DeletePort", *portName);
            throw RuntimeError(loadResourceString(IDS_PORT_DELETED), ERROR_CANCELLED);
        }
        channel->close();
        return TRUE;
    });
}

BOOL configurePort(PortDialogs& dialogs, const wchar_t* serverName, HWND owner, const std::wstring& portName) {
    return runAction(owner, [&](std::optional<XcvChannel>& channel) -> BOOL {
        channel.emplace(serverName, ChannelKind::Port, portName);
        // A failure has been shown by the flow, which left its code as the
        // last error; a cancelled configuration is no failure.
        Configured outcome = configurePortFlow(dialogs, *channel, owner, portName);
        channel->close();
        return outcome == Configured::Failed ? FALSE : TRUE;
    });
}

BOOL deletePort(const wchar_t* serverName, HWND owner, const std::wstring& portName) {
    return runAction(owner, [&](std::optional<XcvChannel>& channel) -> BOOL {
        channel.emplace(serverName, ChannelKind::Port, portName);
        bool deleted = deletePortFlow(*channel, portName);
        channel->close();
        return deleted ? TRUE : FALSE;
    });
}

Configured configurePortFlow(PortDialogs& dialogs, XcvChannel& channel, HWND owner, const std::wstring& portName) {
    Configured outcome = Configured::Failed;
    runFlow([&] {
        PortSettings before(portName);
        querySettings(channel, before);
        PortSettings settings = before;
        if (!dialogs.configurePort(owner, channel, settings)) {
            outcome = Configured::Cancelled;
            return false;
        }
        PortChange change;
        change.add(before, settings);
        change.send(channel);
        outcome = Configured::Yes;
        return true;
    });
    return outcome;
}

bool deletePortFlow(XcvChannel& channel, const std::wstring& portName) {
    return runFlow([&] {
        channel.perform(L"DeletePort", portName);
        return true;
    });
}

}  // namespace actions
